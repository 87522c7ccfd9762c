#include "velmysql/parser/script.h"

#include <string_view>

namespace velmysql {

void ConfigureScriptParser(TBasicParser& parser) {
    parser.Symbols().SetCommaText("+,-,*,/,=,||,&&,&,<>,|,<<,>>,>,<,~,!,%");
    parser.SetHexPrefix("0x");
    // Quoted: in comma text a blank would end the item, and the blank after the two
    // hyphens is what keeps "--x" two minus signs.
    parser.LineComments().SetCommaText("\"-- \",#");
    parser.CommentBegins().SetCommaText("/*");
    parser.CommentEnds().SetCommaText("*/");
    parser.BracketBegins().SetCommaText("[");
    parser.BracketEnds().SetCommaText("]");
    parser.ParamPrefixes().SetCommaText(":");
}

namespace {

// Characters 0 to 32 removed from both ends.
std::string_view TrimControls(std::string_view s) {
    std::size_t b = 0, e = s.size();
    while (b < e && static_cast<unsigned char>(s[b]) <= 32) ++b;
    while (e > b && static_cast<unsigned char>(s[e - 1]) <= 32) --e;
    return s.substr(b, e - b);
}

}  // namespace

void ParseScript(TStrings& lines, bool whole) {
    const std::string text = lines.Text();
    if (whole) {
        lines.Clear();
        lines.Add(text);
        return;
    }
    TBasicParser parser(text);
    ConfigureScriptParser(parser);
    lines.BeginUpdate();
    try {
        lines.Clear();
        // The statement being collected: token texts concatenated, a blank after a
        // token that a blank or tab followed.
        std::string pieces;
        for (;;) {
            const TTokenKind kind = parser.NextTokenKind(false);
            if (kind == ttLineComment || kind == ttBlockComment || kind == ttCommentEnd) continue;
            pieces += parser.TokenView();
            const std::size_t after = parser.TokenEnd();
            if (after < text.size() && (text[after] == ' ' || text[after] == '\t')) pieces += ' ';
            if (kind == ttDelimiter || kind == ttEnd) {
                // A copy of exactly the statement's size; pieces keeps its buffer for the next.
                const std::string_view statement = TrimControls(pieces);
                if (!statement.empty()) lines.AddMoved(std::string(statement));
                pieces.clear();
            }
            if (kind == ttEnd) break;
        }
    } catch (...) {
        lines.EndUpdate();
        throw;
    }
    lines.EndUpdate();
}

std::string GetScriptType(const TStrings& lines) {
    const std::string text = lines.Text();
    TBasicParser parser(text);
    ConfigureScriptParser(parser);
    std::string result = "NONE";
    static const char* const kKinds[] = {"SELECT", "DELETE", "INSERT", "REPLACE", "LOAD", "UPDATE"};
    static const char* const kScripts[] = {"SET", "CREATE", "DROP"};
    for (;;) {
        TTokenKind kind;
        do kind = parser.NextTokenKind(false);
        while (kind != ttSymbol && kind != ttEnd);
        if (kind == ttSymbol) {
            std::string statement = "NONE";
            for (const char* k : kKinds)
                if (parser.TokenSymbolIs(k)) statement = k;
            for (const char* k : kScripts)
                if (parser.TokenSymbolIs(k)) statement = "SCRIPT";
            if (result != "NONE") return "SCRIPT";
            result = statement;
        }
        while (kind != ttDelimiter && kind != ttEnd) kind = parser.NextTokenKind(false);
        if (kind == ttEnd) break;
    }
    return result;
}

}  // namespace velmysql
