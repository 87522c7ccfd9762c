#include "velmysql/wire/packet_reader.h"

#include <cstring>

namespace velmysql {

bool PacketReader::nulTerminated(std::string_view& out) {
    if (!ok_) return false;
    auto z = static_cast<const unsigned char*>(std::memchr(p_, 0, static_cast<std::size_t>(end_ - p_)));
    if (z == nullptr) return fail();
    out = std::string_view(reinterpret_cast<const char*>(p_), static_cast<std::size_t>(z - p_));
    p_ = z + 1;
    return true;
}

std::string_view PacketReader::restUpToNul() {
    if (!ok_) return {};
    auto z = static_cast<const unsigned char*>(std::memchr(p_, 0, static_cast<std::size_t>(end_ - p_)));
    const unsigned char* stop = z ? z : end_;
    std::string_view out(reinterpret_cast<const char*>(p_), static_cast<std::size_t>(stop - p_));
    p_ = z ? z + 1 : end_;
    return out;
}

bool PacketReader::lengthCoded64Slow(std::uint64_t& v, bool& isNull) {
    isNull = false;
    std::uint8_t first;
    if (!u8(first)) return false;
    if (first <= 250) {
        v = first;
        return true;
    }
    switch (first) {
        case 251:
            isNull = true;
            v = ~std::uint64_t(0);
            return true;
        case 252: {
            std::uint16_t x;
            if (!u16(x)) return false;
            v = x;
            return true;
        }
        case 253: {
            std::uint32_t x;
            if (!u24(x)) return false;
            v = x;
            return true;
        }
        default:
            return u64(v);
    }
}

bool PacketReader::lengthCoded32(std::int64_t& v) {
    // The 64-bit form read whole: of its eight bytes the low four count.
    std::uint64_t x;
    bool isNull;
    if (!lengthCoded64(x, isNull)) return false;
    v = isNull ? -1 : static_cast<std::int64_t>(x & 0xFFFFFFFFu);
    return true;
}

}  // namespace velmysql
