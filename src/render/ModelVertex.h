// The interleaved vertex every GL drawable draws, 36 bytes apart.
#pragma once

#include "core/Vector2f.h"
#include "core/Vector3f.h"

#include <cstddef>
#include <cstdint>

struct ModelVertex
{
    Vector3f position;
    Vector3f normal;
    uint8_t colour[4]; // R, G, B, A: a packed vertex colour as it lies in memory
    Vector2f texCoord;

    // Stores a packed colour (red in bits 0-7 ... alpha in bits 24-31).
    void SetColour(uint32_t packed)
    {
        colour[0] = static_cast<uint8_t>(packed & 0xFF);
        colour[1] = static_cast<uint8_t>((packed >> 8) & 0xFF);
        colour[2] = static_cast<uint8_t>((packed >> 16) & 0xFF);
        colour[3] = static_cast<uint8_t>((packed >> 24) & 0xFF);
    }
};

static_assert(sizeof(ModelVertex) == 36, "ModelVertex is drawn with a stride of 36 bytes");
static_assert(offsetof(ModelVertex, colour) == 24 && offsetof(ModelVertex, texCoord) == 28,
              "ModelVertex layout");
