// Byte images the test encoders and file builders write: little-endian
// 16- and 32-bit fields appended to a growing buffer.
#pragma once

#include <cstdint>
#include <vector>

namespace codectest {

using Bytes = std::vector<uint8_t>;

inline void Put16(Bytes& b, uint32_t v) {
    b.push_back(static_cast<uint8_t>(v));
    b.push_back(static_cast<uint8_t>(v >> 8));
}
inline void Put32(Bytes& b, uint32_t v) {
    Put16(b, v & 0xFFFF);
    Put16(b, v >> 16);
}

}  // namespace codectest
