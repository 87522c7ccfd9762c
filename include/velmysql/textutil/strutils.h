#pragma once
// String helpers shared by the library and offered to applications: word and field
// extraction from delimited text, trimming and replacing characters, a comma-list
// reader. Texts are byte strings; positions count from 1; where letter case is ignored
// only the ASCII letters are folded. A "character set" argument is a text whose
// characters form the set (order and repeats do not matter).

#include <cstdint>
#include <memory>
#include <string>

#include "velmysql/rtl/strings.h"

namespace velmysql {

// A when cond holds, else B.
std::string IFStr(bool cond, const std::string& a, const std::string& b);

// S with "0" in front up to width W when shorter, else the first W characters of S;
// W of 0 or less gives the empty text.
std::string ZeroFilled(const std::string& s, int width);

// Reads a comma list: blanks and control characters before and after items are
// skipped; an item is a double-quoted text (doubled quotes stand for one, an unclosed
// quote takes the rest) or the text up to the next control character or comma, inner
// and trailing blanks included. A trailing comma adds no empty item. Reading stops at a
// NUL. The caller owns the new list.
std::unique_ptr<TStringList> VelCommaText(const std::string& s);

// Characters of the set removed from the start, the end, both ends (start first), or
// everywhere.
std::string PreStrClean(const std::string& s, const std::string& chars);
std::string PostStrClean(const std::string& s, const std::string& chars);
std::string PrePostStrClean(const std::string& s, const std::string& chars);
std::string InStrClean(const std::string& s, const std::string& chars);

// Field N of S (empty fields count; N of 0 is field 1; beyond the last gives the last),
// trimmed of the characters in trimChars at both ends. Each step past a field drops the
// text up to and including the first character of the delimiter, so with a delimiter of
// several characters its remaining characters stay in front of the next field.
std::string FieldInStr(uint8_t n, const std::string& s, const std::string& delim, const std::string& trimChars);

// The N-th maximal run of characters not in seps, counted from 1; separators at either
// end or in a row make no empty words. No such word, or N = 0: the empty text.
std::string WordInStr(uint8_t n, const std::string& s, const std::string& seps);

// Replaces the N-th word of S (as WordInStr counts) in place, keeping the separators
// around it. When S has fewer than N words, newWord is inserted before the character at
// position N (appended when S is shorter). N = 0 leaves S unchanged.
void ChangeWordInStr(uint8_t n, std::string& s, const std::string& newWord, const std::string& seps);

// Each character of S found in the set becomes a blank.
std::string OneStr(const std::string& s, const std::string& chars);

// Each character of S found in the set is replaced by repl (deleted when repl is
// empty). Only the characters of the original text are examined, so a replacement
// holding characters of the set is inserted as it is.
std::string ReplaceSubStr(const std::string& s, const std::string& chars, const std::string& repl);

// Ignoring letter case, how many times the first occurrence of sub can be removed from
// S, searching again from the front after each removal ('aabb' holds 'ab' twice).
// Empty S or sub: 0.
int CountSubStr(const std::string& s, const std::string& sub);

// Field N (from 1; below 1 counts as 1) of S split at the text sep, empty fields
// counting. Empty S or sep, N above 1 without any sep in S, or N past the last field:
// the empty text.
std::string GetWord(const std::string& s, const std::string& sep, int n);
std::string GetStrWord(int n, const std::string& s, const std::string& sep);

// The first N fields of S with the separators between them; fewer fields than N give
// all of S. Empty S or sep, or N below 1: the empty text; N above 1 without any sep in
// S: S.
std::string GetPrefixWord(int n, const std::string& s, const std::string& sep);

// Non-empty and only "+", "-" and digits (the order is not examined: '1-2' passes);
// IsValidFloat also allows ".".
bool IsValidInt(const std::string& s);
bool IsValidFloat(const std::string& s);

}  // namespace velmysql
