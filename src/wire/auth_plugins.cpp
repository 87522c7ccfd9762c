#include "velmysql/wire/auth_plugins.h"

#include <algorithm>
#include <memory>
#include <openssl/bio.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/rsa.h>
#include <openssl/sha.h>
#include <sodium.h>

namespace velmysql {

namespace {

std::string Sha256(std::string_view a, std::string_view b = {}) {
    unsigned char out[SHA256_DIGEST_LENGTH];
    EVP_MD_CTX* c = EVP_MD_CTX_new();
    unsigned int n = 0;
    const bool ok = c != nullptr && EVP_DigestInit_ex(c, EVP_sha256(), nullptr) == 1 &&
                    EVP_DigestUpdate(c, a.data(), a.size()) == 1 && EVP_DigestUpdate(c, b.data(), b.size()) == 1 &&
                    EVP_DigestFinal_ex(c, out, &n) == 1;
    EVP_MD_CTX_free(c);
    if (!ok) return std::string(SHA256_DIGEST_LENGTH, '\0');  // only when OpenSSL cannot allocate
    return std::string(reinterpret_cast<const char*>(out), n);
}

// libsodium picks its CPU-specific code once; later calls only read that choice.
void SodiumReady() {
    static const int once = sodium_init();
    (void)once;
}

const unsigned char* Bytes(std::string_view s) { return reinterpret_cast<const unsigned char*>(s.data()); }

struct Ed25519Secret {
    unsigned char digest[crypto_hash_sha512_BYTES];  // SHA-512(password): scalar half, prefix half
    unsigned char scalar[crypto_core_ed25519_SCALARBYTES];  // the clamped first half, reduced mod L
    unsigned char publicKey[crypto_core_ed25519_BYTES];
    ~Ed25519Secret() { sodium_memzero(this, sizeof *this); }
};

// Fills the secret of a password. The clamped half is below 2^255, so the base-point
// multiplication takes it as it is; the reduced copy serves the scalar arithmetic.
bool DeriveSecret(std::string_view password, Ed25519Secret& s) {
    SodiumReady();
    crypto_hash_sha512(s.digest, Bytes(password), password.size());
    unsigned char clamped[32];
    std::copy(s.digest, s.digest + 32, clamped);
    clamped[0] &= 248;
    clamped[31] &= 63;
    clamped[31] |= 64;
    const bool ok = crypto_scalarmult_ed25519_base_noclamp(s.publicKey, clamped) == 0;
    unsigned char wide[crypto_core_ed25519_NONREDUCEDSCALARBYTES] = {};
    std::copy(clamped, clamped + 32, wide);
    crypto_core_ed25519_scalar_reduce(s.scalar, wide);
    sodium_memzero(clamped, sizeof clamped);
    sodium_memzero(wide, sizeof wide);
    return ok;
}

std::string OpenSslReason(const char* fallback) {
    unsigned long e = ERR_get_error();
    ERR_clear_error();
    if (e == 0) return fallback;
    char text[256];
    ERR_error_string_n(e, text, sizeof text);
    return text;
}

}  // namespace

std::string caching_sha2_scramble(std::string_view password, std::string_view nonce) {
    if (password.empty()) return {};
    const std::string stage1 = Sha256(password);
    const std::string stage2 = Sha256(stage1);
    const std::string mix = Sha256(stage2, nonce);
    std::string token(stage1.size(), '\0');
    for (std::size_t i = 0; i < token.size(); ++i) token[i] = static_cast<char>(stage1[i] ^ mix[i]);
    return token;
}

std::optional<std::string> caching_sha2_encrypt_password(std::string_view password, std::string_view nonce,
                                                         std::string_view publicKeyPem, std::string& error) {
    if (nonce.empty()) {
        error = "no scramble to mix the password with";
        return std::nullopt;
    }
    std::string plain(password);
    plain.push_back('\0');
    for (std::size_t i = 0; i < plain.size(); ++i) plain[i] = static_cast<char>(plain[i] ^ nonce[i % nonce.size()]);
    struct Wipe {
        std::string& s;
        ~Wipe() { OPENSSL_cleanse(s.data(), s.size()); }
    } wipe{plain};

    ERR_clear_error();
    std::unique_ptr<BIO, decltype(&BIO_free)> bio(
        BIO_new_mem_buf(publicKeyPem.data(), static_cast<int>(std::min<std::size_t>(publicKeyPem.size(), 1 << 20))),
        &BIO_free);
    if (!bio) {
        error = OpenSslReason("out of memory");
        return std::nullopt;
    }
    std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)> key(PEM_read_bio_PUBKEY(bio.get(), nullptr, nullptr, nullptr),
                                                            &EVP_PKEY_free);
    if (!key || EVP_PKEY_base_id(key.get()) != EVP_PKEY_RSA) {
        error = key ? "the server's public key is not an RSA key" : "the server's public key does not read: " +
                                                                         OpenSslReason("no PEM public key");
        ERR_clear_error();
        return std::nullopt;
    }
    // OAEP with SHA-1 takes at most the key's size less 42 bytes.
    const int keyBytes = EVP_PKEY_get_size(key.get());
    if (keyBytes <= 42 || plain.size() > static_cast<std::size_t>(keyBytes - 42)) {
        error = "the password is too long for the server's public key";
        return std::nullopt;
    }
    std::unique_ptr<EVP_PKEY_CTX, decltype(&EVP_PKEY_CTX_free)> ctx(EVP_PKEY_CTX_new(key.get(), nullptr),
                                                                    &EVP_PKEY_CTX_free);
    std::string out(static_cast<std::size_t>(keyBytes), '\0');
    std::size_t outLen = out.size();
    if (!ctx || EVP_PKEY_encrypt_init(ctx.get()) != 1 ||
        EVP_PKEY_CTX_set_rsa_padding(ctx.get(), RSA_PKCS1_OAEP_PADDING) != 1 ||
        EVP_PKEY_encrypt(ctx.get(), reinterpret_cast<unsigned char*>(out.data()), &outLen, Bytes(plain),
                         plain.size()) != 1) {
        error = OpenSslReason("RSA encryption failed");
        return std::nullopt;
    }
    out.resize(outLen);
    return out;
}

