#include "velmysql/server/login_dialog.h"

#include <cctype>

#include "velmysql/rtl/dialogs.h"

namespace velmysql {

namespace {

// The form's fields in tab order with their labels, initial texts and limits.
TLoginPrompt LoginForm() {
    TLoginPrompt prompt;
    prompt.Caption = "Database Login";
    prompt.Fields.push_back({"DatabaseName", "Server:", "localhost", false, true, 0});
    prompt.Fields.push_back({"Port", "Port:", "3306", false, true, 5});
    prompt.Fields.push_back({"UserName", "&User Name:", "", false, true, 31});
    prompt.Fields.push_back({"Password", "&Password:", "", true, true, 31});
    return prompt;
}

std::string FieldValue(const TLoginPrompt& prompt, const char* name) {
    const TLoginField* field = prompt.Field(name);
    return field ? field->Value : std::string();
}

// The port edit accepts digits only, at most five of them.
std::string PortText(const std::string& entered) {
    std::string digits;
    for (char c : entered) {
        if (std::isdigit(static_cast<unsigned char>(c)) && digits.size() < 5) digits += c;
    }
    return digits;
}

void SetField(TLoginPrompt& prompt, const char* name, const std::string& value) {
    if (TLoginField* field = prompt.Field(name)) field->Value = value;
}

}  // namespace

bool MySQLLoginDialog(std::string& Host, std::string& Port, std::string& UserName, std::string& Password) {
    TLoginPrompt prompt = LoginForm();
    SetField(prompt, "DatabaseName", Host);
    SetField(prompt, "Port", Port);
    SetField(prompt, "UserName", UserName);
    if (!Dialogs().LoginPrompt(prompt)) return false;
    Host = FieldValue(prompt, "DatabaseName");
    Port = PortText(FieldValue(prompt, "Port"));
    UserName = FieldValue(prompt, "UserName");
    Password = FieldValue(prompt, "Password");
    return true;
}

bool LoginDialogEx(const std::string& Host, std::string& UserName, std::string& Password, bool NameReadOnly) {
    (void)NameReadOnly;
    TLoginPrompt prompt = LoginForm();
    SetField(prompt, "DatabaseName", Host);
    SetField(prompt, "UserName", UserName);
    if (!Dialogs().LoginPrompt(prompt)) return false;
    UserName = FieldValue(prompt, "UserName");
    Password = FieldValue(prompt, "Password");
    return true;
}

bool RemoteLoginDialog(std::string& UserName, std::string& Password) {
    TLoginPrompt prompt = LoginForm();
    prompt.Caption = "Remote Login";
    if (TLoginField* host = prompt.Field("DatabaseName")) host->Visible = false;
    SetField(prompt, "UserName", UserName);
    if (!Dialogs().LoginPrompt(prompt)) return false;
    UserName = FieldValue(prompt, "UserName");
    Password = FieldValue(prompt, "Password");
    return true;
}

}  // namespace velmysql
