#pragma once
// Text helpers the dataset sources share (private to the dataset area).

#include <cctype>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "velmysql/rtl/strings.h"

namespace velmysql::datasettext {

// The members of an enum or set column ("a","b" as the catalogue gives them), without
// their quotes.
inline std::vector<std::string> EnumMembers(const std::string& enumValues) {
    std::vector<std::string> members;
    if (enumValues.empty()) return members;
    TStringList list;
    list.SetCommaText(enumValues);
    for (int i = 0; i < list.Count(); ++i) members.push_back(list.Line(i));
    return members;
}

// ASCII upper case, as names and edit texts are compared.
inline std::string Upper(std::string text) {
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

// A BIT value is kept as its bytes, most significant first.
inline uint64_t BitValue(std::string_view bytes) {
    uint64_t value = 0;
    for (unsigned char c : bytes) value = (value << 8) | c;
    return value;
}

// Calls Visit for each name of a list separated by "," or ";" (empty names skipped).
template <class F>
void ForEachName(std::string_view names, F&& Visit) {
    std::size_t i = 0;
    while (i < names.size()) {
        const std::size_t end = names.find_first_of(",;", i);
        const std::size_t stop = end == std::string_view::npos ? names.size() : end;
        if (stop > i) Visit(std::string(names.substr(i, stop - i)));
        i = stop + 1;
    }
}

}  // namespace velmysql::datasettext
