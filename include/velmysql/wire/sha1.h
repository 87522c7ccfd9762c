#pragma once
// SHA-1 (FIPS 180-1).

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace velmysql {

struct TSHA1Context {
    std::uint32_t state[5];
    std::uint64_t bitCount;
    unsigned char buffer[64];
    std::size_t bufferUsed;
};

void SHA1Init(TSHA1Context& context);
void SHA1Update(TSHA1Context& context, const void* data, std::size_t count);
void SHA1Final(TSHA1Context& context, unsigned char digest[20]);
// Hashes "abc" and compares with the published digest.
bool SHA1SelfTest();

// The 20-byte digest of a byte string.
std::string SHA1Digest(std::string_view data);

}  // namespace velmysql
