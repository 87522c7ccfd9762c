#pragma once
// The operation an entry of the C-API operation table refers to when the loaded library
// lacks that entry point: calling it raises the framework's plain Exception.

#include <string>

namespace velmysql {

// The project's home page, named in texts that send the user to the maker.
inline constexpr const char* kVelmysqlHomePage = "https://velcraft.com/velmysql";

// "This MySQL API call is not implemented in the library you are using. ..."
const std::string& MissingEntryText();

[[noreturn]] void RaiseMissingEntry();

// One instance per entry signature, so that any entry of the table can refer to it.
template <class R, class... A>
R MissingEntry(A...) {
    RaiseMissingEntry();
}

}  // namespace velmysql
