#include "velmysql/wire/new_password.h"

#include <cmath>

#include "velmysql/wire/sha1.h"
#include "velmysql/wire/tools.h"

namespace velmysql {

void hashPassword(std::string_view text, std::uint32_t& first, std::uint32_t& second) {
    std::uint32_t h1 = 1345345333u, k = 7, h2 = 0x12345671u;
    for (unsigned char c : text) {
        if (c == 0) break;
        if (c == ' ' || c == '\t') continue;
        h1 ^= (((h1 & 63) + k) * c) + (h1 << 8);
        h2 += (h2 << 8) ^ h1;
        k += c;
    }
    first = h1 & 0x7FFFFFFFu;
    second = h2 & 0x7FFFFFFFu;
}

namespace {
struct OldRandom {
    std::uint32_t r1, r2;
    static constexpr std::uint32_t M = 0x3FFFFFFF;
    double next() {
        r1 = static_cast<std::uint32_t>((std::uint64_t(r1) * 3 + r2) % M);
        r2 = static_cast<std::uint32_t>((std::uint64_t(r1) + r2 + 33) % M);
        return static_cast<double>(r1) / static_cast<double>(M);
    }
};
}  // namespace

std::optional<std::string> mysql_scramble(std::string_view password, std::string_view message) {
    // Texts end at their first NUL, as they do for the server.
    password = password.substr(0, password.find('\0'));
    message = message.substr(0, message.find('\0'));
    if (password.empty() || message.empty()) return std::nullopt;
    std::uint32_t p1, p2, m1, m2;
    hashPassword(password, p1, p2);
    hashPassword(message, m1, m2);
    OldRandom rnd{(p1 ^ m1) % OldRandom::M, (p2 ^ m2) % OldRandom::M};
    std::string out(message.size(), '\0');
    for (auto& ch : out) ch = static_cast<char>(static_cast<int>(std::floor(rnd.next() * 31)) + 64);
    char extra = static_cast<char>(static_cast<int>(std::floor(rnd.next() * 31)));
    for (auto& ch : out) ch = static_cast<char>(ch ^ extra);
    return out;
}

std::optional<std::string> mysql_scramble411(std::string_view password, std::string_view message) {
    if (!SHA1SelfTest()) return std::nullopt;
    std::string stage1 = SHA1Digest(password);
    std::string stage2 = SHA1Digest(stage1);
    std::string salt(message.substr(0, 20));
    salt.resize(20, '\0');
    std::string r = SHA1Digest(salt + stage2);
    std::string token(20, '\0');
    XorBlock(r.data(), stage1.data(), token.data(), 20);
    return token;
}

}  // namespace velmysql
