#include "velmysql/parser/basic_parser.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "velmysql/parser/script.h"
#include "velmysql/rtl/formatsettings.h"

namespace velmysql {
namespace {

struct Tok {
    int kind;
    std::string text;
    bool operator==(const Tok& o) const { return kind == o.kind && text == o.text; }
};

std::ostream& operator<<(std::ostream& os, const Tok& t) { return os << "{" << t.kind << ", \"" << t.text << "\"}"; }

// Every token up to (not including) ttEnd, read with the script settings.
std::vector<Tok> Tokens(std::string_view text, bool skipLineBreaks = false) {
    TBasicParser p(text);
    ConfigureScriptParser(p);
    std::vector<Tok> out;
    for (int guard = 0; guard < 1000; ++guard) {
        const TTokenProps& t = p.NextToken(skipLineBreaks);
        if (t.Kind == ttEnd) return out;
        out.push_back({t.Kind, t.Text});
    }
    ADD_FAILURE() << "no end of text after 1000 tokens";
    return out;
}

struct TokCase {
    const char* text;
    std::vector<Tok> expected;
};

void PrintTo(const TokCase& c, std::ostream* os) { *os << '"' << c.text << '"'; }

class TokenizeScriptSettings : public ::testing::TestWithParam<TokCase> {};

TEST_P(TokenizeScriptSettings, Tokens) {
    EXPECT_EQ(Tokens(GetParam().text), GetParam().expected) << "text: " << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TokenizeScriptSettings,
    ::testing::Values(
        // "<=" is not an operator of the list: "<" then "=".
        TokCase{"a<=b", {{ttSymbol, "a"}, {ttOperator, "<"}, {ttOperator, "="}, {ttSymbol, "b"}}},
        // Longer operators listed first win.
        TokCase{"a<>b ||c<<2", {{ttSymbol, "a"}, {ttOperator, "<>"}, {ttSymbol, "b"}, {ttOperator, "||"},
                               {ttSymbol, "c"}, {ttOperator, "<<"}, {ttInteger, "2"}}},
        // A line comment needs the blank after the hyphens.
        TokCase{"--x", {{ttOperator, "-"}, {ttOperator, "-"}, {ttSymbol, "x"}}},
        TokCase{"-- x\ny", {{ttLineComment, "-- x"}, {ttLineBreak, " "}, {ttSymbol, "y"}}},
        TokCase{"a # c\r\nb", {{ttSymbol, "a"}, {ttLineComment, "# c"}, {ttLineBreak, " "}, {ttSymbol, "b"}}},
        TokCase{"0x1F", {{ttHex, "0x1F"}}},
        TokCase{"0x", {{ttHex, "0x"}}},
        TokCase{"0xfgh", {{ttHex, "0xf"}, {ttSymbol, "gh"}}},
        TokCase{"0X1F", {{ttInteger, "0"}, {ttSymbol, "X1F"}}},
        TokCase{"1e+5-3", {{ttFloat, "1e+5"}, {ttOperator, "-"}, {ttInteger, "3"}}},
        TokCase{"1.5d", {{ttFloat, "1.5d"}}},
        TokCase{"12d", {{ttInteger, "12"}, {ttSymbol, "d"}}},
        TokCase{"3.14 ", {{ttFloat, "3.14"}}},
        TokCase{"'it''s'", {{ttString, "'it'"}, {ttString, "'s'"}}},
        TokCase{R"('it\'s')", {{ttString, R"('it\'s')"}}},
        // An even run of backslashes before the quote does not protect it.
        TokCase{R"('a\\' b)", {{ttString, R"('a\\')"}, {ttSymbol, "b"}}},
        TokCase{R"('a\\\' b')", {{ttString, R"('a\\\' b')"}}},
        TokCase{"\"x;y\";", {{ttString, "\"x;y\""}, {ttDelimiter, ";"}}},
        TokCase{"'abc\nd", {{ttString, "'abc"}, {ttLineBreak, " "}, {ttSymbol, "d"}}},
        TokCase{"'abc\r\nd", {{ttString, "'abc"}, {ttLineBreak, " "}, {ttSymbol, "d"}}},
        TokCase{"':1x", {{ttString, "':1x"}}},
        TokCase{":1x", {{ttParameter, ":1x"}}},
        TokCase{": x", {{':', ":"}, {ttSymbol, "x"}}},
        TokCase{":_a1 :", {{ttParameter, ":_a1"}, {':', ":"}}},
        TokCase{"[a b]", {{ttBracket, "[a"}, {ttSymbol, "b"}, {ttBracket, "]"}}},
        TokCase{"[ab]", {{ttBracket, "[ab]"}}},
        TokCase{"[a;b]c", {{ttBracket, "[a;b]"}, {ttSymbol, "c"}}},
        TokCase{"[ab", {{ttBracket, "[ab"}}},
        TokCase{"*/", {{ttCommentEnd, "*/"}}},
        TokCase{"a/*x*/b", {{ttSymbol, "a"}, {ttBlockComment, "/*x*/"}, {ttSymbol, "b"}}},
        TokCase{"a/*x\n;y", {{ttSymbol, "a"}, {ttBlockComment, "/*x\n;y"}}},
        TokCase{"`a b`c", {{ttSymbol, "`a b`"}, {ttSymbol, "c"}}},
        TokCase{"`a b", {{ttSymbol, "`a b"}}},
        // "$", "&" and "|" continue a name (placeholders such as $FIELDS&VALUES are one
        // symbol) but at a token start "&" and "|" are operators of the list.
        TokCase{"$x&y|z & b|c", {{ttSymbol, "$x&y|z"}, {ttOperator, "&"}, {ttSymbol, "b|c"}}},
        TokCase{"f(a,b)", {{ttSymbol, "f"}, {'(', "("}, {ttSymbol, "a"}, {',', ","}, {ttSymbol, "b"}, {')', ")"}}},
        TokCase{"a\tb\rc", {{ttSymbol, "a"}, {ttSymbol, "b"}, {ttSymbol, "c"}}},
        TokCase{";;", {{ttDelimiter, ";"}, {ttDelimiter, ";"}}},
        // Bytes 128 to 255 are single characters of their own code, never blanks.
        TokCase{"a\xE9" "b", {{ttSymbol, "a"}, {0xE9, "\xE9"}, {ttSymbol, "b"}}},
        TokCase{"", {}},
        TokCase{" \t\r ", {}}));

// Texts cut in awkward places: the scan must stop at the end of the view (the sanitizer
// build sees any read beyond it, since the bytes are copied into an exact-size buffer).
TEST(BasicParser, StopsAtTheEndOfTheTextWhateverItHolds) {
    const std::vector<std::string> texts = {
        "'abc", "\"abc\\", "'a\\\\", "'\\", "\\", "/*", "/* x *", "[", "[abc", "`", "`abc", "0x", "1e",
        "1.5", "1.5e+", ":", ":a", "-- ", "#", "a\xFF", "*", "'\\\\\\", "'a\\\\\\'"};
    for (const std::string& t : texts) {
        std::vector<char> exact(t.begin(), t.end());
        TBasicParser p(std::string_view(exact.data(), exact.size()));
        ConfigureScriptParser(p);
        std::size_t covered = 0;
        for (int guard = 0; guard < 100; ++guard) {
            const TTokenProps& tok = p.NextToken(false);
            if (tok.Kind == ttEnd) break;
            ASSERT_LE(static_cast<std::size_t>(tok.Position) + tok.Text.size(), t.size()) << t;
            covered = p.TokenEnd();
        }
        EXPECT_EQ(p.Token().Kind, ttEnd) << t;
        EXPECT_EQ(covered, t.size()) << t;
    }
}

TEST(BasicParser, EmbeddedNulEndsTheText) {
    const std::string text("ab\0cd", 5);
    TBasicParser p(text);
    ConfigureScriptParser(p);
    EXPECT_EQ(p.NextToken(true).Text, "ab");
    EXPECT_EQ(p.NextToken(true).Kind, ttEnd);
    // The end token stays where the text ends, however often it is asked for.
    EXPECT_EQ(p.NextToken(true).Kind, ttEnd);
    EXPECT_EQ(p.SourcePos(), 2);
}

TEST(BasicParser, RestartResetsTheCurrentTokenAndLineCounter) {
    TBasicParser p("a\nb");
    ConfigureScriptParser(p);
    EXPECT_EQ(p.Token().Kind, ttNone);
    p.NextToken(true);
    p.NextToken(true);
    EXPECT_EQ(p.LineCounter(), 1);
    p.Restart("  select");
    EXPECT_EQ(p.Token().Kind, ttNone);
    EXPECT_EQ(p.Token().Position, 0);
    EXPECT_EQ(p.Token().Text, "");
    EXPECT_EQ(p.LineCounter(), 0);
    p.NextToken(true);
    EXPECT_EQ(p.SourcePos(), 2);
    EXPECT_EQ(p.Token().Position, 2);
    EXPECT_EQ(p.TokenString(), "select");
}

TEST(BasicParser, SkipBlanksStopsBeforeALineFeedUnlessSkipping) {
    TBasicParser p(" \r\t\n x");
    p.SkipBlanks(false);
    EXPECT_EQ(p.NextToken(false).Kind, ttLineBreak);
    EXPECT_EQ(p.SourcePos(), 3);
    EXPECT_EQ(p.LineCounter(), 0);
    p.Restart(" \r\t\n x");
    p.SkipBlanks(true);
    EXPECT_EQ(p.LineCounter(), 1);
    EXPECT_EQ(p.NextToken(false).Text, "x");
    EXPECT_EQ(p.SourcePos(), 5);
}

TEST(BasicParser, WithoutMarkersEveryPunctuationIsACharacterToken) {
    TBasicParser p("a--b/*c*/");
    std::vector<int> kinds;
    while (p.NextToken(true).Kind != ttEnd) kinds.push_back(p.Token().Kind);
    EXPECT_EQ(kinds, (std::vector<int>{ttSymbol, '-', '-', ttSymbol, '/', '*', ttSymbol, '*', '/'}));
}

// Markers are read in list order and paired by index; changing a list after reading
// began takes effect at the next token.
TEST(BasicParser, MarkerListsArePairedByIndexAndFollowChanges) {
    TBasicParser p("{a} <<b>> {c");
    p.BracketBegins().SetCommaText("{,<<");
    p.BracketEnds().SetCommaText("},>>");
    EXPECT_EQ(p.NextToken(true).Text, "{a}");
    EXPECT_EQ(p.Token().Kind, ttBracket);
    EXPECT_EQ(p.NextToken(true).Text, "<<b>>");
    p.BracketBegins().Clear();
    EXPECT_EQ(p.NextToken(true).Kind, '{');

    // Opening marker without a paired closing one: runs to the next blank.
    TBasicParser q("(*a*) b (*c");
    q.CommentBegins().Add("(*");
    EXPECT_EQ(q.NextToken(true).Text, "(*a*) b (*c");
    EXPECT_EQ(q.Token().Kind, ttBlockComment);
}

// Markers of different lists that begin alike are tried list by list in the scan's
// order (hex prefix, line comments, comment starts, comment ends, bracket opens,
// bracket closes, parameter prefixes, symbols), whatever order they were set in; within
// a list, the first entry that matches wins.
TEST(BasicParser, MarkersBeginningAlikeAreTriedInScanOrder) {
    TBasicParser p("!xff !-c\n!/b!*!* !(a!) !) !p !! ! !-");
    p.Symbols().SetCommaText("!-,!/,!*,!(,!),!p,!!,!");
    p.ParamPrefixes().Add("!");
    p.BracketEnds().Add("!)");
    p.BracketBegins().Add("!(");
    p.CommentEnds().Add("!*");
    p.CommentBegins().Add("!/");
    p.LineComments().Add("!-");
    p.SetHexPrefix("!x");
    std::vector<Tok> got;
    for (int guard = 0; guard < 20 && p.NextToken(true).Kind != ttEnd; ++guard)
        got.push_back({p.Token().Kind, p.Token().Text});
    EXPECT_EQ(got, (std::vector<Tok>{{ttHex, "!xff"},
                                     {ttLineComment, "!-c"},
                                     {ttBlockComment, "!/b!*"},
                                     {ttCommentEnd, "!*"},
                                     {ttBracket, "!(a!)"},
                                     {ttBracket, "!)"},
                                     {ttParameter, "!p"},
                                     {ttOperator, "!!"},
                                     // A prefix without a name after it gives way to the symbol.
                                     {ttOperator, "!"},
                                     {ttLineComment, "!-"}}));

    // Within one list the earlier entry wins even when a later one is longer.
    TBasicParser q("!!");
    q.Symbols().SetCommaText("!,!!");
    EXPECT_EQ(q.NextToken(true).Text, "!");
    EXPECT_EQ(q.NextToken(true).Text, "!");
    EXPECT_EQ(q.NextToken(true).Kind, ttEnd);
}

// An empty marker (as the comma text "a,,b" makes) matches nowhere: were it to match,
// it would be an empty token that never moves the reading position.
TEST(BasicParser, EmptyMarkersNeverMatch) {
    TBasicParser p("a+b");
    p.Symbols().SetCommaText("\"\",+");
    p.LineComments().Add("");
    p.CommentBegins().Add("");
    p.CommentEnds().Add("");
    p.BracketBegins().Add("");
    p.BracketEnds().Add("");
    p.ParamPrefixes().Add("");
    std::vector<Tok> got;
    for (int guard = 0; guard < 10 && p.NextToken(true).Kind != ttEnd; ++guard)
        got.push_back({p.Token().Kind, p.Token().Text});
    EXPECT_EQ(got, (std::vector<Tok>{{ttSymbol, "a"}, {ttOperator, "+"}, {ttSymbol, "b"}}));
}

// A line-comment marker that is itself a line break still moves the reading position.
TEST(BasicParser, LineCommentMarkerHoldingALineBreakMovesOn) {
    TBasicParser q("a!\nb");
    q.LineComments().Add("!\n");
    EXPECT_EQ(q.NextToken(false).Text, "a");
    EXPECT_EQ(q.NextToken(false).Text, "!\nb");
    EXPECT_EQ(q.Token().Kind, ttLineComment);
    EXPECT_EQ(q.NextToken(false).Kind, ttEnd);
}

TEST(BasicParser, HexPrefixOfOneCharacter) {
    TBasicParser p("$ff $g");
    p.SetHexPrefix("$");
    EXPECT_EQ(p.NextToken(true).Kind, ttHex);
    EXPECT_EQ(p.TokenString(), "$ff");
    EXPECT_EQ(p.TokenInt(), 255);
    EXPECT_EQ(p.NextToken(true).Text, "$");
    EXPECT_EQ(p.NextToken(true).Text, "g");
}

TEST(BasicParser, TokenIntAndTokenFloat) {
    TBasicParser p("42 9223372036854775807 9223372036854775808 1.5d 12 2.5e3 1e+5 abc 1..2 0x1F 1e");
    ConfigureScriptParser(p);
    p.NextToken(true);
    EXPECT_EQ(p.TokenInt(), 42);
    EXPECT_DOUBLE_EQ(p.TokenFloat(), 42.0);
    p.NextToken(true);
    EXPECT_EQ(p.TokenInt(), INT64_MAX);
    p.NextToken(true);
    EXPECT_THROW(p.TokenInt(), EConvertError);
    p.NextToken(true);
    EXPECT_EQ(p.FloatSuffix(), 'd');
    EXPECT_DOUBLE_EQ(p.TokenFloat(), 1.5);
    EXPECT_THROW(p.TokenInt(), EConvertError);
    // The suffix of the previous float is not cut from an integer read after it.
    p.NextToken(true);
    EXPECT_EQ(p.FloatSuffix(), 'd');
    EXPECT_DOUBLE_EQ(p.TokenFloat(), 12.0);
    p.NextToken(true);
    EXPECT_EQ(p.FloatSuffix(), 0);
    EXPECT_DOUBLE_EQ(p.TokenFloat(), 2500.0);
    p.NextToken(true);
    EXPECT_DOUBLE_EQ(p.TokenFloat(), 100000.0);
    p.NextToken(true);
    try {
        p.TokenInt();
        ADD_FAILURE() << "no error";
    } catch (const EConvertError& e) {
        EXPECT_EQ(e.Message(), "'abc' is not a valid integer value");
    }
    try {
        p.TokenFloat();
        ADD_FAILURE() << "no error";
    } catch (const EConvertError& e) {
        EXPECT_EQ(e.Message(), "'abc' is not a valid floating point value");
    }
    p.NextToken(true);
    EXPECT_EQ(p.Token().Kind, ttFloat);
    EXPECT_THROW(p.TokenFloat(), EConvertError);
    p.NextToken(true);
    EXPECT_EQ(p.Token().Kind, ttHex);
    EXPECT_EQ(p.TokenInt(), 31);
    p.NextToken(true);
    EXPECT_EQ(p.Token().Kind, ttFloat);
    EXPECT_THROW(p.TokenFloat(), EConvertError);
}

// Numbers in SQL use "." whatever the user's decimal separator is.
TEST(BasicParser, TokenFloatIgnoresTheUsersDecimalSeparator) {
    const TFormatSettings saved = FormatSettings();
    TFormatSettings comma = saved;
    comma.DecimalSeparator = ',';
    SetFormatSettings(comma);
    TBasicParser p("2.25");
    ConfigureScriptParser(p);
    p.NextToken(true);
    double value = 0;
    EXPECT_NO_THROW(value = p.TokenFloat());
    SetFormatSettings(saved);
    EXPECT_DOUBLE_EQ(value, 2.25);
}

TEST(BasicParser, TokenSymbolIsIgnoresAsciiCaseOnly) {
    TBasicParser p("Select 'select' `select` `\xE9`");
    ConfigureScriptParser(p);
    p.NextToken(true);
    EXPECT_TRUE(p.TokenSymbolIs("SELECT"));
    EXPECT_FALSE(p.TokenSymbolIs("SELEC"));
    EXPECT_NO_THROW(p.CheckTokenSymbol("select"));
    p.NextToken(true);
    EXPECT_FALSE(p.TokenSymbolIs("'select'"));  // a string, not a symbol
    p.NextToken(true);
    EXPECT_TRUE(p.TokenSymbolIs("`SELECT`"));
    // Only ASCII letters are folded.
    p.NextToken(true);
    EXPECT_FALSE(p.TokenSymbolIs("`\xC9`"));
    EXPECT_TRUE(p.TokenSymbolIs("`\xE9`"));
}

struct CheckCase {
    const char* text;
    int reads;  // NextToken(true) calls before the check
    TTokenKind kind;
    std::string message;  // empty: no error
};

TEST(BasicParser, CheckTokenMessages) {
    const std::vector<CheckCase> cases = {
        {"a\nb", 2, ttString, "String expected on line 2"},
        {"a", 1, ttWideString, "String expected on line 1"},
        {"'a'", 1, ttSymbol, "Identifier expected on line 1"},
        {"\n\na", 1, ttInteger, "Number expected on line 3"},
        {"a", 1, ttFloat, "Number expected on line 1"},
        {"a", 1, '(', "''('' expected on line 1"},
        {"a", 1, ttDelimiter, std::string("''\x0C'' expected on line 1")},
        {"(", 1, '(', ""},
        {"1.5", 1, ttFloat, ""},
        {"", 1, ttEnd, ""},
    };
    for (const CheckCase& c : cases) {
        TBasicParser p(c.text);
        ConfigureScriptParser(p);
        for (int i = 0; i < c.reads; ++i) p.NextToken(true);
        if (c.message.empty()) {
            EXPECT_NO_THROW(p.CheckToken(c.kind)) << c.text;
            continue;
        }
        try {
            p.CheckToken(c.kind);
            ADD_FAILURE() << "no error for " << c.text;
        } catch (const EBasicParserError& e) {
            EXPECT_EQ(e.Message(), c.message) << c.text;
        }
    }
}

TEST(BasicParser, ErrorFormsAndCheckTokenSymbol) {
    TBasicParser p("x\n\ny");
    ConfigureScriptParser(p);
    p.NextToken(true);
    p.NextToken(true);
    try {
        p.CheckTokenSymbol("FROM");
        ADD_FAILURE() << "no error";
    } catch (const EBasicParserError& e) {
        EXPECT_EQ(e.Message(), "FROM expected on line 3");
    }
    try {
        p.ErrorFmt("%s at %d, 100%%", "bad", 7);
    } catch (const EBasicParserError& e) {
        EXPECT_EQ(e.Message(), "bad at 7, 100% on line 3");
    }
    EXPECT_THROW(p.Error("x"), EBasicParserError);
    // A format that does not fit its arguments is the formatter's conversion error.
    EXPECT_THROW(p.ErrorFmt("%d", "text"), EConvertError);
    EXPECT_THROW(p.ErrorFmt("%s %s", "one"), EConvertError);
}

// Line breaks read as tokens are not counted: errors then always name line 1.
TEST(BasicParser, LineBreakTokensDoNotCountLines) {
    TBasicParser p("a\nb");
    ConfigureScriptParser(p);
    p.NextToken(false);
    p.NextToken(false);
    p.NextToken(false);
    EXPECT_EQ(p.LineCounter(), 0);
    try {
        p.CheckToken(ttString);
    } catch (const EBasicParserError& e) {
        EXPECT_EQ(e.Message(), "String expected on line 1");
    }
}

struct RegionCase {
    const char* text;
    int32_t offset;
    int reads;  // tokens read before the call
    Tok previous, current, next;
};

TEST(BasicParser, TokenAtPosition) {
    const Tok none{ttNone, ""};
    const std::vector<RegionCase> cases = {
        {"select x", 1, 0, none, {ttSymbol, "select"}, {ttSymbol, "x"}},
        {"select x", 0, 0, none, {ttSymbol, "select"}, {ttSymbol, "x"}},
        {"select x", 6, 0, none, {ttSymbol, "select"}, {ttSymbol, "x"}},
        {"select x", 7, 0, {ttSymbol, "select"}, {ttSymbol, "x"}, {ttEnd, ""}},
        {"a  b c", 2, 0, {ttSymbol, "a"}, {ttSymbol, "b"}, {ttSymbol, "c"}},
        {"a b", 50, 0, {ttSymbol, "b"}, {ttEnd, ""}, none},
        // Continues from where the parser is: an offset behind it leaves the region empty.
        {"a b c", 0, 2, none, none, {ttSymbol, "c"}},
        {"a b c", 4, 1, {ttSymbol, "b"}, {ttSymbol, "c"}, {ttEnd, ""}},
    };
    for (const RegionCase& c : cases) {
        TBasicParser p(c.text);
        ConfigureScriptParser(p);
        for (int i = 0; i < c.reads; ++i) p.NextToken(true);
        p.TokenAtPosition(c.offset);
        auto got = [&](TTokenPosition where) {
            const TTokenProps& t = p.GetTokenInRegion(where);
            return Tok{t.Kind, t.Text};
        };
        EXPECT_EQ(got(tpPrevious), c.previous) << c.text << " @" << c.offset;
        EXPECT_EQ(got(tpCurrent), c.current) << c.text << " @" << c.offset;
        EXPECT_EQ(got(tpNext), c.next) << c.text << " @" << c.offset;
    }
}

}  // namespace
}  // namespace velmysql
