// The vertex-array plumbing every GL drawable of the scene shares: point the four
// client arrays at interleaved ModelVertex records (stride 36), and fill the
// flat, untextured vertices of widget backgrounds.
#pragma once

#include "render/ModelVertex.h"

#include <cstdint>

void SetModelVertexArrays(const ModelVertex* vertices);

// A vertex at (x, y, 0) with normal (0, 0, 1), texture coordinate (0, 0) and a
// packed colour.
void SetFlatVertex(ModelVertex& vertex, float x, float y, uint32_t colour);
