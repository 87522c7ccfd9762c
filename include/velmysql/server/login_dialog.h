#pragma once
// The login dialogs: modal prompts for connection credentials over the dialog service's
// login prompt. The server component shows MySQLLoginDialog when its LoginPrompt flag is
// set; the other two are for applications.
//
// The prompt has four fields, found by these names in the dialog service: "DatabaseName"
// (the host, labelled "Server:"), "Port", "UserName" and "Password". Every dialog copies
// values back only when it closes with OK and answers true exactly then; a cancelled
// dialog leaves every variable as it was. The password is never pre-filled.

#include <string>

namespace velmysql {

// Shows all four fields, pre-filled with host, port and user name. On OK all four receive
// the entered texts; the port keeps only its digits, at most five.
bool MySQLLoginDialog(std::string& Host, std::string& Port, std::string& UserName, std::string& Password);

// Shows the host (not written back), the port "3306", the user name and the password. On OK
// only the user name and the password are written. NameReadOnly has no effect.
bool LoginDialogEx(const std::string& Host, std::string& UserName, std::string& Password, bool NameReadOnly);

// Caption "Remote Login", without the host field. On OK the user name and the password
// are written.
bool RemoteLoginDialog(std::string& UserName, std::string& Password);

}  // namespace velmysql
