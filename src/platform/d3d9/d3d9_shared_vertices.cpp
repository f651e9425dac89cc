// Index lists for triangle lists whose neighbouring triangles repeat vertices.
#include "platform/d3d9/d3d9_shared_vertices.h"

#include <cstring>

namespace d3d9 {
namespace {

// The index of the vertex of the first triangle (at first) that the vertex
// at index has the bytes of, or index itself. Positions are compared first:
// they tell most vertices apart.
uint32_t SharedIndex(const uint8_t* vertices, uint32_t stride, uint32_t first, uint32_t index) {
    const uint8_t* v = vertices + static_cast<size_t>(index) * stride;
    for (uint32_t i = first; i < first + 3; ++i) {
        const uint8_t* w = vertices + static_cast<size_t>(i) * stride;
        if (std::memcmp(v, w, 8) == 0 && std::memcmp(v, w, stride) == 0) return i;
    }
    return index;
}

}  // namespace

int ShareTriangleVertices(const uint8_t* vertices, uint32_t count, uint32_t stride, std::vector<uint32_t>* indices) {
    indices->resize(count);
    uint32_t* out = indices->data();
    for (uint32_t i = 0; i < count; ++i) out[i] = i;
    if (stride < 8) return 0;
    int shared = 0;
    for (uint32_t first = 0; first + 6 <= count; first += 6) {
        for (uint32_t k = first + 3; k < first + 6; ++k) {
            out[k] = SharedIndex(vertices, stride, first, k);
            shared += out[k] != k;
        }
    }
    return shared;
}

}  // namespace d3d9
