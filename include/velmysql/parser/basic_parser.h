#pragma once
// TBasicParser cuts an SQL-like text into tokens. It knows no keywords: operators,
// comments, the hexadecimal prefix, bracketed regions and parameters are whatever the
// caller puts into its marker settings after construction.
//
// The parser reads the text in place: the caller keeps it alive and unchanged while the
// parser is used. The text ends at its first NUL byte or at the end of the given view,
// whichever comes first, and no scan ever reads beyond that end.

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "velmysql/parser/token.h"
#include "velmysql/rtl/exception.h"
#include "velmysql/rtl/strings.h"

namespace velmysql {

class EBasicParserError : public Exception {
public:
    using Exception::Exception;
};

class TBasicParser {
public:
    explicit TBasicParser(std::string_view text);
    // A NUL-terminated text; a null pointer reads as the empty text.
    explicit TBasicParser(const char* text) : TBasicParser(text ? std::string_view(text) : std::string_view()) {}
    // The text is read in place, so a temporary string would be gone before the first token.
    explicit TBasicParser(std::string&&) = delete;
    ~TBasicParser();
    // The marker lists report their changes to this object, so it cannot be copied.
    TBasicParser(const TBasicParser&) = delete;
    TBasicParser& operator=(const TBasicParser&) = delete;

    // Reads the given text from its start with the same marker settings: line counter
    // 0, current token at position 0 with empty text and kind ttNone.
    void Restart(std::string_view text);
    void Restart(const char* text) { Restart(text ? std::string_view(text) : std::string_view()); }
    void Restart(std::string&&) = delete;

    // Reads the next token into the current token and answers it. With skipLineBreaks
    // false a line feed is a ttLineBreak token whose text is one blank.
    const TTokenProps& NextToken(bool skipLineBreaks);
    // Reads the next token as NextToken does but leaves the current token's Text empty,
    // for callers that take the characters from TokenView; answers the token's kind.
    TTokenKind NextTokenKind(bool skipLineBreaks);
    // Moves over the characters 1 to 32; a line feed only when skipLineBreaks is set
    // (counting it), otherwise the scan stops before it.
    void SkipBlanks(bool skipLineBreaks);

    // Start offset of the current token.
    int32_t SourcePos() const { return static_cast<int32_t>(tokenStart_); }
    // The reading position: the offset of the character right after the current token.
    std::size_t TokenEnd() const { return pos_; }
    // The current token's characters (" " for a line break).
    std::string TokenString() const { return std::string(TokenView()); }
    // The same characters without a copy; valid while the text is.
    std::string_view TokenView() const {
        if (token_.Kind == ttLineBreak) return " ";
        const std::size_t end = token_.Kind == ttString ? stringEnd_ : pos_;
        return std::string_view(text_ + tokenStart_, end - tokenStart_);
    }
    // TokenString as an integer; EConvertError when it is not one.
    int64_t TokenInt() const;
    // TokenString without the float suffix of a ttFloat token, as a number read with
    // "." as the decimal separator; EConvertError when it is not one.
    double TokenFloat() const;
    // The current token is a ttSymbol equal to s without regard to ASCII letter case.
    bool TokenSymbolIs(std::string_view s) const;
    // Raise EBasicParserError unless the current token has the kind / is the symbol.
    void CheckToken(TTokenKind kind);
    void CheckTokenSymbol(const std::string& s);

    // Raise EBasicParserError with "<message> on line <n>", n being the line counter + 1.
    [[noreturn]] void Error(const std::string& message);
    [[noreturn]] void ErrorStr(const std::string& message);
    // Formats with %s (text or number) and %d (whole number), %% for a percent sign,
    // then raises as ErrorStr.
    template <class... Args>
    [[noreturn]] void ErrorFmt(const std::string& format, const Args&... args) {
        ErrorStr(FormatText(format, {FormatArg(args)...}));
    }

    // Fills the region tokens around a character offset, reading on from the current
    // position (the parser is not restarted).
    void TokenAtPosition(int32_t offset);
    // One of the region tokens; owned by the parser.
    const TTokenProps& GetTokenInRegion(TTokenPosition position) const;

    // The current token; owned by the parser and updated in place by NextToken.
    const TTokenProps& Token() const { return token_; }
    // Line feeds skipped so far.
    int LineCounter() const { return line_; }
    // The type letter that ended the last floating-point token, or 0 for none.
    char FloatSuffix() const { return floatSuffix_; }

