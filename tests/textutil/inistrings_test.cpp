// INI text held in strings: reading, writing, erasing and the typed forms.
#include <string>

#include <gtest/gtest.h>

#include "velmysql/rtl/datetime.h"
#include "velmysql/rtl/exception.h"
#include "velmysql/textutil/inistrings.h"

using namespace velmysql;

namespace {

const std::string kParams =
    "orphan=1\r\n"
    "; comment\r\n"
    "[Client]\r\n"
    "host=db1\n"
    "host=db2\r\n"
    "Port=3306\r"
    "empty=\r\n"
    "spaced = x\r\n"
    "noequals\r\n"
    "\r\n"
    "[server]\r\n"
    "name=s1\r\n"
    "[client]\r\n"
    "user=late\r\n";

TEST(IniStrings, Reading) {
    struct Case {
        const char* section;
        const char* key;
        const char* value;
    } cases[] = {
        {"client", "host", "db1"},         // section line '[Client]'; first line counts
        {"CLIENT", "port", "3306"},
        {"client", "empty", ""},           // present but empty: not the default
        {"client", "spaced ", " x"},       // nothing trimmed on either side of "="
        {"client", "spaced", "<def>"},
        {"client", "noequals", "<def>"},
        {"client", "user", "<def>"},       // only the first '[client]' is read
        {"client", "orphan", "<def>"},     // lines above the first section are ignored
        {"server", "name", "s1"},
        {"missing", "host", "<def>"},
        {"client", "; comment", "<def>"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ReadIniString(kParams, c.section, c.key, "<def>"), c.value) << c.section << "/" << c.key;

    EXPECT_EQ(ReadIniSection(kParams, "server", "<def>"), "name=s1\r\n");
    EXPECT_EQ(ReadIniSection(kParams, "client", "<def>"),
              "host=db1\r\nhost=db2\r\nPort=3306\r\nempty=\r\nspaced = x\r\nnoequals\r\n");
    EXPECT_EQ(ReadIniSection(kParams, "nothing", "<def>"), "<def>");
    EXPECT_EQ(ReadIniSection("[a]\r\n[b]\r\nk=v", "a", "<def>"), "");
    EXPECT_EQ(ReadIniString("", "a", "b", "d"), "d");
}

TEST(IniStrings, Writing) {
    EXPECT_EQ(WriteIniString("", "client", "host", "db1"), "[client]\r\nhost=db1\r\n");

    struct Case {
        const char* text;
        const char* section;
        const char* key;
        const char* value;
        const char* result;
    } cases[] = {
        // comments, blank lines and lines above the first section are dropped
        {"top=1\r\n; note\r\n\r\n[a]\r\nk=1\r\n", "a", "k", "2", "[a]\r\nk=2\r\n"},
        // the key is spelled as the caller spells it
        {"[A]\nKEY=1\n", "a", "key", "2", "[A]\r\nkey=2\r\n"},
        // an empty value removes the line ...
        {"[a]\r\nk=1\r\nj=2\r\n", "a", "K", "", "[a]\r\nj=2\r\n"},
        // ... but is written when there is no such line
        {"[a]\r\n", "a", "k", "", "[a]\r\nk=\r\n"},
        // a new key goes to the end of its section, a new section to the end of the text
        {"[a]\r\nx=1\r\n[b]\r\ny=2\r\n", "a", "z", "3", "[a]\r\nx=1\r\nz=3\r\n[b]\r\ny=2\r\n"},
        {"[a]\r\nx=1\r\n", "c", "z", "3", "[a]\r\nx=1\r\n[c]\r\nz=3\r\n"},
        // the first of two equal section lines is written; both stay
        {"[a]\r\nx=1\r\n[a]\r\nx=2\r\n", "a", "x", "9", "[a]\r\nx=9\r\n[a]\r\nx=2\r\n"},
        // line breaks in what is written cannot split the line
        {"", "a", "pw", "x\r\n[other]\nhost=evil", "[a]\r\npw=x  [other] host=evil\r\n"},
        {"", "a\nb", "k\r", "v", "[a b]\r\nk =v\r\n"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(WriteIniString(c.text, c.section, c.key, c.value), c.result) << c.text << " / " << c.key;

    // What is written reads back.
    std::string t = WriteIniString(kParams, "client", "host", "db9");
    EXPECT_EQ(ReadIniString(t, "client", "host", ""), "db9");
    EXPECT_EQ(ReadIniString(t, "client", "Port", ""), "3306");
    t = WriteIniString("", "a", "pw", "x\r\n[b]\r\nk=v");
    EXPECT_EQ(ReadIniSection(t, "b", "<none>"), "<none>");
}

TEST(IniStrings, Erasing) {
    const std::string text = "; c\r\n[a]\r\nx=1\r\n[B]\r\ny=2\r\n[a]\r\nz=3\r\n[c]\r\n";
    EXPECT_EQ(EraseIniSection(text, "b"), "[a]\r\nx=1\r\n[a]\r\nz=3\r\n[c]\r\n");
    // every section of that name goes, so reading it afterwards finds nothing
    const std::string noA = EraseIniSection(text, "A");
    EXPECT_EQ(noA, "[B]\r\ny=2\r\n[c]\r\n");
    EXPECT_EQ(ReadIniString(noA, "a", "z", "<def>"), "<def>");
    // an absent section leaves the text exactly as it was, comments included
    EXPECT_EQ(EraseIniSection(text, "zzz"), text);
}

TEST(IniStrings, TypedValues) {
    std::string t = WriteIniInteger("", "s", "n", -42);
    t = WriteIniBoolean(t, "s", "yes", true);
    t = WriteIniBoolean(t, "s", "no", false);
    EXPECT_EQ(t, "[s]\r\nn=-42\r\nyes=True\r\nno=False\r\n");
    EXPECT_EQ(ReadIniInteger(t, "s", "n", 7), -42);
    EXPECT_TRUE(ReadIniBoolean(t, "s", "yes", false));
    EXPECT_FALSE(ReadIniBoolean(t, "s", "no", true));

    struct IntCase {
        const char* value;
        int32_t result;
    } ints[] = {{"12", 12}, {"$10", 16}, {"1.5", 7}, {"abc", 7}, {"", 7}, {"99999999999", 7}};
    for (const auto& c : ints)
        EXPECT_EQ(ReadIniInteger(WriteIniString("", "s", "k", c.value), "s", "k", 7), c.result) << c.value;
    EXPECT_EQ(ReadIniInteger("[s]\r\nk=\r\n", "s", "k", 7), 7);
    EXPECT_EQ(ReadIniInteger("", "s", "k", 7), 7);

    struct BoolCase {
        const char* value;
        bool result;
    } bools[] = {{"TRUE", true}, {"true", true}, {"tRuE", true}, {"true ", false}, {"1", false}, {"yes", false}};
    for (const auto& c : bools) {
        EXPECT_EQ(ReadIniBoolean(WriteIniString("", "s", "k", c.value), "s", "k", true), c.result) << c.value;
    }
    EXPECT_TRUE(ReadIniBoolean("", "s", "k", true));
    EXPECT_FALSE(ReadIniBoolean("[s]\r\nk=\r\n", "s", "k", true));
}

TEST(IniStrings, FloatsAndDateTimesUseTheRegionalSeparator) {
    TFormatSettings comma;
    comma.DecimalSeparator = ',';
    TFormatSettings dot;

    std::string t = WriteIniFloat("", "s", "f", 2.5, comma);
    EXPECT_EQ(t, "[s]\r\nf=2,5\r\n");
    EXPECT_EQ(ReadIniFloat(t, "s", "f", 0, comma), 2.5);
    EXPECT_THROW(ReadIniFloat(t, "s", "f", 0, dot), EConvertError);
    EXPECT_EQ(ReadIniFloat(t, "s", "missing", 1.25, dot), 1.25);
    EXPECT_THROW(ReadIniFloat("[s]\r\nf=abc\r\n", "s", "f", 0, dot), EConvertError);
    EXPECT_THROW(ReadIniFloat("[s]\r\nf=\r\n", "s", "f", 0, dot), EConvertError);

    const TDateTime when = EncodeDate(2006, 4, 6) + EncodeTime(18, 0, 0, 0);
    t = WriteIniDateTime("", "s", "d", when, dot);
    EXPECT_EQ(t, "[s]\r\nd=38813.75\r\n");
    EXPECT_EQ(ReadIniDateTime(t, "s", "d", 0, dot), when);
    EXPECT_EQ(ReadIniDateTime(t, "s", "x", 5, dot), 5);
    EXPECT_THROW(ReadIniDateTime("[s]\r\nd=2006-04-06\r\n", "s", "d", 0, dot), EConvertError);

    // The forms without settings read the process-wide record.
    const TFormatSettings saved = FormatSettings();
    SetFormatSettings(comma);
    EXPECT_EQ(WriteIniFloat("", "s", "f", 0.5), "[s]\r\nf=0,5\r\n");
    EXPECT_EQ(ReadIniFloat("[s]\r\nf=0,25\r\n", "s", "f", 0), 0.25);
    SetFormatSettings(saved);
}

}  // namespace
