// Flag helpers, escaping and the error table.

#include <gtest/gtest.h>

#include <string>

#include "velmysql/wire/mysql_errors.h"
#include "velmysql/wire/mysql_helpers.h"

using namespace velmysql;

TEST(Helpers, CapabilityPairs) {
    EXPECT_TRUE(HasCOMPRESS(32));
    EXPECT_FALSE(HasCOMPRESS(31));
    EXPECT_EQ(SetCOMPRESS(0, true), 32u);
    EXPECT_EQ(SetCOMPRESS(48, false), 16u);
    EXPECT_EQ(SetTRANSACTIONS(0, true), 8192u);
    EXPECT_TRUE(HasLOCALFILES(128 | 1));
    EXPECT_FALSE(HasCHANGEUSER(0xFFFFFFFFu));
    EXPECT_EQ(SetCHANGEUSER(512, true), 512u);
    EXPECT_EQ(SetCHANGEUSER(512, false), 512u);  // the 4.1 bit is not dropped
}

TEST(Helpers, FieldFlags) {
    EXPECT_FALSE(IsNUM(nullptr));
    EXPECT_FALSE(IsGROUP(nullptr));
    EXPECT_FALSE(IsBLOB(nullptr));
    TMysql_FieldDef f;
    for (unsigned flags : {0u, 16u, 32768u, 32768u | 1u | 2u, 0xFFFFFFFFu}) {
        f.flags = flags;
        EXPECT_EQ(IsNUM(&f), IsGROUP(&f)) << flags;
        EXPECT_EQ(IsNUM(&f), (flags & 32768) != 0);
        EXPECT_EQ(IsBLOB(&f), (flags & 16) != 0);
        EXPECT_EQ(IsPRIKEY(&f), (flags & 2) != 0);
        EXPECT_EQ(IsUNIQUE(&f), (flags & 65536) != 0);
    }
}

TEST(Helpers, EscapeStr) {
    struct Case {
        std::string in, out;
    } cases[] = {
        {std::string("a'b\0c\\", 6), "a\\'b\\0c\\\\"},
        {"plain text 123", "plain text 123"},
        {"", ""},
        {"\t\n\r\"", "\\t\\n\\r\\\""},
        {"\x1A\xFF\x80", "\x1A\xFF\x80"},  // Ctrl-Z and high bytes unchanged
    };
    for (const auto& c : cases) EXPECT_EQ(EscapeStr(c.in), c.out);
}

TEST(Errors, TableTexts) {
    EXPECT_STREQ(client_errors[0], "Unknown MySQL error");
    EXPECT_STREQ(ClientErrorText(2013), "Lost connection to MySQL server during query");
    EXPECT_STREQ(ClientErrorText(2020), "Got packet bigger than 'max_allowed_packet'");
    EXPECT_STREQ(ClientErrorText(2021), "");
    std::string t = ClientErrorText(2014);
    EXPECT_NE(t.find(";  You"), std::string::npos);
    EXPECT_EQ(t.substr(t.size() - 3), "now");
    EXPECT_EQ(FormatClientError(ClientErrorText(2007), 8, 10),
              "Protocol mismatch. Server Version = 8 Client Version = 10");
    EXPECT_EQ(FormatClientError(ClientErrorText(2003), std::string(100, 'h').c_str(), 111),
              "Can't connect to MySQL server on '" + std::string(64, 'h') + "' (111)");
}