    // Marker settings, all empty after construction. A marker matches where the text
    // starts with its characters (letter case counts); an empty marker never matches.
    // Earlier entries win over later ones, so longer operators go first ("<>" before "<").
    TStrings& Symbols() { return symbols_; }
    // Prefix of hexadecimal numbers, such as "0x"; empty for none.
    const std::string& HexPrefix() const { return hexPrefix_; }
    void SetHexPrefix(const std::string& prefix);
    // A line comment runs from its marker to the next line feed or carriage return.
    TStrings& LineComments() { return lineComments_; }
    // Block comment i starts with CommentBegins()[i] and ends with CommentEnds()[i].
    TStrings& CommentBegins() { return commentBegins_; }
    TStrings& CommentEnds() { return commentEnds_; }
    // Bracketed region i starts with BracketBegins()[i] and ends with BracketEnds()[i]
    // or before the next blank, line feed or carriage return.
    TStrings& BracketBegins() { return bracketBegins_; }
    TStrings& BracketEnds() { return bracketEnds_; }
    // A parameter is one of these prefixes followed by letters, digits and "_".
    TStrings& ParamPrefixes() { return paramPrefixes_; }

private:
    // A format argument: text, or a whole number shown in decimal.
    struct FormatArg {
        FormatArg(const std::string& s) : text(s), isNumber(false) {}
        FormatArg(const char* s) : text(s), isNumber(false) {}
        FormatArg(char c) : text(1, c), isNumber(false) {}
        template <class T, class = std::enable_if_t<std::is_integral_v<T>>>
        FormatArg(T n) : text(std::to_string(n)), isNumber(true) {}
        std::string text;
        bool isNumber;
    };
    static std::string FormatText(const std::string& format, std::initializer_list<FormatArg> args);

    // The marker lists copied into plain vectors, rebuilt after a list changed, so that
    // scanning reads them without going through the list interface.
    struct Markers {
        std::vector<std::string> symbols, lineComments, commentBegins, commentEnds,
            bracketBegins, bracketEnds, paramPrefixes;
        std::string hexPrefix;
        // The non-empty markers grouped by their first byte, each group in the order
        // the scan tries them (hex prefix, line comments, comment starts, comment ends,
        // bracket opens, bracket closes, parameter prefixes, symbols; list order within
        // a list). Byte c's group is candidates[first[c]] up to candidates[first[c + 1]],
        // so a byte that starts no marker skips the marker checks altogether.
        enum Step : uint8_t { sHex, sLineComment, sCommentBegin, sCommentEnd, sBracketBegin, sBracketEnd, sParam, sSymbol };
        struct Candidate {
            const std::string* marker;  // into the vectors above
            std::size_t index;          // position in its list (pairs a start with its end)
            Step step;
        };
        std::vector<Candidate> candidates;
        uint32_t first[257] = {};
    };
    void CompileMarkers();
    void WatchList(TStringList& list);
    // Whether the text at p (below len_) starts with the marker. The first byte rejects
    // nearly every marker before the length and memcmp tests.
    bool MatchAt(std::size_t p, const std::string& marker) const {
        return !marker.empty() && text_[p] == marker[0] && marker.size() <= len_ - p &&
               (marker.size() == 1 || std::memcmp(text_ + p + 1, marker.data() + 1, marker.size() - 1) == 0);
    }
    // SkipBlanks, inline in the token loop.
    void SkipBlankRun(bool skipLineBreaks) {
        std::size_t p = pos_;
        while (p < len_) {
            const unsigned char c = static_cast<unsigned char>(text_[p]);
            if (c == '\n') {
                if (!skipLineBreaks) break;
                ++line_;
            } else if (c > 32) {
                break;
            }
            ++p;
        }
        pos_ = p;
    }
    TTokenKind ScanToken(bool skipLineBreaks);
    bool ScanMarkers(unsigned char c, TTokenKind& kind);
    void ScanString(unsigned char quote);

    const char* text_ = nullptr;
    std::size_t len_ = 0;
    std::size_t pos_ = 0;         // reading position
    std::size_t tokenStart_ = 0;  // start of the current token
    std::size_t stringEnd_ = 0;   // end of the last string token
    int line_ = 0;
    char floatSuffix_ = 0;

    TTokenProps token_;
    TTokenProps region_[3];

    TStringList symbols_, lineComments_, commentBegins_, commentEnds_, bracketBegins_,
        bracketEnds_, paramPrefixes_;
    std::string hexPrefix_;
    Markers markers_;
    bool markersDirty_ = false;
};

}  // namespace velmysql
