#include "velmysql/drivers/mysql_error.h"

#include "velmysql/drivers/mysql_base.h"

namespace velmysql {

namespace {

struct Composed {
    int number;
    std::string text;
};

Composed Compose(TMySQLBase* driver, MySQLConnectionHandle* handle, int errorNumber, const std::string& message,
                 int serverNumber, int clientNumber) {
    std::string client, server;
    if (driver != nullptr) {
        client = driver->ClientInfo();
        server = driver->GetConnection() != nullptr ? driver->ServerInfo(driver->GetConnection())
                                                    : std::to_string(serverNumber);
    } else {
        client = std::to_string(clientNumber);
        server = std::to_string(serverNumber);
    }

    // The handle that carries the error: the given one, else the driver's own connection.
    MySQLConnectionHandle* source = handle;
    if (source == nullptr && driver != nullptr) source = driver->GetConnection();
    int number = errorNumber;
    std::string body = message;
    if (source != nullptr && driver != nullptr) {
        number = driver->ErrorNo(source);
        body = driver->ErrorMsg(source) + ": " + message;
    }

    std::string suffix;
    if (client != "-1" && server != "-1")
        suffix = "\r\nClient:" + client + "\r\nServer:" + server;
    else if (client > std::string("-1"))
        suffix = "\r\nClient:" + client;

    if (number >= 0) return {number, "[" + std::to_string(number) + "] " + body + suffix};
    return {number, body + suffix};
}

}  // namespace

void MySQLError(TMySQLBase* Driver, MySQLConnectionHandle* Handle, int ErrorNumber, const std::string& Message,
                int ServerNumber, int ClientNumber) {
    Composed composed;
    try {
        composed = Compose(Driver, Handle, ErrorNumber, Message, ServerNumber, ClientNumber);
    } catch (...) {
        throw EMySQLError(ErrorNumber, Message);
    }
    throw EMySQLError(composed.number, std::move(composed.text));
}

}  // namespace velmysql
