// Index lists for triangle lists whose neighbouring triangles repeat
// vertices, as the two triangles of a quad do.
//
// A list of pre-transformed triangles drawn as it stands has every vertex
// fetched and shaded, six for each quad. Drawn through indices instead, a
// vertex of a triangle that is byte for byte a vertex of the triangle before
// it is named by that vertex's index, and the driver shades it once. The
// triangles, their order and the order of their corners stay as they were,
// and a shared vertex carries the same bytes, so the pixels are the same.
#pragma once

#include <cstdint>
#include <vector>

namespace d3d9 {

// Fills indices with one index per vertex of the count vertices (stride
// bytes apart) of a triangle list: for each triangle pair (0-1-2, 3-4-5),
// a vertex of the second that equals a vertex of the first in all stride
// bytes takes the first one's index, every other vertex its own. A trailing
// triangle and any vertices past the last whole triangle keep their own
// indices. Returns the number of vertices named twice (0: nothing to gain).
int ShareTriangleVertices(const uint8_t* vertices, uint32_t count, uint32_t stride, std::vector<uint32_t>* indices);

}  // namespace d3d9
