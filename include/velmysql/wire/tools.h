#pragma once
// Small block and rotation routines.

#include <cstddef>
#include <cstdint>

namespace velmysql {

inline std::uint16_t LRot16(std::uint16_t x, unsigned c) {
    c &= 15;
    return c == 0 ? x : static_cast<std::uint16_t>((x << c) | (x >> (16 - c)));
}
inline std::uint16_t RRot16(std::uint16_t x, unsigned c) {
    c &= 15;
    return c == 0 ? x : static_cast<std::uint16_t>((x >> c) | (x << (16 - c)));
}
inline std::uint32_t LRot32(std::uint32_t x, unsigned c) {
    c &= 31;
    return c == 0 ? x : (x << c) | (x >> (32 - c));
}
inline std::uint32_t RRot32(std::uint32_t x, unsigned c) {
    c &= 31;
    return c == 0 ? x : (x >> c) | (x << (32 - c));
}

// out[i] = in1[i] ^ in2[i]; out may alias either input.
void XorBlock(const void* in1, const void* in2, void* out, std::size_t count);

// Increments the first count bytes as one big-endian counter.
void IncBlock(void* block, std::size_t count);

}  // namespace velmysql
