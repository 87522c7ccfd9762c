#include "velmysql/db/db_error.h"

#include <cstring>

#include "velmysql/rtl/component.h"

namespace velmysql {

void DatabaseError(const std::string& Message, const TComponent* Component) {
    if (Component != nullptr && !Component->Name().empty())
        throw EDatabaseError(Component->Name() + ": " + Message);
    throw EDatabaseError(Message);
}

std::string DbFormat(const char* Format, std::initializer_list<std::string> Args) {
    std::string out;
    auto arg = Args.begin();
    for (const char* p = Format; *p != '\0'; ++p) {
        if (p[0] == '%' && p[1] == 's') {
            if (arg != Args.end()) out += *arg++;
            ++p;
        } else {
            out += *p;
        }
    }
    return out;
}

}  // namespace velmysql
