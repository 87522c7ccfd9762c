#pragma once
// The one reader through which every incoming packet is parsed: a position and an end,
// every read checked against the bytes left. A read that does not fit fails, and the
// reader stays failed, so a caller may chain reads and test once. Pure: no I/O.

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace velmysql {

class PacketReader {
public:
    PacketReader(const unsigned char* data, std::size_t size) : p_(data), end_(data + size) {}
    explicit PacketReader(std::string_view bytes)
        : PacketReader(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size()) {}

    bool ok() const { return ok_; }
    std::size_t left() const { return ok_ ? static_cast<std::size_t>(end_ - p_) : 0; }
    const unsigned char* position() const { return p_; }

    bool u8(std::uint8_t& v) { return fixed(1, v); }
    bool u16(std::uint16_t& v) { return fixed(2, v); }
    bool u24(std::uint32_t& v) { return fixed(3, v); }
    bool u32(std::uint32_t& v) { return fixed(4, v); }
    bool u64(std::uint64_t& v) { return fixed(8, v); }
    bool skip(std::size_t n) {
        if (!need(n)) return false;
        p_ += n;
        return true;
    }
    // n bytes in place.
    bool bytes(std::size_t n, const unsigned char*& out) {
        if (!need(n)) return false;
        out = p_;
        p_ += n;
        return true;
    }
    // The bytes up to the next 0 (which is consumed); fails when there is no 0.
    bool nulTerminated(std::string_view& out);
    // The bytes up to the next 0 or the end, whichever comes first (a 0 is consumed).
    std::string_view restUpToNul();

    // Length-coded number, 64-bit form: 251 reads as all bits set (and isNull true);
    // 254 and 255 take 8 more bytes.
    bool lengthCoded64(std::uint64_t& v, bool& isNull) {
        isNull = false;
        if (ok_ && p_ < end_ && *p_ <= 250) {  // the common one-byte form
            v = *p_++;
            return true;
        }
        return lengthCoded64Slow(v, isNull);
    }
    // 32-bit form: 251 reads as -1; of the 8 bytes after 254 and 255 the low 4 count.
    bool lengthCoded32(std::int64_t& v);
    // A length-coded value: isNull, or the bytes (in place). Fails when the length
    // runs past the packet.
    bool value(const unsigned char*& data, std::size_t& length, bool& isNull) {
        std::uint64_t n;
        if (!lengthCoded64(n, isNull)) return false;
        if (isNull) {
            data = nullptr;
            length = 0;
            return true;
        }
        if (n > static_cast<std::uint64_t>(end_ - p_)) return fail();
        length = static_cast<std::size_t>(n);
        data = p_;
        p_ += length;
        return true;
    }

    bool fail() {
        ok_ = false;
        return false;
    }

private:
    bool lengthCoded64Slow(std::uint64_t& v, bool& isNull);
    bool need(std::size_t n) {
        if (!ok_ || static_cast<std::size_t>(end_ - p_) < n) return fail();
        return true;
    }
    template <typename T>
    bool fixed(int n, T& v) {
        if (!need(static_cast<std::size_t>(n))) return false;
        std::uint64_t x = 0;
        for (int i = n - 1; i >= 0; --i) x = (x << 8) | p_[i];
        v = static_cast<T>(x);
        p_ += n;
        return true;
    }

    const unsigned char* p_;
    const unsigned char* end_;
    bool ok_ = true;
};

}  // namespace velmysql
