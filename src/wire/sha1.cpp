#include "velmysql/wire/sha1.h"

#include <cstring>

#include "velmysql/wire/tools.h"

namespace velmysql {

namespace {
std::uint32_t be32(const unsigned char* p) {
    return (std::uint32_t(p[0]) << 24) | (std::uint32_t(p[1]) << 16) | (std::uint32_t(p[2]) << 8) |
           std::uint32_t(p[3]);
}

void transform(std::uint32_t state[5], const unsigned char block[64]) {
    std::uint32_t w[80];
    for (int i = 0; i < 16; ++i) w[i] = be32(block + 4 * i);
    for (int i = 16; i < 80; ++i) w[i] = LRot32(w[i - 3] ^ w[i - 8] ^ w[i - 14] ^ w[i - 16], 1);
    std::uint32_t a = state[0], b = state[1], c = state[2], d = state[3], e = state[4];
    for (int i = 0; i < 80; ++i) {
        std::uint32_t f, k;
        if (i < 20) {
            f = (b & c) | (~b & d);
            k = 0x5A827999;
        } else if (i < 40) {
            f = b ^ c ^ d;
            k = 0x6ED9EBA1;
        } else if (i < 60) {
            f = (b & c) | (b & d) | (c & d);
            k = 0x8F1BBCDC;
        } else {
            f = b ^ c ^ d;
            k = 0xCA62C1D6;
        }
        std::uint32_t t = LRot32(a, 5) + f + e + k + w[i];
        e = d;
        d = c;
        c = LRot32(b, 30);
        b = a;
        a = t;
    }
    state[0] += a;
    state[1] += b;
    state[2] += c;
    state[3] += d;
    state[4] += e;
}
}  // namespace

void SHA1Init(TSHA1Context& ctx) {
    ctx.state[0] = 0x67452301;
    ctx.state[1] = 0xEFCDAB89;
    ctx.state[2] = 0x98BADCFE;
    ctx.state[3] = 0x10325476;
    ctx.state[4] = 0xC3D2E1F0;
    ctx.bitCount = 0;
    ctx.bufferUsed = 0;
}

void SHA1Update(TSHA1Context& ctx, const void* data, std::size_t count) {
    auto p = static_cast<const unsigned char*>(data);
    ctx.bitCount += std::uint64_t(count) * 8;
    while (count > 0) {
        std::size_t take = 64 - ctx.bufferUsed;
        if (take > count) take = count;
        std::memcpy(ctx.buffer + ctx.bufferUsed, p, take);
        ctx.bufferUsed += take;
        p += take;
        count -= take;
        if (ctx.bufferUsed == 64) {
            transform(ctx.state, ctx.buffer);
            ctx.bufferUsed = 0;
        }
    }
}

void SHA1Final(TSHA1Context& ctx, unsigned char digest[20]) {
    std::uint64_t bits = ctx.bitCount;
    unsigned char pad = 0x80;
    SHA1Update(ctx, &pad, 1);
    unsigned char zero = 0;
    while (ctx.bufferUsed != 56) SHA1Update(ctx, &zero, 1);
    unsigned char len[8];
    for (int i = 0; i < 8; ++i) len[i] = static_cast<unsigned char>(bits >> (56 - 8 * i));
    SHA1Update(ctx, len, 8);
    for (int i = 0; i < 5; ++i) {
        digest[4 * i] = static_cast<unsigned char>(ctx.state[i] >> 24);
        digest[4 * i + 1] = static_cast<unsigned char>(ctx.state[i] >> 16);
        digest[4 * i + 2] = static_cast<unsigned char>(ctx.state[i] >> 8);
        digest[4 * i + 3] = static_cast<unsigned char>(ctx.state[i]);
    }
    std::memset(&ctx, 0, sizeof ctx);
}

std::string SHA1Digest(std::string_view data) {
    TSHA1Context ctx;
    SHA1Init(ctx);
    SHA1Update(ctx, data.data(), data.size());
    unsigned char d[20];
    SHA1Final(ctx, d);
    return std::string(reinterpret_cast<char*>(d), 20);
}

bool SHA1SelfTest() {
    static const unsigned char expected[20] = {0xA9, 0x99, 0x3E, 0x36, 0x47, 0x06, 0x81,
                                               0x6A, 0xBA, 0x3E, 0x25, 0x71, 0x78, 0x50,
                                               0xC2, 0x6C, 0x9C, 0xD0, 0xD8, 0x9D};
    std::string d = SHA1Digest("abc");
    return std::memcmp(d.data(), expected, 20) == 0;
}

}  // namespace velmysql
