// Fixed-function vertex processing of untransformed (XYZ) vertices, done on
// the CPU before the draw: world, view and projection transforms, the
// viewport, and per-vertex lighting (directional and point lights, the
// material and its colour sources, the ambient render state). The result is
// pre-transformed vertices drawn as any others.
#pragma once

#include "platform/d3d9/d3d9_state.h"

#include <cstdint>
#include <vector>

namespace d3d9 {

struct ProcessedVertices {
    DWORD fvf = 0;  // XYZRHW | DIFFUSE, the input's specular and texture sets
    UINT stride = 0;
    std::vector<uint8_t> bytes;
    std::vector<bool> behind;  // the vertex is at or behind the eye (w <= 0): its primitives are not drawn
};

// Whether an FVF is an untransformed layout this device processes (XYZ, with
// optional normal, diffuse, specular and texture sets); *size: its bytes.
bool IsUntransformedFvf(DWORD fvf, UINT* size);

// Processes count vertices of the FVF at stride bytes each.
void ProcessVertices(const DeviceState& state, DWORD fvf, const uint8_t* vertices, UINT count, UINT stride,
                     ProcessedVertices* out);

// The primitives of type over count vertices (or through indices) as a list
// of vertex numbers (triangle, line or point lists), leaving out every
// primitive that touches a vertex marked behind. Strips keep each triangle's
// first vertex and its winding.
std::vector<uint32_t> ListWithout(D3DPRIMITIVETYPE type, const std::vector<uint32_t>& order,
                                  const std::vector<bool>& behind, D3DPRIMITIVETYPE* listType);

}  // namespace d3d9
