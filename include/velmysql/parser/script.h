#pragma once
// Whole scripts: splitting into one line per statement, and naming the kind of
// statement a script holds. Both read the script as the list's text (lines joined by
// carriage return and line feed) and never raise.

#include <string>

#include "velmysql/parser/basic_parser.h"
#include "velmysql/rtl/strings.h"

namespace velmysql {

// Gives a parser the markers both routines use: the operators of MySQL (longer ones
// first), hex prefix "0x", line comments "-- " and "#", block comments "/*" "*/",
// brackets "[" "]" and the parameter prefix ":".
void ConfigureScriptParser(TBasicParser& parser);

// Replaces the lines by the script's statements, one per line, each with its closing
// ";" and with comments removed; with whole set, by the entire text as one line.
void ParseScript(TStrings& lines, bool whole);

// "NONE", "SELECT", "DELETE", "INSERT", "REPLACE", "LOAD", "UPDATE" or "SCRIPT": the
// first statement that begins with a word decides; a later one that begins with a word
// makes it "SCRIPT"; "SET", "CREATE" and "DROP" are "SCRIPT" at once.
std::string GetScriptType(const TStrings& lines);

}  // namespace velmysql
