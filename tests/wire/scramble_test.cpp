// SHA-1, the block routines and both login tokens.

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "velmysql/wire/new_password.h"
#include "velmysql/wire/sha1.h"
#include "velmysql/wire/tools.h"

using namespace velmysql;

namespace {
std::string hex(const std::string& bytes) {
    std::string out;
    char b[3];
    for (unsigned char c : bytes) {
        std::snprintf(b, sizeof b, "%02x", c);
        out += b;
    }
    return out;
}
}  // namespace

TEST(Sha1, FipsVectors) {
    struct Case {
        std::string input;
        const char* digest;
    } cases[] = {
        {"abc", "a9993e364706816aba3e25717850c26c9cd0d89d"},
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
         "84983e441c3bd26ebaae4aa1f95129e5e54670f1"},
        {std::string(1000000, 'a'), "34aa973cd4c4daa4f61eeb2bdbad27316534016f"},
        {"", "da39a3ee5e6b4b0d3255bfef95601890afd80709"},
    };
    for (const auto& c : cases) EXPECT_EQ(hex(SHA1Digest(c.input)), c.digest) << c.input.size();
    EXPECT_TRUE(SHA1SelfTest());
}

TEST(Sha1, PiecewiseUpdateEqualsOneShot) {
    // Pieces that straddle the 64-byte block and the 56-byte padding boundary.
    std::string data(200, '\0');
    for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>(i * 7);
    for (size_t cut : {1u, 55u, 56u, 63u, 64u, 65u, 119u}) {
        TSHA1Context ctx;
        SHA1Init(ctx);
        SHA1Update(ctx, data.data(), cut);
        SHA1Update(ctx, data.data() + cut, data.size() - cut);
        unsigned char d[20];
        SHA1Final(ctx, d);
        EXPECT_EQ(std::string(reinterpret_cast<char*>(d), 20), SHA1Digest(data)) << cut;
    }
}

TEST(Tools, RotationsAndBlocks) {
    EXPECT_EQ(LRot32(0x80000001u, 1), 0x00000003u);
    EXPECT_EQ(RRot32(0x00000003u, 1), 0x80000001u);
    EXPECT_EQ(LRot32(0x12345678u, 32), 0x12345678u);  // count mod 32
    EXPECT_EQ(LRot16(0x8001, 17), 0x0003);
    EXPECT_EQ(RRot16(0x0003, 1), 0x8001);

    unsigned char b[3] = {0x00, 0xFF, 0xFF};
    IncBlock(b, 3);
    EXPECT_EQ(b[0], 0x01);
    EXPECT_EQ(b[1], 0x00);
    EXPECT_EQ(b[2], 0x00);
    unsigned char all[2] = {0xFF, 0xFF};
    IncBlock(all, 2);  // wraps to zero, no write outside
    EXPECT_EQ(all[0], 0);
    EXPECT_EQ(all[1], 0);

    unsigned char x[3] = {1, 2, 3}, y[3] = {3, 2, 1}, o[3];
    XorBlock(x, y, o, 3);
    EXPECT_EQ(o[0], 2);
    EXPECT_EQ(o[1], 0);
    EXPECT_EQ(o[2], 2);
}

// Hashes computed by the server's own PASSWORD() and OLD_PASSWORD().
struct ServerHash {
    const char* password;
    const char* password41;  // PASSWORD(): '*' + hex(SHA1(SHA1(p)))
    const char* old;         // OLD_PASSWORD(): the two words of the pre-4.1 hash
};
const ServerHash kServerHashes[] = {
    {"password", "*2470C0C06DEE42FD1618BB99005ADCA2EC9D1E19", "5d2e19393cc5ef67"},
    {"old-secret", "*41C97F0E8785A0E0144D1430EC33C0F08F33181D", "78b7737860f83d45"},
    {"a b\tc", "*07E779AB728780A29590D2C605A5164162AEC972", "7cd2b5942be28759"},
    {"abc", "*0D3CED9BEC10A777AEC23CCC353A8C08A633045E", "7cd2b5942be28759"},
    {"\xC3\x9C" "ber123!", "*89433E0C35423F37C6E63D1B22C2927052929FFC", "443637553d0ce4d1"},
};

TEST(Scramble, PreFourOneHashMatchesServer) {
    for (const auto& h : kServerHashes) {
        std::uint32_t a, b;
        hashPassword(h.password, a, b);
        char text[17];
        std::snprintf(text, sizeof text, "%08x%08x", a, b);
        EXPECT_STREQ(text, h.old) << h.password;
    }
}

TEST(Scramble, FourOneTokenMatchesServerHash) {
    // The server checks SHA1(token xor SHA1(message + stored)) == stored, where stored
    // is what PASSWORD() shows; unfold that with the server's value.
    const std::string message = "0123456789abcdefghij";
    for (const auto& h : kServerHashes) {
        auto token = mysql_scramble411(h.password, message);
        ASSERT_TRUE(token.has_value());
        ASSERT_EQ(token->size(), 20u);
        std::string stored = SHA1Digest(SHA1Digest(h.password));
        std::string upper;
        for (char c : hex(stored)) upper += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        EXPECT_EQ("*" + upper, h.password41);
        std::string r = SHA1Digest(message + stored);
        std::string stage1(20, '\0');
        XorBlock(token->data(), r.data(), stage1.data(), 20);
        EXPECT_EQ(SHA1Digest(stage1), stored) << h.password;
    }
}

TEST(Scramble, PreFourOneToken) {
    EXPECT_FALSE(mysql_scramble("", "abcdefgh").has_value());
    EXPECT_FALSE(mysql_scramble("secret", "").has_value());
    for (const char* message : {"abcdefgh", "!@#$%^&*", "zzzzzzzz", "12345678"}) {
        auto t = mysql_scramble("old-secret", message);
        ASSERT_TRUE(t.has_value());
        ASSERT_EQ(t->size(), 8u);
        // Characters of 64..94 xor-ed with one value of 0..30: never 0, below 128.
        for (unsigned char c : *t) {
            EXPECT_NE(c, 0);
            EXPECT_LT(c, 128);
        }
    }
    // Blanks and tabs in the password do not count.
    EXPECT_EQ(mysql_scramble("a b\tc", "abcdefgh"), mysql_scramble("abc", "abcdefgh"));
    EXPECT_NE(mysql_scramble("abd", "abcdefgh"), mysql_scramble("abc", "abcdefgh"));
}
