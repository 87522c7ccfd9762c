// The login methods' answers against vectors computed with an independent implementation
// (Python: hashlib, and RFC 8032's reference Ed25519 arithmetic with the digest of the
// whole password in place of a seed's), and the RSA sealing of caching_sha2_password
// opened again with the private key.

#include <gtest/gtest.h>

#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/rsa.h>
#include <string>

#include "fake_server.h"
#include "velmysql/wire/auth_plugins.h"

using namespace velmysql;
using velmysql::testing::hex;

namespace {
std::string Range(int from, int count) {
    std::string s;
    for (int i = 0; i < count; ++i) s.push_back(static_cast<char>(from + i));
    return s;
}
}  // namespace

// Vectors from:
//   s1 = sha256(pw); s2 = sha256(s1); token = s1 xor sha256(s2 + nonce)
TEST(AuthPlugins, CachingSha2ScrambleMatchesTheReference) {
    const std::string nonce = "abcdefghijklmnopqrst";
    struct Case {
        std::string password, hex;
    } cases[] = {
        {"sha2-secret", "b06d8f80c5fb271d959333ce00d51f322d37ea69cee8e91c5b903c8e1014569c"},
        {"x", "9abd8c99048fbc9f0d12cce314b0c2af9f1a5bce32269873e7d9d4ae0f89c58a"},
    };
    for (const Case& c : cases) EXPECT_EQ(hex(caching_sha2_scramble(c.password, nonce)), c.hex) << c.password;
    // No password: no answer at all (the server takes an empty one for it).
    EXPECT_EQ(caching_sha2_scramble("", nonce), "");
}

// Public key = clamp(sha512(pw)[0:32]) * B; signature R || S with
// r = sha512(sha512(pw)[32:64] + m) mod L, R = r B, S = r + sha512(R + A + m) a mod L.
TEST(AuthPlugins, Ed25519PasswordKeyAndSignatureMatchTheReference) {
    struct Case {
        std::string password, nonce, publicKey, signature;
    } cases[] = {
        {"ed-secret", Range(0x20, 32), "885b4fad7c52ab6e0ed8a4fa63c3c2f074c8348d3be93c8945468265e8ae8ab3",
         "6312ad09b7295545882ad5ed3695bd7939e8078e8813eb0060fe120a59a738fe"
         "081368228d75e5db6f20e2e1d8ec86775c485e183f686e19cbd202110e4bd30d"},
        // The empty password is a key like any other.
        {"", Range(0x20, 32), "e0b1fe74117e1b95b608a4f221df314774b20ea66842350d515371c7c6966c6e",
         "bdeafdd8db5c41a63d0a761ba3abac6212e58fd8df96c7d71a03f13a5658d976"
         "cb44118a2886ae7c9f6d11d39eca9b14a580bf75c9f50b899cdb503383daa307"},
        // A password longer than a seed is digested whole.
        {std::string(100, 'a'), Range(0x20, 32), "0a69c32748b3422575917e6918e72a3aca2ffd62715a069c152b8924a0911e1d",
         "deb1b70a041cbb164f62259f445dcebf9651ad8115eb77165291d692f591681e"
         "20d6ac2f2f1374a486dc949f74fbfa3de35dee0ea4f51d0b0111a94eed225001"},
        // A nonce ending in a zero byte is signed with that byte.
        {"ed-secret", Range(1, 31) + std::string(1, '\0'), "885b4fad7c52ab6e0ed8a4fa63c3c2f074c8348d3be93c8945468265e8ae8ab3",
         "b452a5774901685a639225412a3ad085b196d84120bcb0688880be3aa8b5c34b"
         "f5f038476fee6240e6f3ff90be8a998eee423118a1201af970796428ef386404"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.password.substr(0, 12));
        EXPECT_EQ(hex(ed25519_password_public_key(c.password)), c.publicKey);
        EXPECT_EQ(hex(ed25519_password_sign(c.password, c.nonce)), c.signature);
    }
}

TEST(AuthPlugins, RsaSealedPasswordOpensWithThePrivateKey) {
    EVP_PKEY* key = EVP_RSA_gen(2048);
    ASSERT_NE(key, nullptr);
    BIO* out = BIO_new(BIO_s_mem());
    ASSERT_EQ(PEM_write_bio_PUBKEY(out, key), 1);
    char* pem = nullptr;
    const long pemLen = BIO_get_mem_data(out, &pem);
    const std::string publicPem(pem, static_cast<std::size_t>(pemLen));
    BIO_free(out);

    const std::string nonce = "abcdefghijklmnopqrst";
    for (const std::string& password : {std::string("sha2-secret"), std::string(60, 'p')}) {
        std::string why;
        auto sealed = caching_sha2_encrypt_password(password, nonce, publicPem, why);
        ASSERT_TRUE(sealed.has_value()) << why;
        EXPECT_EQ(sealed->size(), 256u);
        EVP_PKEY_CTX* ctx = EVP_PKEY_CTX_new(key, nullptr);
        ASSERT_EQ(EVP_PKEY_decrypt_init(ctx), 1);
        ASSERT_EQ(EVP_PKEY_CTX_set_rsa_padding(ctx, RSA_PKCS1_OAEP_PADDING), 1);
        std::string plain(256, '\0');
        std::size_t n = plain.size();
        ASSERT_EQ(EVP_PKEY_decrypt(ctx, reinterpret_cast<unsigned char*>(plain.data()), &n,
                                   reinterpret_cast<const unsigned char*>(sealed->data()), sealed->size()),
                  1);
        EVP_PKEY_CTX_free(ctx);
        plain.resize(n);
        std::string expected = password + std::string(1, '\0');
        for (std::size_t i = 0; i < expected.size(); ++i) expected[i] = static_cast<char>(expected[i] ^ nonce[i % 20]);
        EXPECT_EQ(plain, expected);
    }
    // Refusals: a password too long for the key, and texts that are no RSA public key.
    std::string why;
    EXPECT_FALSE(caching_sha2_encrypt_password(std::string(300, 'p'), nonce, publicPem, why));
    EXPECT_NE(why.find("too long"), std::string::npos) << why;
    for (const std::string& bad : {std::string(), std::string("-----BEGIN PUBLIC KEY-----\nAAAA\n-----END PUBLIC KEY-----\n"),
                                   publicPem.substr(0, publicPem.size() / 2)}) {
        why.clear();
        EXPECT_FALSE(caching_sha2_encrypt_password("pw", nonce, bad, why));
        EXPECT_FALSE(why.empty());
    }
    EVP_PKEY_free(key);
}
