#pragma once
// The wire client's error numbers 2000..2020 with their texts, and the few numbers
// that have no table entry.

#include <string>

namespace velmysql {

inline constexpr int CR_MIN_ERROR = 2000;
inline constexpr int CR_MAX_ERROR = 2020;

inline constexpr int CR_UNKNOWN_ERROR = 2000;
inline constexpr int CR_SOCKET_CREATE_ERROR = 2001;
inline constexpr int CR_CONNECTION_ERROR = 2002;
inline constexpr int CR_CONN_HOST_ERROR = 2003;
inline constexpr int CR_IPSOCK_ERROR = 2004;
inline constexpr int CR_UNKNOWN_HOST = 2005;
inline constexpr int CR_SERVER_GONE_ERROR = 2006;
inline constexpr int CR_VERSION_ERROR = 2007;
inline constexpr int CR_OUT_OF_MEMORY = 2008;
inline constexpr int CR_WRONG_HOST_INFO = 2009;
inline constexpr int CR_LOCALHOST_CONNECTION = 2010;
inline constexpr int CR_TCP_CONNECTION = 2011;
inline constexpr int CR_SERVER_HANDSHAKE_ERR = 2012;
inline constexpr int CR_SERVER_LOST = 2013;
inline constexpr int CR_COMMANDS_OUT_OF_SYNC = 2014;
inline constexpr int CR_NAMEDPIPE_CONNECTION = 2015;
inline constexpr int CR_NAMEDPIPEWAIT_ERROR = 2016;
inline constexpr int CR_NAMEDPIPEOPEN_ERROR = 2017;
inline constexpr int CR_NAMEDPIPESETSTATE_ERROR = 2018;
inline constexpr int CR_CANT_READ_CHARSET = 2019;
inline constexpr int CR_NET_PACKET_TOO_LARGE = 2020;
inline constexpr int CR_SSL_CONNECTION_ERROR = 2026;
inline constexpr int CR_SECURE_AUTH = 2049;
inline constexpr int CR_AUTH_PLUGIN_CANNOT_LOAD = 2059;
inline constexpr int CR_AUTH_PLUGIN_ERR = 2061;
inline constexpr int ER_NET_PACKET_TOO_LARGE = 1153;

inline constexpr const char* PACKET_TOO_LARGE_TEXT = "Got a packet bigger than 'max_allowed_packet' bytes";
inline constexpr const char* SECURE_AUTH_TEXT = "No secure authentication available to this MySQL server.";
// The login's own failures beyond the table: TLS, and the login methods.
inline constexpr const char* SSL_CONNECTION_TEXT = "SSL connection error: %-.200s";
inline constexpr const char* AUTH_PLUGIN_CANNOT_LOAD_TEXT =
    "Authentication plugin '%-.100s' cannot be loaded: this client does not know it";
inline constexpr const char* AUTH_PLUGIN_ERR_TEXT = "Authentication plugin '%-.100s' reported error: %-.200s";

// Indexed by error number - 2000; printf-style texts.
extern const char* const client_errors[21];

// The table text of a client error number; empty outside 2000..2020.
const char* ClientErrorText(int errorNumber);

// printf-style formatting into a byte string (used with the table texts).
std::string FormatClientError(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace velmysql