std::string ed25519_password_public_key(std::string_view password) {
    Ed25519Secret s;
    if (!DeriveSecret(password, s)) return {};
    return std::string(reinterpret_cast<const char*>(s.publicKey), sizeof s.publicKey);
}

std::string ed25519_password_sign(std::string_view password, std::string_view message) {
    Ed25519Secret s;
    if (!DeriveSecret(password, s)) return {};
    // r = SHA-512(prefix || message) mod L; R = r B.
    unsigned char h[crypto_hash_sha512_BYTES];
    crypto_hash_sha512_state st;
    crypto_hash_sha512_init(&st);
    crypto_hash_sha512_update(&st, s.digest + 32, 32);
    crypto_hash_sha512_update(&st, Bytes(message), message.size());
    crypto_hash_sha512_final(&st, h);
    unsigned char r[32], R[32];
    crypto_core_ed25519_scalar_reduce(r, h);
    if (crypto_scalarmult_ed25519_base_noclamp(R, r) != 0) return {};  // r = 0: probability 2^-252
    // k = SHA-512(R || A || message) mod L; S = (r + k a) mod L.
    crypto_hash_sha512_init(&st);
    crypto_hash_sha512_update(&st, R, sizeof R);
    crypto_hash_sha512_update(&st, s.publicKey, sizeof s.publicKey);
    crypto_hash_sha512_update(&st, Bytes(message), message.size());
    crypto_hash_sha512_final(&st, h);
    unsigned char k[32], ka[32], S[32];
    crypto_core_ed25519_scalar_reduce(k, h);
    crypto_core_ed25519_scalar_mul(ka, k, s.scalar);
    crypto_core_ed25519_scalar_add(S, ka, r);
    std::string sig(reinterpret_cast<const char*>(R), 32);
    sig.append(reinterpret_cast<const char*>(S), 32);
    sodium_memzero(r, sizeof r);
    sodium_memzero(h, sizeof h);
    return sig;
}

}  // namespace velmysql
