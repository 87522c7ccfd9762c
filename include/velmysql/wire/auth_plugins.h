#pragma once
// The answers of the login methods newer servers ask for: the SHA-256 scramble of
// caching_sha2_password, the RSA-encrypted password of its full authentication, and the
// Ed25519 signature of MariaDB's client_ed25519. Pure computations; nothing is logged.

#include <optional>
#include <string>
#include <string_view>

namespace velmysql {

// SHA-256(password) xor SHA-256(SHA-256(SHA-256(password)) + nonce): 32 bytes; empty for
// an empty password (the server then expects an empty answer).
std::string caching_sha2_scramble(std::string_view password, std::string_view nonce);

// The password, a 0 byte, xor-ed with the nonce repeated, encrypted with RSA-OAEP under
// the server's public key (PEM). Absent when the key does not read as an RSA public key or
// the text is too long for it; `error` then says why.
std::optional<std::string> caching_sha2_encrypt_password(std::string_view password, std::string_view nonce,
                                                         std::string_view publicKeyPem, std::string& error);

// client_ed25519: the 64-byte digest SHA-512(password) stands in for the digest of a
// 32-byte seed in Ed25519 signing. Its clamped first half is the secret scalar a; the
// public key is a times the base point (32 bytes, the form the server stores base64-coded).
std::string ed25519_password_public_key(std::string_view password);
// The 64-byte signature R || S of the message (the server's nonce) under that key.
std::string ed25519_password_sign(std::string_view password, std::string_view message);

}  // namespace velmysql
