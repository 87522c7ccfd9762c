#pragma once
// Reserved words and the quoting of identifiers with backquotes.

#include <string>
#include <string_view>

namespace velmysql {

// The reserved-word text: the words in upper case, joined by commas, with one comma before
// the first and one after the last.
const std::string& MySQLReservedWordText();

// True when "," + word + "," (in upper case) occurs in the reserved-word text. A text that
// spans two neighbouring words, such as "add,all", counts as well.
bool IsMySQLReservedWord(std::string_view word);

// True for a name that is a complete backquoted identifier: at least two characters, a
// backquote at both ends, and every backquote in between doubled.
bool IsEnclosedIdentifier(std::string_view name);

// True when the name needs backquotes: it is a reserved word, starts with a digit, or holds
// a character other than '$', digits, ASCII letters and '_'. The empty name and a name that
// is already enclosed need none.
bool NeedsIdentifierQuotes(std::string_view name);

// The name ready to be placed in a statement. An enclosed name or one that needs no quotes
// comes back unchanged; a name without a dot outside backquotes is enclosed, its inner
// backquotes doubled; a dotted name has each of its parts formatted on its own (empty parts
// vanish, so "a..b" gives "a.b").
std::string FormatMySQLIdentifier(std::string_view name);

}  // namespace velmysql
