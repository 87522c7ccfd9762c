// Fuzzes the tokenizer's raw token loop (with the script settings and with odd marker
// settings) and ParseScript. The input is copied into a buffer of its exact size with no
// NUL after it, so the sanitizer reports any read beyond the text. Checks: every token
// lies inside the text and moves the reading position, the loop ends, and the statements
// of ParseScript, joined back, hold every non-comment token's text in order.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "velmysql/parser/script.h"

using namespace velmysql;

namespace {

void Require(bool ok) {
    if (!ok) std::abort();
}

std::string_view TrimEnd(std::string_view s) {
    while (!s.empty() && static_cast<unsigned char>(s.back()) <= 32) s.remove_suffix(1);
    return s;
}

bool IsComment(TTokenKind k) { return k == ttLineComment || k == ttBlockComment || k == ttCommentEnd; }

// Marker texts the odd settings draw from: empty ones, line breaks, quotes, the
// delimiter, prefixes of one another, and long ones.
const char* const kPool[] = {"", "\n", "\r", "'", "\"", ";", "--", "-- ", "/*", "*/", "(*", "*)", "[", "]",
                             "{", "}", ":", "::", "?", "\\", "`", "x", "0x", "$", "<", "<<", "\xFF", "abc"};
constexpr std::size_t kPoolSize = sizeof kPool / sizeof kPool[0];

void FillList(TStrings& list, uint8_t selector, uint8_t count) {
    for (uint8_t i = 0; i < count % 4; ++i) list.Add(kPool[(selector + 7u * i) % kPoolSize]);
}

void TokenLoop(TBasicParser& parser, std::string_view text, bool skipLineBreaks) {
    std::size_t previousEnd = 0;
    std::size_t tokens = 0;
    for (;;) {
        const TTokenProps& t = parser.NextToken(skipLineBreaks);
        const std::size_t start = static_cast<std::size_t>(t.Position);
        Require(start >= previousEnd && start <= text.size());
        Require(parser.TokenEnd() <= text.size());
        if (t.Kind == ttEnd) {
            Require(t.Text.empty());
            break;
        }
        // Every token but the end consumes at least one character.
        Require(parser.TokenEnd() > start);
        if (t.Kind != ttLineBreak) Require(text.substr(start, t.Text.size()) == t.Text);
        if (t.Kind == ttInteger || t.Kind == ttFloat || t.Kind == ttHex) {
            try {
                (void)parser.TokenInt();
            } catch (const EConvertError&) {
            }
            try {
                (void)parser.TokenFloat();
            } catch (const EConvertError&) {
            }
        }
        previousEnd = parser.TokenEnd();
        Require(++tokens <= text.size());
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    if (size < 4) return 0;
    const uint8_t mode = data[0], a = data[1], b = data[2], c = data[3];
    std::vector<char> exact(data + 4, data + size);
    const std::string_view text(exact.data(), exact.size());
    // The text as the parser sees it: up to the first NUL.
    const std::string_view visible = text.substr(0, std::min(text.size(), text.find('\0')));

    TBasicParser parser(text);
    if (mode & 1) {
        ConfigureScriptParser(parser);
    } else {
        FillList(parser.Symbols(), a, b);
        parser.SetHexPrefix(kPool[c % kPoolSize]);
        FillList(parser.LineComments(), b, a >> 2);
        FillList(parser.CommentBegins(), c, a >> 4);
        FillList(parser.CommentEnds(), a, c >> 2);
        FillList(parser.BracketBegins(), b, c >> 4);
        FillList(parser.BracketEnds(), c, b >> 2);
        FillList(parser.ParamPrefixes(), a + b, b >> 4);
    }
    TokenLoop(parser, visible, (mode & 2) != 0);
    parser.Restart(text);
    parser.TokenAtPosition(static_cast<int32_t>((a << 8 | b) % (visible.size() + 2)));
    Require(parser.GetTokenInRegion(tpCurrent).Position <= static_cast<int32_t>(visible.size()));

    if (!(mode & 1)) return 0;

    // ParseScript over the text as lines, then the join check against the tokens of the
    // very text ParseScript read.
    TStringList lines;
    lines.SetText(std::string(text));
    const std::string script = lines.Text();
    TStringList whole;
    whole.Assign(lines);
    ParseScript(whole, true);
    Require(whole.Count() == 1 && whole.Strings(0) == script);

    const std::string kind = GetScriptType(lines);
    Require(kind == "NONE" || kind == "SELECT" || kind == "DELETE" || kind == "INSERT" ||
            kind == "REPLACE" || kind == "LOAD" || kind == "UPDATE" || kind == "SCRIPT");

    ParseScript(lines, false);
    std::string joined;
    for (int i = 0; i < lines.Count(); ++i) {
        const std::string line = lines.Strings(i);
        Require(!line.empty());
        joined += line;
    }
    TBasicParser check(script);
    ConfigureScriptParser(check);
    std::size_t cursor = 0;
    for (;;) {
        const TTokenProps& t = check.NextToken(false);
        if (t.Kind == ttEnd) break;
        if (IsComment(t.Kind) || t.Kind == ttLineBreak) continue;
        // A token starts with a character above 32; only its end may be trimmed away
        // at the end of a statement.
        const std::string_view kept = TrimEnd(t.Text);
        Require(!kept.empty());
        Require(joined.compare(cursor, kept.size(), kept) == 0);
        cursor += kept.size();
        while (cursor < joined.size() && static_cast<unsigned char>(joined[cursor]) <= 32) ++cursor;
    }
    Require(cursor == joined.size());
    return 0;
}
