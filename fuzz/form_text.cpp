// Fuzzes the form reader with the classes a form of this library can hold: the server
// with its driver sub-object, the data source and the field classes. A form file is
// input like any other: whatever its bytes, reading either builds the components or
// raises the library's exception, never anything else and never a crash. A form that
// reads is written, and the written form must read back and write the same text again.
//
// Inputs that mention "connected" are skipped: a stored Connected = True connects when
// the form is loaded (and would start the embedded server inside the fuzzer).

#include <algorithm>
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

#include "velmysql/db/db_register.h"
#include "velmysql/rtl/exception.h"
#include "velmysql/rtl/formstream.h"
#include "velmysql/rtl/typinfo.h"
#include "velmysql/server/mysql_server.h"

using namespace velmysql;

namespace {

// The written text of a form, or empty when it does not read.
std::string Reread(const std::string& text, bool mustRead) {
    try {
        std::unique_ptr<TComponent> root = ReadComponentText(text);
        return WriteComponentText(*root);
    } catch (const Exception&) {
        if (mustRead) std::abort();  // a written form that does not read back
        return {};
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    RegisterDataAccessClasses();
    RegisterClass<TMySQLServer>();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);
    std::string lower = text;
    std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
    if (lower.find("connected") != std::string::npos) return 0;

    const std::string written = Reread(text, false);
    if (written.empty()) return 0;
    if (Reread(written, true) != written) std::abort();  // writing is not stable
    return 0;
}
