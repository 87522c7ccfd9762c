#pragma once
// What a connection asks of TLS: whether to encrypt, what to verify, and the files and
// protocol choices handed to OpenSSL. Named after the mariadb client's options.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace velmysql {

enum TSslMode : std::uint8_t {
    smDisabled = 0,        // never TLS
    smPreferred = 1,       // TLS over TCP/IP when the server offers it, without verification
    smRequired = 2,        // TLS or no connection; the certificate is not checked
    smVerifyCa = 3,        // and the server's certificate chains to a trusted CA
    smVerifyIdentity = 4,  // and it names the host connected to
};

// The mode named by an ssl-mode value (DISABLED, PREFERRED, REQUIRED, VERIFY_CA,
// VERIFY_IDENTITY, letters in any case); absent for any other text.
std::optional<TSslMode> SslModeFromText(std::string_view text);
const char* SslModeText(TSslMode mode);

struct TMysqlTlsSettings {
    TSslMode mode = smPreferred;
    // A mode text that named no mode: the connection is refused rather than made with
    // less protection than asked for.
    bool modeInvalid = false;
    std::string ca;          // ssl-ca: file of trusted CA certificates (PEM)
    std::string capath;      // ssl-capath: directory of hashed CA certificates
    std::string cert;        // ssl-cert: the client's certificate chain (PEM)
    std::string key;         // ssl-key: its private key (PEM); the certificate file when empty
    std::string cipher;      // ssl-cipher: OpenSSL cipher list and/or TLS 1.3 suites
    std::string tlsVersion;  // tls-version: e.g. "TLSv1.2,TLSv1.3"; empty for OpenSSL's range
};

}  // namespace velmysql
