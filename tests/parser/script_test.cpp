#include "velmysql/parser/script.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

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
