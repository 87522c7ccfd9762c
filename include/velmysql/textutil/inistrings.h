#pragma once
// INI text held in a string (never in a file): sections in square brackets with
// name=value lines.
//
// Reading: the text is split into lines at CR, LF or both. Empty lines and lines
// starting with ";" are ignored. A line starting with "[" opens a section, known by the
// whole line and compared with "[" + name + "]" without letter case; other lines belong
// to the section above them, and lines above the first section are ignored. A line's
// name is its text before the first "=" (a line without "=" has no name), its value the
// text after; names are compared without letter case and nothing is trimmed ('host = x'
// has the name 'host '). The first matching section and the first matching line count.
//
// Writing rebuilds the text from the sections in their order, each section line
// followed by its lines, every line ended by CR LF; blank lines, comments and lines
// above the first section are gone from the result. Line breaks inside a section name,
// key or value are written as blanks, since a break would split the line and corrupt
// the structure.

#include <cstdint>
#include <string>

#include "velmysql/rtl/datetime.h"
#include "velmysql/rtl/formatsettings.h"

namespace velmysql {

// The key's value; def when the section or the key is absent ('key=' reads as '').
std::string ReadIniString(const std::string& text, const std::string& section, const std::string& key,
                          const std::string& def);
// The section's lines, each followed by CR LF; def when the section is absent.
std::string ReadIniSection(const std::string& text, const std::string& section, const std::string& def);

// Sets key=value in the section (added at the end when absent). A non-empty value
// replaces the first line with that name, spelling the key as given; an empty value
// removes that line. Without such a line key=value is appended to the section, even
// with an empty value.
std::string WriteIniString(const std::string& text, const std::string& section, const std::string& key,
                           const std::string& value);
// The text without every section of that name; unchanged when there is none.
std::string EraseIniSection(const std::string& text, const std::string& section);

// Typed forms. Integers are decimal text; a value that is not a whole number reads as
// def. Booleans are written "True"/"False"; only the word True in any letter case reads
// as true. Floats and date-times use the general floating-point text with the decimal
// separator of the regional settings; a present value that is not a number raises
// EConvertError. An absent key reads as def throughout.
int32_t ReadIniInteger(const std::string& text, const std::string& section, const std::string& key, int32_t def);
bool ReadIniBoolean(const std::string& text, const std::string& section, const std::string& key, bool def);
double ReadIniFloat(const std::string& text, const std::string& section, const std::string& key, double def);
double ReadIniFloat(const std::string& text, const std::string& section, const std::string& key, double def,
                    const TFormatSettings& fs);
TDateTime ReadIniDateTime(const std::string& text, const std::string& section, const std::string& key,
                          TDateTime def);
TDateTime ReadIniDateTime(const std::string& text, const std::string& section, const std::string& key,
                          TDateTime def, const TFormatSettings& fs);

std::string WriteIniInteger(const std::string& text, const std::string& section, const std::string& key,
                            int32_t value);
std::string WriteIniBoolean(const std::string& text, const std::string& section, const std::string& key,
                            bool value);
std::string WriteIniFloat(const std::string& text, const std::string& section, const std::string& key,
                          double value);
std::string WriteIniFloat(const std::string& text, const std::string& section, const std::string& key,
                          double value, const TFormatSettings& fs);
std::string WriteIniDateTime(const std::string& text, const std::string& section, const std::string& key,
                             TDateTime value);
std::string WriteIniDateTime(const std::string& text, const std::string& section, const std::string& key,
                             TDateTime value, const TFormatSettings& fs);

}  // namespace velmysql
