// String lists: text forms, delimited text, name=value lines, sorting, duplicates and
// change notifications.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "velmysql/rtl/strings.h"

using namespace velmysql;

namespace {

std::vector<std::string> Lines(const TStrings& l) {
    std::vector<std::string> r;
    for (int i = 0; i < l.Count(); ++i) r.push_back(l[i]);
    return r;
}

using V = std::vector<std::string>;

TEST(StringList, AddInsertDeleteAndBounds) {
    TStringList l;
    EXPECT_EQ(l.Add("b"), 0);
    EXPECT_EQ(l.Add("c"), 1);
    l.Insert(0, "a");
    l.Insert(3, "d");
    EXPECT_EQ(Lines(l), (V{"a", "b", "c", "d"}));
    l.Delete(1);
    EXPECT_EQ(Lines(l), (V{"a", "c", "d"}));
    EXPECT_THROW(l.Strings(3), EStringListError);
    EXPECT_THROW(l.Strings(-1), EStringListError);
    EXPECT_THROW(l.Insert(5, "x"), EStringListError);
    EXPECT_THROW(l.Delete(3), EStringListError);
    l.SetStrings(0, "z");
    EXPECT_EQ(l[0], "z");
    l.Move(0, 2);
    EXPECT_EQ(Lines(l), (V{"c", "d", "z"}));
    l.Exchange(0, 2);
    EXPECT_EQ(Lines(l), (V{"z", "d", "c"}));
    EXPECT_EQ(l.IndexOf("D"), 1);  // not case sensitive by default
    l.SetCaseSensitive(true);
    EXPECT_EQ(l.IndexOf("D"), -1);
    l.Clear();
    EXPECT_EQ(l.Count(), 0);
}

TEST(StringList, ObjectsTravelWithTheirLines) {
    int a = 1, b = 2;
    TStringList l;
    l.AddObject("x", &a);
    l.AddObject("y", &b);
    l.Add("z");
    EXPECT_EQ(l.Objects(0), &a);
    EXPECT_EQ(l.Objects(2), nullptr);
    EXPECT_EQ(l.IndexOfObject(&b), 1);
    l.Move(1, 0);
    EXPECT_EQ(l.Objects(0), &b);
    l.SetSorted(true);  // sorting moves objects along with their lines
    EXPECT_EQ(Lines(l), (V{"x", "y", "z"}));
    EXPECT_EQ(l.Objects(0), &a);
    EXPECT_EQ(l.Objects(1), &b);
    TStringList copy;
    copy.Assign(l);
    EXPECT_EQ(copy.Objects(1), &b);
}

TEST(StringList, TextSplitsAtAnyLineBreak) {
    struct Case {
        std::string text;
        V lines;
    } cases[] = {
        {"", {}},
        {"a", {"a"}},
        {"a\r\n", {"a"}},
        {"a\r\nb", {"a", "b"}},
        {"a\nb\rc", {"a", "b", "c"}},
        {"a\r\n\r\nb", {"a", "", "b"}},
        {"\r\n", {""}},
        {"a\n\rb", {"a", "", "b"}},
        {std::string("a\0b", 3), {std::string("a\0b", 3)}},
    };
    for (const auto& c : cases) {
        TStringList l;
        l.SetText(c.text);
        EXPECT_EQ(Lines(l), c.lines) << c.text;
    }
    TStringList l;
    l.SetText("x\ny");
    EXPECT_EQ(l.Text(), "x\r\ny\r\n");
    l.Clear();
    EXPECT_EQ(l.Text(), "");
}

TEST(StringList, CommaTextQuotesWhatWouldNotReadBack) {
    struct Case {
        V lines;
        std::string text;
    } cases[] = {
        {{"a", "b"}, "a,b"},
        {{"a b", "c"}, "\"a b\",c"},
        {{"c,d"}, "\"c,d\""},
        {{"x\"y"}, "\"x\"\"y\""},
        {{"tab\there"}, "\"tab\there\""},
        {{"a", "", "b"}, "a,,b"},
        {{""}, "\"\""},
        {{}, ""},
    };
    for (const auto& c : cases) {
        TStringList l;
        for (const auto& s : c.lines) l.Add(s);
        EXPECT_EQ(l.CommaText(), c.text);
        TStringList back;
        back.SetCommaText(c.text);
        EXPECT_EQ(Lines(back), c.lines) << c.text;
    }
}

TEST(StringList, ReadingCommaText) {
    struct Case {
        std::string text;
        V lines;
    } cases[] = {
        {"  a , b ", {"a", "b"}},
        {"a b", {"a", "b"}},  // blanks end an unquoted item
        {"a,", {"a", ""}},    // a final comma stands for an empty item
        {"a, ", {"a"}},
        {"\"unclosed", {"unclosed"}},
        {"\"ab\"cd,e", {"ab", "cd", "e"}},
        {std::string("a,b\0,c", 6), {"a", "b"}},
    };
    for (const auto& c : cases) {
        TStringList l;
        l.SetCommaText(c.text);
        EXPECT_EQ(Lines(l), c.lines) << c.text;
    }
}

TEST(StringList, DelimitedTextWithOtherDelimiters) {
    TStringList l;
    l.SetDelimiter(';');
    l.SetQuoteChar('\'');
    l.SetDelimitedText("a b;'c;d';e");
    EXPECT_EQ(Lines(l), (V{"a", "b", "c;d", "e"}));
    EXPECT_EQ(l.DelimitedText(), "a;b;'c;d';e");
    EXPECT_EQ(l.CommaText(), "a,b,c;d,e");  // comma text ignores the list's own settings
    l.SetStrictDelimiter(true);
    l.SetDelimitedText(" a b ;c");
    EXPECT_EQ(Lines(l), (V{" a b ", "c"}));
    EXPECT_EQ(l.DelimitedText(), " a b ;c");
}

TEST(StringList, NameValueLines) {
    TStringList l;
    l.SetText("Host=db1\r\nport=3306\r\nflag\r\nempty=\r\nhost=second");
    EXPECT_EQ(l.Values("host"), "db1");  // names without case; first match counts
    EXPECT_EQ(l.Values("PORT"), "3306");
    EXPECT_EQ(l.Values("flag"), "");
    EXPECT_EQ(l.IndexOfName("flag"), -1);
    EXPECT_EQ(l.IndexOfName("empty"), 3);
    EXPECT_EQ(l.Names(0), "Host");
    EXPECT_EQ(l.Names(2), "");
    EXPECT_EQ(l.ValueFromIndex(1), "3306");
    EXPECT_EQ(l.ValueFromIndex(2), "");  // a line without "=" has no value
    l.SetValue("PORT", "3307");
    EXPECT_EQ(l[1], "PORT=3307");
    l.SetValue("user", "me");
    EXPECT_EQ(l[l.Count() - 1], "user=me");
    l.SetValue("host", "");  // an empty value removes the line
    EXPECT_EQ(l.Values("host"), "second");
    l.SetValueFromIndex(0, "a=b");
    EXPECT_EQ(l[0], "PORT=a=b");
    EXPECT_EQ(l.Values("port"), "a=b");
}

TEST(StringList, SortedListsAndDuplicates) {
    TStringList l;
    l.SetSorted(true);
    for (const char* s : {"pear", "Apple", "fig", "apple"}) l.Add(s);
    EXPECT_EQ(Lines(l), (V{"Apple", "fig", "pear"}));  // dupIgnore, case ignored
    int index = -1;
    EXPECT_TRUE(l.Find("FIG", index));
    EXPECT_EQ(index, 1);
    EXPECT_FALSE(l.Find("grape", index));
    EXPECT_EQ(index, 2);
    EXPECT_EQ(l.IndexOf("PEAR"), 2);
    EXPECT_EQ(l.Add("APPLE"), 0);  // answers the existing line
    EXPECT_THROW(l.Insert(0, "x"), EStringListError);
    EXPECT_THROW(l.SetStrings(0, "x"), EStringListError);

    l.SetDuplicates(dupError);
    EXPECT_THROW(l.Add("fig"), EStringListError);
    EXPECT_EQ(l.Count(), 3);

    l.SetDuplicates(dupAccept);
    l.Add("Fig");
    EXPECT_EQ(l.Count(), 4);
    EXPECT_TRUE(l.Find("fig", index));
    EXPECT_EQ(index, 1);  // the first of equal lines

    l.SetCaseSensitive(true);  // re-sorts with bytes compared as they are
    EXPECT_EQ(Lines(l), (V{"Apple", "Fig", "fig", "pear"}));
    l.Add("apple");
    EXPECT_EQ(Lines(l), (V{"Apple", "Fig", "apple", "fig", "pear"}));
}

TEST(StringList, CustomSortAndUnsortedAdd) {
    TStringList l;
    l.SetCommaText("ccc,a,bb");
    l.CustomSort([](const TStringList& s, int a, int b) {
        return static_cast<int>(s.Line(a).size()) - static_cast<int>(s.Line(b).size());
    });
    EXPECT_EQ(Lines(l), (V{"a", "bb", "ccc"}));
    l.SetSorted(false);
    EXPECT_EQ(l.Add("0"), 3);  // unsorted lists append
}

TEST(StringList, UpdateBracketsFoldNotifications) {
    TStringList l;
    std::vector<std::string> events;
    l.SetOnChanging([&](TStrings& s) { events.push_back("changing:" + std::to_string(s.Count())); });
    l.SetOnChange([&](TStrings& s) { events.push_back("change:" + std::to_string(s.Count())); });
    l.Add("a");
    EXPECT_EQ(events, (V{"changing:0", "change:1"}));
    events.clear();
    l.BeginUpdate();
    l.BeginUpdate();
    l.Add("b");
    l.Delete(0);
    l.EndUpdate();
    EXPECT_EQ(events, (V{"changing:1"}));
    l.EndUpdate();
    EXPECT_EQ(events, (V{"changing:1", "change:1"}));
    events.clear();
    l.SetText("x\ny\nz");  // one bracket for the whole replacement
    EXPECT_EQ(events, (V{"changing:1", "change:3"}));
    events.clear();
    l.EndUpdate();  // an unbalanced EndUpdate changes nothing
    EXPECT_TRUE(events.empty());
    EXPECT_EQ(l.UpdateCount(), 0);
}

TEST(StringList, AssignCopyAndEquals) {
    TStringList a;
    a.SetText("1\n2");
    a.SetDelimiter(';');
    int calls = 0;
    a.SetOnChange([&](TStrings&) { ++calls; });
    TStringList b(a);
    EXPECT_TRUE(b.Equals(a));
    EXPECT_EQ(b.Delimiter(), ';');
    b.Add("3");  // the copy does not carry the handler
    EXPECT_EQ(calls, 0);
    EXPECT_FALSE(b.Equals(a));
    a = b;
    EXPECT_TRUE(a.Equals(b));
    EXPECT_EQ(calls, 1);
    TStringList c;
    c.SetText("1\n2\nX");
    EXPECT_FALSE(c.Equals(a));  // letter case counts
    a.AddStrings(a);
    EXPECT_EQ(a.Count(), 6);

    // A copy taken inside an update bracket does not inherit the open bracket.
    a.BeginUpdate();
    TStringList d(a);
    a.EndUpdate();
    int dCalls = 0;
    d.SetOnChange([&](TStrings&) { ++dCalls; });
    d.Add("x");
    EXPECT_EQ(dCalls, 1);
    EXPECT_EQ(d.UpdateCount(), 0);
}

}  // namespace
