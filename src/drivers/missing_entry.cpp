#include "velmysql/drivers/missing_entry.h"

#include "velmysql/rtl/exception.h"

namespace velmysql {

const std::string& MissingEntryText() {
    static const std::string text =
        std::string("This MySQL API call is not implemented in the library you are using.  "
                    "Please update your library or contact Velcraft, ") +
        kVelmysqlHomePage + ".";
    return text;
}

void RaiseMissingEntry() { throw Exception(MissingEntryText()); }

}  // namespace velmysql
