#pragma once
// Text helpers the dataset sources share (private to the dataset area).

#include <cctype>
#include <string>
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

}  // namespace velmysql::datasettext
