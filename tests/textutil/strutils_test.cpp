// String helpers: words, fields, character cleaning and replacement, comma lists and the
// line list with its own separator.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "velmysql/textutil/strutils.h"
#include "velmysql/textutil/velstringlist.h"

using namespace velmysql;

namespace {

using V = std::vector<std::string>;

V Lines(const TStrings& l) {
    V r;
    for (int i = 0; i < l.Count(); ++i) r.push_back(l[i]);
    return r;
}

TEST(StrUtils, WordInStr) {
    struct Case {
        int n;
        const char* s;
        const char* seps;
        const char* word;
    } cases[] = {
        {2, "  12:30::45", ": ", "30"},
        {3, "  12:30::45", ": ", "45"},
        {4, "  12:30::45", ": ", ""},
        {0, "a b", " ", ""},
        {1, "", " ", ""},
        {1, ":::", ":", ""},
        {3, "4.1.14a", ".- ", "14a"},
        {3, "4.1.14a", ".- abcdefghijklmnopqrstuvwxyz", "14"},
        {1, "5.5.5-10.11.6-MariaDB", ".-", "5"},
        {4, "5.5.5-10.11.6-MariaDB", ".-", "10"},
        {1, "word", "", "word"},
        {255, "a", " ", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(WordInStr(static_cast<uint8_t>(c.n), c.s, c.seps), c.word) << c.n << " '" << c.s << "'";
}

TEST(StrUtils, ChangeWordInStr) {
    struct Case {
        int n;
        const char* s;
        const char* newWord;
        const char* result;
    } cases[] = {
        {2, "a b c", "X", "a X c"},
        {1, "  first, second", "1st", "  1st, second"},
        {3, "a,,b,,c", "Z", "a,,b,,Z"},
        {2, "ab", "X", "aXb"},    // one word only: inserted before position 2
        {5, "ab", "X", "abX"},    // text shorter than N: appended
        {1, "", "X", "X"},
        {2, ", ,", "X", ",X ,"},  // no words at all: inserted at position 2
        {0, "a b", "X", "a b"},
    };
    for (const auto& c : cases) {
        std::string s = c.s;
        ChangeWordInStr(static_cast<uint8_t>(c.n), s, c.newWord, " ,");
        EXPECT_EQ(s, c.result) << c.n << " '" << c.s << "'";
    }
}

TEST(StrUtils, FieldInStr) {
    struct Case {
        int n;
        const char* s;
        const char* delim;
        const char* trim;
        const char* field;
    } cases[] = {
        {1, "a,b,c", ",", "", "a"},
        {2, "a,b,c", ",", "", "b"},
        {3, "a,b,c", ",", "", "c"},
        {5, "a,b", ",", "", "b"},  // beyond the last: the last
        {0, "a,b", ",", "", "a"},
        {2, "a,,c", ",", "", ""},  // empty fields count
        {2, " a , b ", ",", " ", "b"},
        {1, "[x]", ",", "[]", "x"},
        {2, "a--b--c", "--", "", "-b"},  // the rest of a long delimiter stays in front
        {1, "abc", "", "", "abc"},
        {2, "", ",", "", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FieldInStr(static_cast<uint8_t>(c.n), c.s, c.delim, c.trim), c.field) << c.n << " '" << c.s << "'";
}

TEST(StrUtils, GetWordAndGetStrWord) {
    struct Case {
        const char* s;
        const char* sep;
        int n;
        const char* word;
    } cases[] = {
        {"a--b--c", "--", 1, "a"}, {"a--b--c", "--", 2, "b"}, {"a--b--c", "--", 3, "c"},
        {"a--b--c", "--", 4, ""},  {"a--b--c", "--", 0, "a"}, {"a--b--c", "--", -3, "a"},
        {"abc", "--", 1, "abc"},   {"abc", "--", 2, ""},      {"", "-", 1, ""},
        {"abc", "", 1, ""},        {"a,,c", ",", 2, ""},      {"a,", ",", 2, ""},
        {",b", ",", 1, ""},        {",b", ",", 2, "b"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(GetWord(c.s, c.sep, c.n), c.word) << "'" << c.s << "' " << c.n;
        EXPECT_EQ(GetStrWord(c.n, c.s, c.sep), c.word);
    }
}

TEST(StrUtils, GetPrefixWord) {
    struct Case {
        int n;
        const char* s;
        const char* sep;
        const char* prefix;
    } cases[] = {
        {2, "a.b.c", ".", "a.b"}, {1, "a.b.c", ".", "a"},   {3, "a.b.c", ".", "a.b.c"},
        {5, "a.b.c", ".", "a.b.c"}, {0, "a.b.c", ".", ""},  {-1, "a.b.c", ".", ""},
        {3, "abc", ".", "abc"},   {1, "abc", ".", "abc"},   {2, "", ".", ""},
        {2, "a.b", "", ""},       {2, "a::b::c", "::", "a::b"}, {2, "a.b.", ".", "a.b"},
        {3, "a.b.", ".", "a.b."},
    };
    for (const auto& c : cases) EXPECT_EQ(GetPrefixWord(c.n, c.s, c.sep), c.prefix) << c.n << " '" << c.s << "'";
}

TEST(StrUtils, CleaningCharacters) {
    struct Case {
        const char* s;
        const char* set;
        const char* pre;
        const char* post;
        const char* both;
        const char* in;
    } cases[] = {
        {"  a b  ", " ", "a b  ", "  a b", "a b", "ab"},
        {"xyaxby", "xy", "axby", "xyaxb", "axb", "ab"},
        {"aaa", "a", "", "", "", ""},
        {"abc", "", "abc", "abc", "abc", "abc"},
        {"", "a", "", "", "", ""},
        {"\r\nline\r\n", "\r\n", "line\r\n", "\r\nline", "line", "line"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(PreStrClean(c.s, c.set), c.pre) << c.s;
        EXPECT_EQ(PostStrClean(c.s, c.set), c.post) << c.s;
        EXPECT_EQ(PrePostStrClean(c.s, c.set), c.both) << c.s;
        EXPECT_EQ(InStrClean(c.s, c.set), c.in) << c.s;
    }
}

TEST(StrUtils, OneStrAndReplaceSubStr) {
    EXPECT_EQ(OneStr("select *\r\nfrom t", "\r\n"), "select *  from t");
    EXPECT_EQ(OneStr("", "\r\n"), "");
    // A blank in the set: each character of the text is looked at once.
    EXPECT_EQ(OneStr("a b\nc", " \n"), "a b c");

    struct Case {
        const char* s;
        const char* set;
        const char* repl;
        const char* result;
    } cases[] = {
        {"a'b'c", "'", "''", "a''b''c"},  // the replacement holds a character of the set
        {"a,b;c", ",;", " - ", "a - b - c"},
        {"a,b", ",", "", "ab"},
        {"", ",", "x", ""},
        {"abc", "", "x", "abc"},
        {"aaa", "a", "aa", "aaaaaa"},
    };
    for (const auto& c : cases) EXPECT_EQ(ReplaceSubStr(c.s, c.set, c.repl), c.result) << c.s;
}

TEST(StrUtils, CountSubStr) {
    struct Case {
        const char* s;
        const char* sub;
        int count;
    } cases[] = {
        {"aabb", "ab", 2},       // 'ab' appears again once the first is removed
        {"aaabbb", "ab", 3},
        {"abab", "ab", 2},
        {"ABab", "aB", 2},       // letter case is ignored
        {"aaaa", "aa", 2},
        {"hello", "xyz", 0},
        {"", "a", 0},
        {"abc", "", 0},
        {"ab", "abc", 0},
        {"xaxbbx", "ab", 0},
        {"a(ab)b", "ab", 1},
        {"aabbab", "ab", 3},
    };
    for (const auto& c : cases) EXPECT_EQ(CountSubStr(c.s, c.sub), c.count) << c.s << " / " << c.sub;
}

TEST(StrUtils, ZeroFilledIFStrAndValidity) {
    struct Z {
        const char* s;
        int w;
        const char* r;
    } zs[] = {{"42", 5, "00042"}, {"123456", 4, "1234"}, {"", 3, "000"}, {"12", 2, "12"}, {"12", 0, ""}, {"12", -1, ""}};
    for (const auto& z : zs) EXPECT_EQ(ZeroFilled(z.s, z.w), z.r) << z.s << " " << z.w;

    EXPECT_EQ(IFStr(true, "a", "b"), "a");
    EXPECT_EQ(IFStr(false, "a", "b"), "b");

    struct Valid {
        const char* s;
        bool isInt;
        bool isFloat;
    } vs[] = {
        {"123", true, true}, {"-12", true, true}, {"+1", true, true},  {"1-2", true, true},
        {"1.5", false, true}, {"", false, false}, {"1e5", false, false}, {" 1", false, false},
        {"1,5", false, false}, {"..", false, true},
    };
    for (const auto& v : vs) {
        EXPECT_EQ(IsValidInt(v.s), v.isInt) << v.s;
        EXPECT_EQ(IsValidFloat(v.s), v.isFloat) << v.s;
    }
}

TEST(StrUtils, VelCommaText) {
    struct Case {
        std::string s;
        V items;
    } cases[] = {
        {"a b, \"c,d\" ,e", {"a b", "c,d", "e"}},
        {"a,,b", {"a", "", "b"}},
        {"a,b,", {"a", "b"}},
        {" \"x\"\"y\" ", {"x\"y"}},
        {"\"open, ended", {"open, ended"}},
        {"trail  ,x", {"trail  ", "x"}},
        {"  \t\r\n", {}},
        {"", {}},
        {"a\tb", {"a", "b"}},
        {std::string("a,b\0,c", 6), {"a", "b"}},
        {",a", {"", "a"}},
    };
    for (const auto& c : cases) {
        const auto list = VelCommaText(c.s);
        ASSERT_NE(list, nullptr);
        EXPECT_EQ(Lines(*list), c.items) << c.s;
    }
}

TEST(VelStringList, ReadingText) {
    struct Case {
        std::string sep;
        std::string text;
        V lines;
    } cases[] = {
        {"\r\n", "a\r\n\r\nb", {"a", "b"}},
        {"\r\n", "a\nb\rc", {"a", "b", "c"}},
        {"\r\n", "\r\na", {"", "a"}},
        {"\r\n", "a\r\n", {"a"}},
        {"\r\n", "", {}},
        {";", "x;y;;z;", {"x", "y", "z"}},
        {"", "a\r\nb", {"a\r\nb"}},
        {"\r\n", std::string("a\r\nb\0c\r\nd", 9), {"a", "b"}},
    };
    for (const auto& c : cases) {
        TVelStringList l;
        l.SetLineSeparator(c.sep);
        l.SetText(c.text);
        EXPECT_EQ(Lines(l), c.lines) << c.text;
    }
}

TEST(VelStringList, WritingTextAndTheRestOfTheList) {
    TVelStringList l;
    EXPECT_EQ(l.LineSeparator(), "\r\n");
    l.Add("a");
    l.Add("b");
    EXPECT_EQ(l.Text(), "a\r\nb\r\n");
    l.SetLineSeparator("|");
    EXPECT_EQ(l.Text(), "a|b|");
    l.SetLineSeparator("");
    EXPECT_EQ(l.Text(), "ab");

    // Reached through the base class, the overrides are the ones used.
    TStrings& base = l;
    l.SetLineSeparator(";");
    base.SetText("p;q");
    EXPECT_EQ(base.Text(), "p;q;");

    // Setting the text is one change bracket.
    int changes = 0;
    l.SetOnChange([&](TStrings&) { ++changes; });
    l.SetText("1;2;3");
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(l.Values("x"), "");
    l.SetValue("k", "v");
    EXPECT_EQ(l.Values("K"), "v");
}

}  // namespace
