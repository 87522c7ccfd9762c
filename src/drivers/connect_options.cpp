#include "velmysql/drivers/connect_options.h"

#include "drivers/text_helpers.h"
#include "velmysql/rtl/strings.h"
#include "velmysql/wire/mysql_tls.h"

namespace velmysql {

namespace {

constexpr std::string_view kConnectKeys[] = {
    "connect_timeout", "read_timeout", "write_timeout", "pipe",        "protocol",          "autoreconnect",
    "max_allowed_packet", "ssl-mode", "ssl-ca",       "ssl-capath", "ssl-cert",          "ssl-key",
    "ssl-cipher",      "tls-version",  "server-public-key", "server-public-key-path", "get-server-public-key"};

std::optional<std::uint32_t> NumberOption(const std::vector<std::string>& lines, std::string_view key,
                                          std::int32_t fallback) {
    auto value = FindOptionValue(lines, key);
    if (!value) return std::nullopt;
    // The C API reads a 32-bit value; a negative number keeps its bit pattern.
    return static_cast<std::uint32_t>(drivers_detail::WholeNumber(*value).value_or(fallback));
}

std::string_view Blankless(std::string_view v) {
    while (!v.empty() && (v.front() == ' ' || v.front() == '\t')) v.remove_prefix(1);
    while (!v.empty() && (v.back() == ' ' || v.back() == '\t' || v.back() == '\r')) v.remove_suffix(1);
    return v;
}

}  // namespace

std::optional<std::string> FindOptionValue(const std::vector<std::string>& lines, std::string_view key) {
    for (const std::string& line : lines) {
        std::size_t eq = line.find('=');
        if (eq == std::string::npos) continue;
        if (SameText(std::string_view(line).substr(0, eq), key)) return line.substr(eq + 1);
    }
    return std::nullopt;
}

MySQLConnectOptions ParseConnectOptions(const std::vector<std::string>& lines) {
    MySQLConnectOptions o;
    o.connectTimeout = NumberOption(lines, "connect_timeout", 60);
    o.readTimeout = NumberOption(lines, "read_timeout", 300);
    o.writeTimeout = NumberOption(lines, "write_timeout", 300);
    auto protocol = FindOptionValue(lines, "protocol");
    o.pipe = FindOptionValue(lines, "pipe").has_value() || (protocol && SameText(*protocol, "pipe"));
    o.reconnect = NumberOption(lines, "autoreconnect", 1);
    if (auto value = FindOptionValue(lines, "max_allowed_packet")) {
        auto n = drivers_detail::WholeNumber(*value);
        o.maxAllowedPacket = n && *n > 0 ? static_cast<std::uint64_t>(*n) : std::uint64_t(1) << 30;
    }
    if (auto value = FindOptionValue(lines, "ssl-mode")) {
        // A text that names no mode is kept as such: the connect refuses it instead of
        // connecting with less protection than was asked for.
        auto mode = SslModeFromText(Blankless(*value));
        o.sslMode = mode ? static_cast<std::int32_t>(*mode) : -1;
    }
    o.sslCa = FindOptionValue(lines, "ssl-ca");
    o.sslCapath = FindOptionValue(lines, "ssl-capath");
    o.sslCert = FindOptionValue(lines, "ssl-cert");
    o.sslKey = FindOptionValue(lines, "ssl-key");
    o.sslCipher = FindOptionValue(lines, "ssl-cipher");
    o.tlsVersion = FindOptionValue(lines, "tls-version");
    o.serverPublicKey = FindOptionValue(lines, "server-public-key");
    if (!o.serverPublicKey) o.serverPublicKey = FindOptionValue(lines, "server-public-key-path");
    if (auto value = FindOptionValue(lines, "get-server-public-key"))
        o.getServerPublicKey = drivers_detail::WholeNumber(*value).value_or(1) != 0;
    return o;
}

bool IsConnectOptionLine(std::string_view line) {
    std::string_view name = line.substr(0, line.find('='));
    for (std::string_view key : kConnectKeys)
        if (SameText(name, key)) return true;
    return false;
}

}  // namespace velmysql
