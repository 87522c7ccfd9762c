#pragma once
// The exception of every server and driver failure, and the routine that composes it.

#include <cstdint>
#include <string>

#include "velmysql/db/database_error.h"
#include "velmysql/wire/mysql_capi.h"

namespace velmysql {

class TMySQLBase;

// A value with all bits set, exported for applications (the C API's packet_error).
inline constexpr std::uint32_t packet_error = 0xFFFFFFFFu;

class EMySQLError : public EDatabaseError {
public:
    EMySQLError(int errorCode, std::string message) : EDatabaseError(std::move(message)), errorCode_(errorCode) {}
    // The MySQL error number, or -1 when none was available.
    int ErrorCode() const noexcept { return errorCode_; }

private:
    int errorCode_;
};

// Always raises EMySQLError. With a driver, the text carries the error number and text of
// Handle (or of the driver's own connection) and the client and server versions; without
// one, ClientNumber and ServerNumber stand in for the versions. If composing the text fails
// itself, EMySQLError(ErrorNumber, Message) is raised instead.
[[noreturn]] void MySQLError(TMySQLBase* Driver, MySQLConnectionHandle* Handle, int ErrorNumber,
                             const std::string& Message, int ServerNumber = -1, int ClientNumber = -1);

}  // namespace velmysql
