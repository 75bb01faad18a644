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

// A framed box as two triangle strips of four vertices: the frame, `border`
// points wider than the box on every side, then the box filled from x0 to
// `fillRight` (x1 for a whole box, less for a slider's value).
void SetFramedBox(ModelVertex* vertices, float x0, float y0, float x1, float y1, float fillRight,
                  float border, uint32_t frame, uint32_t fill);
