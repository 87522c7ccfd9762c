// Fuzzes the INI-text routines that hold the server's Params. The input is
// "section NUL key NUL value NUL text". Whatever the text, reading and writing end and
// never read outside it; and what is written reads back: after WriteIniString the key
// reads as the value (line breaks written as blanks), writing it again changes nothing,
// and after EraseIniSection the section is gone.
//
// Names that the format cannot hold are left out of the read-back: a section or key
// with a line break (written as a blank, so the name given no longer matches), a key with
// "=" (its line has a shorter name), a key starting with ";" (a comment) or "[" (a
// section line); and an empty value, which removes the line.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "velmysql/rtl/exception.h"
#include "velmysql/textutil/inistrings.h"

using namespace velmysql;

namespace {

void Require(bool ok) {
    if (!ok) std::abort();
}

// A default no value can equal: values never hold a NUL here (the input splits at them).
const std::string kAbsent("\0absent", 7);

std::string Blanked(std::string s) {
    std::replace(s.begin(), s.end(), '\r', ' ');
    std::replace(s.begin(), s.end(), '\n', ' ');
    return s;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    std::string part[4];
    size_t from = 0;
    for (int i = 0; i < 3; ++i) {
        const size_t nul = input.find('\0', from);
        if (nul == std::string::npos) return 0;
        part[i] = input.substr(from, nul - from);
        from = nul + 1;
    }
    part[3] = input.substr(from);
    const std::string& section = part[0];
    const std::string& key = part[1];
    const std::string& value = part[2];
    const std::string& text = part[3];

    // Reading anything ends; the typed readers raise only the library's exception.
    ReadIniString(text, section, key, "");
    ReadIniSection(text, section, "");
    ReadIniInteger(text, section, key, 0);
    ReadIniBoolean(text, section, key, false);
    try {
        ReadIniFloat(text, section, key, 0.0);
    } catch (const Exception&) {
    }

    if (Blanked(section) != section || Blanked(key) != key || key.find('=') != std::string::npos ||
        (!key.empty() && (key[0] == ';' || key[0] == '[')) || value.empty())
        return 0;
    const std::string written = WriteIniString(text, section, key, value);
    Require(ReadIniString(written, section, key, kAbsent) == Blanked(value));
    Require(WriteIniString(written, section, key, value) == written);
    const std::string erased = EraseIniSection(written, section);
    Require(ReadIniSection(erased, section, kAbsent) == kAbsent);
    return 0;
}
