// Version numbers, reserved words, identifier quoting and the embedded server's arguments.

#include <gtest/gtest.h>

#include "fake_driver.h"
#include "velmysql/drivers/identifiers.h"
#include "velmysql/drivers/mysql_embedded.h"
#include "velmysql/drivers/version_number.h"

namespace velmysql {
namespace {

TEST(VersionNumber, Texts) {
    struct Case {
        const char* text;
        int expected;
    } cases[] = {
        {"4.1.14", 40114},
        {"5.0.45-community-nt", 50045},
        {"5.1.22-rc-community", 50122},
        {"4.1.14a", 40114},
        {"5.5.5-10.11.19-MariaDB", 50505},
        {"10.11.19-MariaDB-0+deb12u1-embedded", 101119},
        {"3.23.6", 32306},
        {"", 32100},
        {"garbage", 32100},
        {"4", 42100},           // minor and patch missing
        {"4.x.7", 42100},       // minor not a number; for the patch "x" separates, leaving two words
        {"..4--1  2", 40102},   // runs of separators make no empty words
        {"4.1.beta", 40100},    // the patch word has only letters
    };
    for (const Case& c : cases) EXPECT_EQ(MySQLVersionNumber(c.text), c.expected) << c.text;
}

TEST(ReservedWords, TextAndLookup) {
    const std::string& text = MySQLReservedWordText();
    EXPECT_EQ(text.substr(0, 12), ",ACTION,ADD,");
    EXPECT_EQ(text.substr(text.size() - 10), ",ZEROFILL,");
    EXPECT_EQ(std::count(text.begin(), text.end(), ','), 240);  // 239 words
    struct Case {
        const char* word;
        bool reserved;
    } cases[] = {
        {"Select", true}, {"select", true}, {"ZEROFILL", true}, {"action", true}, {"selects", false},
        {"sel", false},   {"", false},      {"add,all", true},  {"customer", false}, {"sql_tsi_day", true},
    };
    for (const Case& c : cases) EXPECT_EQ(IsMySQLReservedWord(c.word), c.reserved) << c.word;
}

TEST(Identifiers, QuotingAndFormatting) {
    struct Case {
        const char* name;
        bool quote;
        const char* formatted;
    } cases[] = {
        {"customer", false, "customer"},
        {"my_col$2", false, "my_col$2"},
        {"order", true, "`order`"},
        {"select", true, "`select`"},
        {"my table", true, "`my table`"},
        {"2nd", true, "`2nd`"},
        {"stra\xdf" "e", true, "`stra\xdf" "e`"},  // a byte above 127
        {"a-b", true, "`a-b`"},
        {"", false, ""},
        {"shop.order", true, "shop.`order`"},
        {"db.my table", true, "db.`my table`"},
        {"a..b", true, "a.b"},
        {"shop.customer", true, "shop.customer"},
        // Inner backquotes are doubled, so the name cannot leave its quotes.
        {"a`b", true, "`a``b`"},
        {"x` ; drop table t; `", true, "`x`` ; drop table t; ```"},
        {"`abc", true, "```abc`"},
        // Names already enclosed pass unchanged, also with doubled inner backquotes.
        {"`my table`", false, "`my table`"},
        {"`a``b`", false, "`a``b`"},
        {"`a.b`", false, "`a.b`"},
        {"`my db`.`t`", true, "`my db`.`t`"},
        {"`my db`.order", true, "`my db`.`order`"},
        // Starts and ends with a backquote but is not one identifier.
        {"`a`b`", true, "```a``b```"},
    };
    testing::ResetWorld();
    testing::FakeDriver d;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(d.QuoteIdentifier(c.name), c.quote);
        EXPECT_EQ(d.FormatIdentifier(c.name), c.formatted);
    }
    // Quoting does not depend on the connection state.
    d.Open("h", "u", "p", 1, 0, "");
    EXPECT_FALSE(d.QuoteIdentifier("`x`"));
    EXPECT_TRUE(d.QuoteIdentifier("`x"));
    EXPECT_FALSE(d.QuoteIdentifier(""));
}

TEST(EmbeddedServer, ArgumentsAndGroups) {
    EXPECT_EQ(EmbeddedServerArguments("/opt/app", {"basedir=/usr", "datadir=/var/x"}),
              (std::vector<std::string>{"/opt/app", "--basedir=/usr", "--datadir=/var/x"}));
    EXPECT_EQ(EmbeddedServerArguments("/opt/app", {""}), (std::vector<std::string>{"/opt/app", "--"}));
    // Connection keys stay with the connections: the server refuses them as unknown variables.
    EXPECT_EQ(EmbeddedServerArguments("/opt/app", {"autoreconnect=1", "no-defaults", "Connect_Timeout=5", "pipe",
                                                   "protocol=tcp", "read_timeout=1", "write_timeout=1"}),
              (std::vector<std::string>{"/opt/app", "--no-defaults"}));
    EXPECT_EQ(EmbeddedServerGroups("/opt/app"), (std::vector<std::string>{"/opt/app_SERVER", "embedded", "server"}));
}

}  // namespace
}  // namespace velmysql
