#include "velmysql/wire/mysql_errors.h"

#include <cstdarg>
#include <cstdio>

namespace velmysql {

const char* const client_errors[21] = {
    "Unknown MySQL error",
    "Can't create UNIX socket (%d)",
    "Can't connect to local MySQL server through socket '%-.64s' (%d)",
    "Can't connect to MySQL server on '%-.64s' (%d)",
    "Can't create TCP/IP socket (%d)",
    "Unknown MySQL Server Host '%-.64s' (%d)",
    "MySQL server has gone away",
    "Protocol mismatch. Server Version = %d Client Version = %d",
    "MySQL client run out of memory",
    "Wrong host info",
    "Localhost via UNIX socket",
    "%-.64s via TCP/IP",
    "Error in server handshake",
    "Lost connection to MySQL server during query",
    "Commands out of sync;  You can't run this command now",
    "%-.64s via named pipe",
    "Can't wait for named pipe to host: %-.64s  pipe: %-.32s (%lu)",
    "Can't open named pipe to host: %-.64s  pipe: %-.32s (%u)",
    "Can't set state of named pipe to host: %-.64s  pipe: %-.32s (%lu)",
    "Can't initialize character set %-.64s (path: %-.64s)",
    "Got packet bigger than 'max_allowed_packet'",
};

const char* ClientErrorText(int errorNumber) {
    if (errorNumber < CR_MIN_ERROR || errorNumber > CR_MAX_ERROR) return "";
    return client_errors[errorNumber - CR_MIN_ERROR];
}

std::string FormatClientError(const char* format, ...) {
    char buf[512];
    va_list ap;
    va_start(ap, format);
    int n = std::vsnprintf(buf, sizeof buf, format, ap);
    va_end(ap);
    if (n < 0) return std::string();
    if (static_cast<size_t>(n) >= sizeof buf) n = sizeof buf - 1;
    return std::string(buf, static_cast<size_t>(n));
}

}  // namespace velmysql
