// The login dialogs over the scripted dialog service: what each shows and what it writes
// back on OK and on Cancel.

#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "velmysql/rtl/dialogs.h"
#include "velmysql/server/login_dialog.h"

namespace velmysql {
namespace {

class LoginDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        auto scripted = std::make_unique<TScriptedDialogs>();
        dialogs = scripted.get();
        previous = SetDialogService(std::move(scripted));
    }
    void TearDown() override { SetDialogService(std::move(previous)); }
    const TLoginPrompt& Shown() const { return dialogs->Shown().at(0).Prompt; }
    bool Visible(const char* field) const { return Shown().Field(field)->Visible; }

    TScriptedDialogs* dialogs = nullptr;
    std::unique_ptr<TDialogService> previous;
};

TEST_F(LoginDialogTest, MySQLLoginDialogCancelledChangesNothing) {
    std::string host = "db", port = "3307", user = "ann", password = "kept";
    dialogs->AnswerLogin(false, {{"DatabaseName", "x"}, {"Password", "typed"}});
    EXPECT_FALSE(MySQLLoginDialog(host, port, user, password));
    EXPECT_EQ(host, "db");
    EXPECT_EQ(port, "3307");
    EXPECT_EQ(user, "ann");
    EXPECT_EQ(password, "kept");
}

TEST_F(LoginDialogTest, MySQLLoginDialogShowsAllFieldsAndWritesThemBack) {
    std::string host = "db", port = "3307", user = "ann", password = "not shown";
    dialogs->AnswerLogin(true, {{"DatabaseName", "other"}, {"Port", "44o6"}, {"UserName", "bob"},
                                {"Password", "typed"}});
    EXPECT_TRUE(MySQLLoginDialog(host, port, user, password));
    EXPECT_EQ(Shown().Caption, "Database Login");
    EXPECT_EQ(Shown().Field("DatabaseName")->Value, "db");
    EXPECT_EQ(Shown().Field("DatabaseName")->Label, "Server:");
    EXPECT_EQ(Shown().Field("Port")->Value, "3307");
    EXPECT_EQ(Shown().Field("UserName")->Value, "ann");
    EXPECT_EQ(Shown().Field("UserName")->MaxLength, 31u);
    EXPECT_EQ(Shown().Field("Password")->Value, "");
    EXPECT_TRUE(Shown().Field("Password")->Password);
    EXPECT_TRUE(Visible("DatabaseName") && Visible("Port") && Visible("UserName") && Visible("Password"));
    EXPECT_EQ(host, "other");
    EXPECT_EQ(port, "446") << "the port edit holds digits only";
    EXPECT_EQ(user, "bob");
    EXPECT_EQ(password, "typed");
}

TEST_F(LoginDialogTest, LoginDialogExWritesOnlyUserAndPassword) {
    std::string user = "ann", password = "not shown";
    dialogs->AnswerLogin(true, {{"DatabaseName", "ignored"}, {"UserName", "bob"}, {"Password", "typed"}});
    EXPECT_TRUE(LoginDialogEx("db.example", user, password, true));
    EXPECT_EQ(Shown().Field("DatabaseName")->Value, "db.example");
    EXPECT_EQ(Shown().Field("Port")->Value, "3306");
    EXPECT_EQ(Shown().Field("UserName")->Value, "ann");
    EXPECT_EQ(Shown().Field("Password")->Value, "");
    EXPECT_EQ(user, "bob");
    EXPECT_EQ(password, "typed");

    dialogs->AnswerLogin(false);
    EXPECT_FALSE(LoginDialogEx("db.example", user, password, false));
    EXPECT_EQ(user, "bob");
    EXPECT_EQ(password, "typed");
}

TEST_F(LoginDialogTest, RemoteLoginDialogHidesTheHost) {
    std::string user = "ann", password = "not shown";
    dialogs->AnswerLogin(true, {{"UserName", "bob"}, {"Password", "typed"}});
    EXPECT_TRUE(RemoteLoginDialog(user, password));
    EXPECT_EQ(Shown().Caption, "Remote Login");
    EXPECT_FALSE(Visible("DatabaseName"));
    EXPECT_TRUE(Visible("Port"));
    EXPECT_EQ(Shown().Field("Port")->Value, "3306");
    EXPECT_EQ(Shown().Field("Password")->Value, "");
    EXPECT_EQ(user, "bob");
    EXPECT_EQ(password, "typed");
}

}  // namespace
}  // namespace velmysql
