#pragma once
// Tokens of the SQL tokenizer: the kind numbers, the record describing one token, and
// the three positions of the region around a character offset.

#include <cstdint>
#include <string>

namespace velmysql {

// A token kind is one byte. The named kinds below have fixed numbers that callers
// store and compare; any other value is the code of a single character that matched
// nothing else (a "(" is kind 40). Codes 1 to 32 never occur as single characters
// because they are blanks, so they cannot be confused with the named kinds.
using TTokenKind = uint8_t;

constexpr TTokenKind ttEnd = 0;            // end of the text
constexpr TTokenKind ttSymbol = 1;         // identifier or backquoted name
constexpr TTokenKind ttString = 2;         // quoted text, quotes included
constexpr TTokenKind ttInteger = 3;        // run of decimal digits
constexpr TTokenKind ttFloat = 4;          // number with fraction or exponent
constexpr TTokenKind ttWideString = 5;     // never produced; checked like ttString
constexpr TTokenKind ttHex = 6;            // hexadecimal number after the hex prefix
constexpr TTokenKind ttOperator = 7;       // entry of the symbol list
constexpr TTokenKind ttLineComment = 8;    // line comment
constexpr TTokenKind ttBlockComment = 9;   // block comment
constexpr TTokenKind ttLineBreak = 10;     // line feed read as a token; its text is " "
constexpr TTokenKind ttCommentEnd = 11;    // block-comment end marker outside a comment
constexpr TTokenKind ttDelimiter = 12;     // ";"
constexpr TTokenKind ttBracket = 13;       // bracketed region, or a lone close marker
constexpr TTokenKind ttParameter = 14;     // parameter prefix followed by a name
constexpr TTokenKind ttNone = 99;          // nothing read since the last restart ('c')

// One token: where it starts, its characters and its kind.
class TTokenProps {
public:
    int32_t Position = 0;  // zero-based offset of the first character in the text
    std::string Text;
    TTokenKind Kind = ttNone;

    void Assign(const TTokenProps& other) {
        Position = other.Position;
        Text = other.Text;
        Kind = other.Kind;
    }
};

// The three tokens filled by TBasicParser::TokenAtPosition.
enum class TTokenPosition { tpPrevious, tpCurrent, tpNext };
using TTokenPosition::tpCurrent;
using TTokenPosition::tpNext;
using TTokenPosition::tpPrevious;

}  // namespace velmysql
