#include "velmysql/parser/basic_parser.h"

#include <algorithm>
#include <cstring>
#include <initializer_list>

#include "velmysql/rtl/floattext.h"

namespace velmysql {

namespace {

// Character classes as 256-entry tables indexed by the unsigned byte, so that bytes
// 128 to 255 fall into no class and cost no branch on signedness.
enum : uint8_t {
    kDigit = 1,
    kHex = 2,
    kIdentStart = 4,  // $ & A-Z _ a-z |
    kIdent = 8,       // the start characters and 0-9
    kName = 16,       // A-Z a-z 0-9 _ (parameter names)
    kFloatBody = 32,  // + - . 0-9 E e
};

struct CharTable {
    uint8_t bits[256] = {};
    constexpr CharTable() {
        for (int c = 0; c < 256; ++c) {
            const bool digit = c >= '0' && c <= '9';
            const bool upper = c >= 'A' && c <= 'Z';
            const bool lower = c >= 'a' && c <= 'z';
            uint8_t b = 0;
            if (digit) b |= kDigit | kIdent | kName | kFloatBody;
            if (digit || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f')) b |= kHex;
            if (upper || lower || c == '_' || c == '$' || c == '&' || c == '|') b |= kIdentStart | kIdent;
            if (upper || lower || c == '_') b |= kName;
            if (c == '+' || c == '-' || c == '.' || c == 'E' || c == 'e') b |= kFloatBody;
            bits[c] = b;
        }
    }
};
constexpr CharTable kChars;

inline bool Has(unsigned char c, uint8_t cls) { return (kChars.bits[c] & cls) != 0; }

unsigned char FoldAscii(unsigned char c) { return (c >= 'A' && c <= 'Z') ? c + ('a' - 'A') : c; }

}  // namespace

TBasicParser::TBasicParser(std::string_view text) {
    for (TStringList* list : {&symbols_, &lineComments_, &commentBegins_, &commentEnds_,
                              &bracketBegins_, &bracketEnds_, &paramPrefixes_})
        WatchList(*list);
    Restart(text);
}

TBasicParser::~TBasicParser() = default;

void TBasicParser::WatchList(TStringList& list) {
    // Both events: OnChanging fires when an update bracket opens, so a change made
    // inside the bracket is noticed even before the bracket closes.
    auto dirty = [this](TStrings&) { markersDirty_ = true; };
    list.SetOnChanging(dirty);
    list.SetOnChange(dirty);
}

void TBasicParser::SetHexPrefix(const std::string& prefix) {
    hexPrefix_ = prefix;
    markersDirty_ = true;
}

void TBasicParser::CompileMarkers() {
    auto copy = [](const TStringList& from, std::vector<std::string>& to) {
        to.clear();
        for (int i = 0; i < from.Count(); ++i) to.push_back(from.Line(i));
    };
    copy(symbols_, markers_.symbols);
    copy(lineComments_, markers_.lineComments);
    copy(commentBegins_, markers_.commentBegins);
    copy(commentEnds_, markers_.commentEnds);
    copy(bracketBegins_, markers_.bracketBegins);
    copy(bracketEnds_, markers_.bracketEnds);
    copy(paramPrefixes_, markers_.paramPrefixes);
    markers_.hexPrefix = hexPrefix_;
    // Grouped by first byte with a stable sort, so that each group keeps the scan order.
    using Candidate = Markers::Candidate;
    std::vector<Candidate>& cands = markers_.candidates;
    cands.clear();
    auto add = [&cands](const std::vector<std::string>& list, Markers::Step step) {
        for (std::size_t i = 0; i < list.size(); ++i)
            if (!list[i].empty()) cands.push_back(Candidate{&list[i], i, step});
    };
    if (!markers_.hexPrefix.empty()) cands.push_back(Candidate{&markers_.hexPrefix, 0, Markers::sHex});
    add(markers_.lineComments, Markers::sLineComment);
    add(markers_.commentBegins, Markers::sCommentBegin);
    // The end lists too: a comment end or bracket close met alone is a token.
    add(markers_.commentEnds, Markers::sCommentEnd);
    add(markers_.bracketBegins, Markers::sBracketBegin);
    add(markers_.bracketEnds, Markers::sBracketEnd);
    add(markers_.paramPrefixes, Markers::sParam);
    add(markers_.symbols, Markers::sSymbol);
    auto firstByte = [](const Candidate& c) { return static_cast<unsigned char>((*c.marker)[0]); };
    std::stable_sort(cands.begin(), cands.end(),
                     [&](const Candidate& a, const Candidate& b) { return firstByte(a) < firstByte(b); });
    std::size_t k = 0;
    for (unsigned c = 0; c < 256; ++c) {
        markers_.first[c] = static_cast<uint32_t>(k);
        while (k < cands.size() && firstByte(cands[k]) == c) ++k;
    }
    markers_.first[256] = static_cast<uint32_t>(k);
    markersDirty_ = false;
}

void TBasicParser::Restart(std::string_view text) {
    text_ = text.data();
    len_ = text.size();
    if (len_ != 0) {
        if (const void* nul = std::memchr(text_, 0, len_))
            len_ = static_cast<std::size_t>(static_cast<const char*>(nul) - text_);
    }
    pos_ = tokenStart_ = stringEnd_ = 0;
    line_ = 0;
    floatSuffix_ = 0;
    token_.Position = 0;
    token_.Text.clear();
    token_.Kind = ttNone;
}

void TBasicParser::SkipBlanks(bool skipLineBreaks) { SkipBlankRun(skipLineBreaks); }

const TTokenProps& TBasicParser::NextToken(bool skipLineBreaks) {
    NextTokenKind(skipLineBreaks);
    const std::string_view text = TokenView();
    token_.Text.assign(text.data(), text.size());
    return token_;
}

TTokenKind TBasicParser::NextTokenKind(bool skipLineBreaks) {
    if (markersDirty_) CompileMarkers();
    SkipBlankRun(skipLineBreaks);
    tokenStart_ = pos_;
    const TTokenKind kind = ScanToken(skipLineBreaks);
    token_.Kind = kind;
    token_.Position = static_cast<int32_t>(tokenStart_);
    token_.Text.clear();
    return kind;
}

// Steps of one token, in their order of precedence. pos_ is at the token start and
// below len_ unless the text is exhausted.
TTokenKind TBasicParser::ScanToken(bool skipLineBreaks) {
    if (pos_ >= len_) return ttEnd;
    const unsigned char c = static_cast<unsigned char>(text_[pos_]);
    if (c == '\n' && !skipLineBreaks) {
        ++pos_;
        return ttLineBreak;
    }
    if (c == ';') {
        ++pos_;
        return ttDelimiter;
    }
    TTokenKind kind;
    if (markers_.first[c] != markers_.first[c + 1] && ScanMarkers(c, kind)) return kind;

    std::size_t p = pos_;
    if (c == '\'' || c == '"') {
        ScanString(c);
        return ttString;
    }
    if (Has(c, kIdentStart)) {
        ++p;
        while (p < len_ && Has(static_cast<unsigned char>(text_[p]), kIdent)) ++p;
        pos_ = p;
        return ttSymbol;
    }
    if (Has(c, kDigit)) {
        ++p;
        while (p < len_ && Has(static_cast<unsigned char>(text_[p]), kDigit)) ++p;
        kind = ttInteger;
        if (p < len_ && (text_[p] == '.' || text_[p] == 'E' || text_[p] == 'e')) {
            // The exponent's sign is taken once; a second sign is the next token.
            int signs = 0;
            while (p < len_) {
                const unsigned char d = static_cast<unsigned char>(text_[p]);
                if (!Has(d, kFloatBody)) break;
                if ((d == '+' || d == '-') && ++signs > 1) break;
                ++p;
            }
            kind = ttFloat;
            floatSuffix_ = 0;
            if (p < len_) {
                const char s = text_[p];
                if (s == 'C' || s == 'D' || s == 'S' || s == 'c' || s == 'd' || s == 's') {
                    floatSuffix_ = s;
                    ++p;
                }
            }
        }
        pos_ = p;
        return kind;
    }
    if (c == '`') {
        const void* close = std::memchr(text_ + p + 1, '`', len_ - p - 1);
        pos_ = close ? static_cast<std::size_t>(static_cast<const char*>(close) - text_) + 1 : len_;
        stringEnd_ = pos_;
        return ttSymbol;
    }
    ++pos_;
    return c;
}

// Steps 4 to 11: the hex prefix, comments, brackets, parameters and operators. Only the
// markers that begin with the byte c at the position are tried, in the scan order.
bool TBasicParser::ScanMarkers(unsigned char c, TTokenKind& kind) {
    const Markers& m = markers_;
    const std::size_t start = pos_;
    for (uint32_t k = m.first[c]; k < m.first[c + 1]; ++k) {
        const Markers::Candidate& cand = m.candidates[k];
        const std::string& marker = *cand.marker;
        if (marker.size() > len_ - start ||
            (marker.size() > 1 && std::memcmp(text_ + start + 1, marker.data() + 1, marker.size() - 1) != 0))
            continue;
        std::size_t p = start + marker.size();
        switch (cand.step) {
        case Markers::sHex:
            while (p < len_ && Has(static_cast<unsigned char>(text_[p]), kHex)) ++p;
            kind = ttHex;
            break;
        case Markers::sLineComment:
            // The marker is always taken whole, so a marker holding a line break still
            // moves the position.
            while (p < len_ && text_[p] != '\n' && text_[p] != '\r') ++p;
            kind = ttLineComment;
            break;
        case Markers::sCommentBegin: {
            // A start marker without a paired end marker runs to the end of the text.
            const std::string* close = cand.index < m.commentEnds.size() ? &m.commentEnds[cand.index] : nullptr;
            std::size_t found = std::string_view::npos;
            if (close && !close->empty()) found = std::string_view(text_ + p, len_ - p).find(*close);
            p = found == std::string_view::npos ? len_ : p + found + close->size();
            kind = ttBlockComment;
            break;
        }
        case Markers::sCommentEnd:
            kind = ttCommentEnd;
            break;
        case Markers::sBracketBegin: {
            static const std::string none;
            const std::string& close = cand.index < m.bracketEnds.size() ? m.bracketEnds[cand.index] : none;
            while (p < len_) {
                if (MatchAt(p, close)) {
                    p += close.size();
                    break;
                }
                const char d = text_[p];
                if (d == '\n' || d == '\r' || d == ' ') break;
                ++p;
            }
            kind = ttBracket;
            break;
        }
        case Markers::sBracketEnd:
            kind = ttBracket;
            break;
        case Markers::sParam:
            // A prefix without a name after it does not apply; the next marker is tried.
            if (p >= len_ || !Has(static_cast<unsigned char>(text_[p]), kName)) continue;
            while (p < len_ && Has(static_cast<unsigned char>(text_[p]), kName)) ++p;
            kind = ttParameter;
            break;
        case Markers::sSymbol:
            kind = ttOperator;
            break;
        }
        pos_ = p;
        return true;
    }
    return false;
}

// A string runs to the same quote character. A quote preceded by an odd number of
// backslashes belongs to the string; an unterminated string ends before the line feed
// or carriage return, or at the end of the text.
void TBasicParser::ScanString(unsigned char quote) {
    std::size_t p = pos_ + 1;
    bool closed = false;
    while (p < len_) {
        const unsigned char c = static_cast<unsigned char>(text_[p]);
        if (c == '\n' || c == '\r') break;
        if (c == '\\' && text_[p - 1] == '\\') {
            // The second of two backslashes: the character after it is taken as it is,
            // and it closes the string when it is the quote.
            ++p;
            if (p >= len_) break;
            if (static_cast<unsigned char>(text_[p]) == quote) {
                closed = true;
                break;
            }
            ++p;
            continue;
        }
        if (c == quote && text_[p - 1] != '\\') {
            closed = true;
            break;
        }
        ++p;
    }
    if (closed) ++p;
    pos_ = p;
    stringEnd_ = p;
}

int64_t TBasicParser::TokenInt() const {
    const std::string s = TokenString();
    int64_t value = 0;
    if (!TryStrToInt64(s, value)) throw EConvertError("'" + s + "' is not a valid integer value");
    return value;
}

double TBasicParser::TokenFloat() const {
    std::string_view s = TokenView();
    // Only a float token carries its own suffix; an integer read after "1.5d" keeps
    // all its digits.
    if (token_.Kind == ttFloat && floatSuffix_ != 0 && !s.empty() && s.back() == floatSuffix_)
        s.remove_suffix(1);
    // SQL spells numbers with "." whatever the user's decimal separator is.
    static const TFormatSettings kSqlNumbers;
    return StrToFloat(std::string(s), kSqlNumbers);
}

bool TBasicParser::TokenSymbolIs(std::string_view s) const {
    if (token_.Kind != ttSymbol) return false;
    const std::string_view t = TokenView();
    if (t.size() != s.size()) return false;
    for (std::size_t i = 0; i < t.size(); ++i)
        if (FoldAscii(static_cast<unsigned char>(t[i])) != FoldAscii(static_cast<unsigned char>(s[i])))
            return false;
    return true;
}

void TBasicParser::CheckToken(TTokenKind kind) {
    if (token_.Kind == kind) return;
    switch (kind) {
    case ttSymbol:
        Error("Identifier expected");
    case ttString:
    case ttWideString:
        Error("String expected");
    case ttInteger:
    case ttFloat:
        Error("Number expected");
    default:
        ErrorFmt("''%s'' expected", static_cast<char>(kind));
    }
}

void TBasicParser::CheckTokenSymbol(const std::string& s) {
    if (!TokenSymbolIs(s)) ErrorFmt("%s expected", s);
}

void TBasicParser::Error(const std::string& message) { ErrorStr(message); }

void TBasicParser::ErrorStr(const std::string& message) {
    throw EBasicParserError(FormatText("%s on line %d", {message, line_ + 1}));
}

std::string TBasicParser::FormatText(const std::string& format, std::initializer_list<FormatArg> args) {
    std::string out;
    auto next = args.begin();
    for (std::size_t i = 0; i < format.size(); ++i) {
        if (format[i] != '%') {
            out += format[i];
            continue;
        }
        const char spec = i + 1 < format.size() ? format[i + 1] : '\0';
        if (spec == '%') {
            out += '%';
            ++i;
            continue;
        }
        if ((spec != 's' && spec != 'd') || next == args.end() || (spec == 'd' && !next->isNumber))
            throw EConvertError("Format '" + format + "' invalid or incompatible with argument");
        out += next->text;
        ++next;
        ++i;
    }
    return out;
}

void TBasicParser::TokenAtPosition(int32_t offset) {
    for (TTokenProps& t : region_) {
        t.Position = 0;
        t.Kind = ttNone;
        t.Text.clear();
    }
    while (offset >= SourcePos()) {
        region_[0].Assign(token_);
        NextToken(true);
        region_[1].Assign(token_);
        const int64_t start = SourcePos();
        if (start == offset) break;
        if (start < offset && start + static_cast<int64_t>(TokenView().size()) >= offset) break;
        if (token_.Kind == ttEnd) break;
    }
    if (token_.Kind != ttEnd) {
        NextToken(true);
        region_[2].Assign(token_);
    }
}

const TTokenProps& TBasicParser::GetTokenInRegion(TTokenPosition position) const {
    return region_[static_cast<int>(position)];
}

}  // namespace velmysql
