// What a user of the installed library writes first: it splits a script with the parser
// and connects a TMySQLServer to a loopback port where no server listens, so that the
// wire client runs and the library's own exception type crosses into the program.
// Prints "consumer ok" and exits 0 only when both behave.
#include <iostream>
#include <string>

#include "velmysql/drivers/mysql_error.h"
#include "velmysql/parser/script.h"
#include "velmysql/rtl/strings.h"
#include "velmysql/server/mysql_server.h"

int main() {
    using namespace velmysql;
    TStringList script;
    script.SetText("select 1;\r\n-- a comment\r\nupdate t set a = ';';\r\n");
    const std::string type = GetScriptType(script);
    ParseScript(script, false);
    std::cout << "script: " << type << ", " << script.Count() << " statements\n";
    if (type != "SCRIPT" || script.Count() != 2) return 1;

    TMySQLServer server(nullptr);
    server.SetHost("127.0.0.1");
    server.SetPort(1);
    try {
        server.Connect();
        std::cout << "connected to port 1 unexpectedly\n";
        return 1;
    } catch (const EMySQLError& e) {
        std::cout << "connect: error " << e.ErrorCode() << ": " << e.what() << "\n";
        if (e.ErrorCode() != 2003) return 1;
    }
    std::cout << "consumer ok\n";
    return 0;
}
