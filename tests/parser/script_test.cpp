#include "velmysql/parser/script.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "velmysql/textutil/velstringlist.h"

namespace velmysql {
namespace {

std::vector<std::string> Lines(const TStrings& list) {
    std::vector<std::string> out;
    for (int i = 0; i < list.Count(); ++i) out.push_back(list.Strings(i));
    return out;
}

TStringList Script(const std::vector<std::string>& lines) {
    TStringList list;
    for (const std::string& l : lines) list.Add(l);
    return list;
}

struct SplitCase {
    std::vector<std::string> lines;
    std::vector<std::string> statements;
};

void PrintTo(const SplitCase& c, std::ostream* os) {
    for (const std::string& l : c.lines) *os << '"' << l << "\" ";
}

class ParseScriptSplits : public ::testing::TestWithParam<SplitCase> {};

TEST_P(ParseScriptSplits, Statements) {
    TStringList list = Script(GetParam().lines);
    ParseScript(list, false);
    EXPECT_EQ(Lines(list), GetParam().statements);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ParseScriptSplits,
    ::testing::Values(
        SplitCase{{"select 1; select 2"}, {"select 1;", "select 2"}},
        SplitCase{{"select 1;;"}, {"select 1;", ";"}},
        SplitCase{{"select 1;; select 2;"}, {"select 1;", ";", "select 2;"}},
        SplitCase{{"  ", "-- only comments ;", "/* a ; block */", "# hash;", "\t"}, {}},
        SplitCase{{}, {}},
        // Semicolons inside a string, a backquoted name, a bracket and a comment split
        // nothing; the comment goes, the others stay as written.
        SplitCase{{"insert into t values('a;b', \"c;d\");", "select `x;y`, [m;n] from t -- no; split",
                   "where a = 1 /* ; */;"},
                  {"insert into t values('a;b', \"c;d\");", "select `x;y`, [m;n] from t  where a = 1 ;"}},
        SplitCase{{"select 1 # note", "from t"}, {"select 1  from t"}},
        SplitCase{{"a/*x*/b"}, {"ab"}},
        SplitCase{{"a/*x*/ b"}, {"ab"}},
        SplitCase{{"select\t1"}, {"select 1"}},
        // A run of blanks after a token is one blank; every line feed is one more.
        SplitCase{{"a   b\t\t c"}, {"a b c"}},
        SplitCase{{"a", "", "", "b"}, {"a   b"}},
        // A string is cut at its line end, so an unterminated one cannot swallow the
        // rest of the script; its quote on the next line starts a new string.
        SplitCase{{"select 'abc;", "def'; x"}, {"select 'abc; def'; x"}},
        // A stray comment end is dropped like a comment.
        SplitCase{{"a */ b;"}, {"a b;"}},
        // Bytes 128 to 255 are copied as they are.
        SplitCase{{"select '\xE9t\xE9'; select \xFF"}, {"select '\xE9t\xE9';", "select \xFF"}}));

// The splitting rules written out plainly over each token's Text, for comparison with
// ParseScript on inputs where the token boundaries are easy to get wrong.
std::vector<std::string> ReferenceSplit(const std::string& text) {
    TBasicParser p(text);
    ConfigureScriptParser(p);
    std::vector<std::string> out;
    std::string pieces;
    for (;;) {
        const TTokenProps& t = p.NextToken(false);
        if (t.Kind == ttLineComment || t.Kind == ttBlockComment || t.Kind == ttCommentEnd) continue;
        pieces += t.Text;
        // A line break's text is one blank for one character, like every other token's
        // text is its characters.
        const std::size_t after = static_cast<std::size_t>(t.Position) + t.Text.size();
        if (after < text.size() && (text[after] == ' ' || text[after] == '\t')) pieces += ' ';
        if (t.Kind == ttDelimiter || t.Kind == ttEnd) {
            std::size_t b = 0, e = pieces.size();
            while (b < e && static_cast<unsigned char>(pieces[b]) <= 32) ++b;
            while (e > b && static_cast<unsigned char>(pieces[e - 1]) <= 32) --e;
            if (e > b) out.push_back(pieces.substr(b, e - b));
            pieces.clear();
        }
        if (t.Kind == ttEnd) return out;
    }
}

TEST(ParseScript, MatchesThePlainRulesOnTrickyScripts) {
    const std::string longName(300, 'n');
    const std::vector<std::string> scripts = {
        "select 1 ;select 2\t;\tselect 3 ; ",
        ";;; ;\t;",
        "a;/*c*/;b/*c*/ ;c /*c*/;d -- c\n;e # c;\n;",
        "\x01\x02select\x01 1\x1f;\x7f;\x1f",
        "select 'unterminated; \r\n  'x'; \"a\\\"b;\" ; 'a\\\\'; 'it''s;'",
        "select `back;quoted` , `open; to the end",
        "[a;b] [open; x ] ;[ ; ]",
        "/* open block ; to the end",
        "a */ b; c*/d;",
        "--x; -- y;\n--\tz; -- ",
        "0x1F;0x;0X1F; 1.5d;1e+5-3; :p1 ; : p;",
        "select\t\t1 \t from\r\n\r\n t\r\r;\n\n",
        std::string("select 1;\0select 2;", 19),
        "insert into `" + longName + "` values ('" + longName + "');select '" + longName + "'",
        "select 1; select 1; select 2; select 1;",
        "",
        " \r\n\t",
    };
    for (const std::string& script : scripts) {
        TStringList list;
        list.SetText(script);
        const std::string text = list.Text();
        ParseScript(list, false);
        EXPECT_EQ(Lines(list), ReferenceSplit(text)) << "script: " << script;
    }
}

// The statements go into the list through its own rules: a sorted list sorts them and
// drops duplicates, a list with its own line separator is read through its own text.
TEST(ParseScript, FollowsTheTargetListsRules) {
    TStringList sorted;
    sorted.SetText("select 2; select 1;\r\nselect 2; delete from t;");
    sorted.SetSorted(true);
    ParseScript(sorted, false);
    EXPECT_EQ(Lines(sorted), (std::vector<std::string>{"delete from t;", "select 1;", "select 2;"}));

    TStringList strict;
    strict.SetDuplicates(dupError);
    strict.SetSorted(true);
    strict.Add("a; a;");
    EXPECT_THROW(ParseScript(strict, false), EStringListError);
    EXPECT_EQ(strict.UpdateCount(), 0);

    TVelStringList separated;
    separated.SetLineSeparator("|");
    separated.Add("select 1 -- note");
    separated.Add("; select 2;");
    ParseScript(separated, false);
    // Joined by "|", the line comment runs over the rest of the text.
    EXPECT_EQ(Lines(separated), (std::vector<std::string>{"select 1"}));
}

TEST(ParseScript, WholeKeepsTheTextAsOneLine) {
    TStringList list = Script({"a", "b"});
    ParseScript(list, true);
    EXPECT_EQ(Lines(list), (std::vector<std::string>{"a\r\nb\r\n"}));
    TStringList empty;
    ParseScript(empty, true);
    EXPECT_EQ(Lines(empty), (std::vector<std::string>{""}));
}

// The statements replace the list's lines in one change bracket.
TEST(ParseScript, ReportsOneChange) {
    TStringList list = Script({"a;", "b;"});
    int changes = 0;
    list.SetOnChange([&](TStrings&) { ++changes; });
    ParseScript(list, false);
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(Lines(list), (std::vector<std::string>{"a;", "b;"}));
}

struct TypeCase {
    const char* script;
    const char* type;
};

TEST(GetScriptType, Kinds) {
    const std::vector<TypeCase> cases = {
        {"", "NONE"},
        {"select 1", "SELECT"},
        {"select 1;", "SELECT"},
        {"SeLeCt 1", "SELECT"},
        {"delete from t", "DELETE"},
        {"insert into t values (1)", "INSERT"},
        {"replace into t values (1)", "REPLACE"},
        {"load data infile 'x' into table t", "LOAD"},
        {"update t set a=1", "UPDATE"},
        {"insert into t values(1); select 1", "SCRIPT"},
        {"select 1; select 2", "SCRIPT"},
        {"create table t (a int)", "SCRIPT"},
        {"set @a = 1", "SCRIPT"},
        {"drop table t", "SCRIPT"},
        {"show tables", "NONE"},
        {"show tables; update t set a=1", "UPDATE"},
        {"show tables; show tables", "NONE"},
        {"-- leading\nselect 1", "SELECT"},
        {"/* leading */ select 1", "SELECT"},
        {"(select 1)", "SELECT"},
        {"`select` 1", "NONE"},
        // Any later statement that begins with a word, even an unknown one, makes it a script.
        {"select 1; `x`", "SCRIPT"},
        {"select 1; show tables", "SCRIPT"},
        {"select ';'; ;", "SELECT"},
        {"'select'; select 1", "SELECT"},
        {"select 'a\nupdate", "SELECT"},
    };
    for (const TypeCase& c : cases) {
        TStringList list;
        list.SetText(c.script);
        EXPECT_EQ(GetScriptType(list), c.type) << c.script;
    }
}

}  // namespace
}  // namespace velmysql
