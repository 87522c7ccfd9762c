#pragma once
// The connection option keys a driver reads from its Options lines ("name=value") when it
// opens a connection.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velmysql {

// What the keys ask for; an absent member leaves the client library's default in place.
struct MySQLConnectOptions {
    std::optional<std::uint32_t> connectTimeout;  // "connect_timeout", 60 when not a number
    std::optional<std::uint32_t> readTimeout;     // "read_timeout", 300 when not a number
    std::optional<std::uint32_t> writeTimeout;    // "write_timeout", 300 when not a number
    bool pipe = false;                            // "pipe" present, or "protocol" is pipe
    std::optional<std::uint32_t> reconnect;       // "autoreconnect", 1 when not a number
    // "max_allowed_packet": the largest packet the client sends or accepts, in bytes;
    // 1 GB (the client library's default) when not a number.
    std::optional<std::uint64_t> maxAllowedPacket;
    // TLS, named as the mariadb client names them: "ssl-mode" (DISABLED, PREFERRED,
    // REQUIRED, VERIFY_CA, VERIFY_IDENTITY; a TSslMode number, -1 for a text that names
    // none), "ssl-ca", "ssl-capath", "ssl-cert", "ssl-key", "ssl-cipher", "tls-version".
    std::optional<std::int32_t> sslMode;
    std::optional<std::string> sslCa, sslCapath, sslCert, sslKey, sslCipher, tlsVersion;
    // caching_sha2_password without TLS: "server-public-key" (or "server-public-key-path"),
    // the server's RSA key in a PEM file; "get-server-public-key" (1/0) lets the server
    // send it.
    std::optional<std::string> serverPublicKey;
    std::optional<bool> getServerPublicKey;
};

// The value of the first line whose text before its first '=' equals key (ASCII letters
// compared without regard to case). A line without '=' holds no key.
std::optional<std::string> FindOptionValue(const std::vector<std::string>& lines, std::string_view key);

MySQLConnectOptions ParseConnectOptions(const std::vector<std::string>& lines);

// True for a line naming one of the connection keys above (with or without a value).
bool IsConnectOptionLine(std::string_view line);

}  // namespace velmysql
