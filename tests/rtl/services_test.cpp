// Screen cursor, dialog service and memory streams.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "velmysql/rtl/application.h"
#include "velmysql/rtl/dialogs.h"
#include "velmysql/rtl/exception.h"
#include "velmysql/rtl/screen.h"
#include "velmysql/rtl/stream.h"

namespace velmysql {
namespace {

TEST(Screen, CursorHookHearsChangesOnly) {
    std::vector<TCursor> heard;
    auto old = Screen().SetOnCursorChange([&](TCursor c) { heard.push_back(c); });
    Screen().SetCursor(crDefault);
    Screen().SetCursor(crSQLWait);
    Screen().SetCursor(crSQLWait);
    Screen().SetCursor(crAppStart);
    Screen().SetCursor(crDefault);
    Screen().SetOnCursorChange(old);
    EXPECT_EQ(heard, (std::vector<TCursor>{crSQLWait, crAppStart, crDefault}));
    EXPECT_EQ(crHourGlass, -11);
    EXPECT_EQ(crSQLWait, -17);
    EXPECT_EQ(crAppStart, -19);
}

TLoginPrompt ServerPrompt() {
    TLoginPrompt p;
    p.Caption = "Database Login";
    p.Fields = {{"DatabaseName", "Server:", "localhost", false, true, 0},
                {"Port", "Port:", "3306", false, true, 5},
                {"UserName", "&User Name:", "root", false, true, 31},
                {"Password", "&Password:", "", true, true, 31}};
    return p;
}

TEST(Dialogs, ScriptedServiceRecordsAndAnswersInOrder) {
    auto scripted = std::make_unique<TScriptedDialogs>();
    TScriptedDialogs* s = scripted.get();
    auto previous = SetDialogService(std::move(scripted));
    s->AnswerMessage(mrYes);
    s->AnswerLogin(true, {{"UserName", "alice"}, {"Password", "secret"}, {"Port", "3307123"}});
    s->AnswerLogin(false, {{"UserName", "bob"}});

    EXPECT_TRUE(WarningYesNo("Drop it?"));
    TLoginPrompt ok = ServerPrompt();
    EXPECT_TRUE(Dialogs().LoginPrompt(ok));
    TLoginPrompt cancelled = ServerPrompt();
    EXPECT_FALSE(Dialogs().LoginPrompt(cancelled));
    // Nothing queued any more: the negative answer of each box.
    EXPECT_FALSE(WarningYesAbort("Connect anyway?"));
    ShowErrorBox("Must select Server first");
    TLoginPrompt unanswered = ServerPrompt();
    EXPECT_FALSE(Dialogs().LoginPrompt(unanswered));

    EXPECT_EQ(ok.Field("UserName")->Value, "alice");
    EXPECT_EQ(ok.Field("Password")->Value, "secret");
    EXPECT_EQ(ok.Field("Port")->Value, "33071");  // cut to the field's limit
    EXPECT_EQ(ok.Field("DatabaseName")->Value, "localhost");
    EXPECT_EQ(cancelled.Field("UserName")->Value, "root");  // a cancelled prompt changes nothing

    const auto& shown = s->Shown();
    ASSERT_EQ(shown.size(), 6u);
    EXPECT_EQ(shown[0].Text, "Drop it?");
    EXPECT_EQ(shown[0].Type, mtWarning);
    EXPECT_EQ(shown[0].Buttons, (TMsgDlgButtons{mbYes, mbNo}));
    EXPECT_TRUE(shown[1].Login);
    EXPECT_EQ(shown[1].Prompt.Field("UserName")->Value, "root");  // as shown, before the answer
    EXPECT_EQ(shown[1].Result, mrOk);
    EXPECT_EQ(shown[2].Result, mrCancel);
    EXPECT_EQ(shown[3].Result, mrAbort);
    EXPECT_EQ(shown[4].Type, mtError);
    EXPECT_EQ(shown[4].Result, mrOk);
    EXPECT_EQ(shown[5].Result, mrCancel);
    EXPECT_EQ(s->PendingAnswers(), 0u);

    // A script out of step with what the code shows is reported, not silently consumed.
    s->AnswerLogin(true);
    EXPECT_THROW(WarningYesNo("?"), Exception);
    s->Clear();
    s->AnswerLogin(true, {{"NoSuchField", "x"}});
    TLoginPrompt p = ServerPrompt();
    EXPECT_THROW(Dialogs().LoginPrompt(p), Exception);
    EXPECT_EQ(p.Field("UserName")->Value, "root");
    SetDialogService(std::move(previous));
}

TEST(Dialogs, NegativeAnswerTable) {
    struct Case {
        TMsgDlgButtons buttons;
        TModalResult answer;
    };
    for (Case c : std::vector<Case>{{{mbOK}, mrOk},
                                    {{mbYes, mbNo}, mrNo},
                                    {{mbYes, mbAbort}, mrAbort},
                                    {{mbOK, mbCancel}, mrCancel},
                                    {{}, mrCancel}})
        EXPECT_EQ(NegativeAnswer(c.buttons), c.answer) << c.buttons.Bits();
}

TEST(Dialogs, TerminalWithoutTerminalAnswersCancelAndNegative) {
    int in[2], out[2];
    ASSERT_EQ(pipe(in), 0);
    ASSERT_EQ(pipe(out), 0);
    ASSERT_EQ(write(in[1], "y\nalice\n", 8), 8);  // must not be read: not a terminal
    TTerminalDialogs d(in[0], out[1]);
    EXPECT_EQ(d.MessageDlg("Proceed?", mtWarning, {mbYes, mbNo}), mrNo);
    TLoginPrompt p = ServerPrompt();
    EXPECT_FALSE(d.LoginPrompt(p));
    EXPECT_EQ(p.Field("UserName")->Value, "root");
    char buf[64];
    EXPECT_EQ(read(in[0], buf, sizeof buf), 8);  // the input is still there
    close(out[1]);
    std::string shown;
    ssize_t n;
    while ((n = read(out[0], buf, sizeof buf)) > 0) shown.append(buf, static_cast<size_t>(n));
    EXPECT_EQ(shown, "Warning: Proceed?\n");
    for (int fd : {in[0], in[1], out[0]}) close(fd);
}

// Reads what the dialog wrote to the terminal until Expected appears (or 5 s pass).
std::string ReadUntil(int master, const std::string& expected, std::string& seen) {
    char buf[256];
    for (int waited = 0; seen.find(expected) == std::string::npos && waited < 5000; waited += 10) {
        pollfd pfd{master, POLLIN, 0};
        if (poll(&pfd, 1, 10) > 0) {
            ssize_t n = read(master, buf, sizeof buf);
            if (n > 0) seen.append(buf, static_cast<size_t>(n));
        }
    }
    return seen;
}

TEST(Dialogs, TerminalLoginReadsFieldsAndHidesThePassword) {
    int master = posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master, 0);
    ASSERT_EQ(grantpt(master), 0);
    ASSERT_EQ(unlockpt(master), 0);
    int slave = open(ptsname(master), O_RDWR | O_NOCTTY);
    ASSERT_GE(slave, 0);

    TLoginPrompt p = ServerPrompt();
    bool ok = false;
    std::thread ui([&] { ok = TTerminalDialogs(slave, slave).LoginPrompt(p); });
    std::string seen;
    auto answer = [&](const std::string& prompt, const std::string& typed) {
        ReadUntil(master, prompt, seen);
        ASSERT_EQ(write(master, typed.data(), typed.size()), static_cast<ssize_t>(typed.size()));
    };
    answer("Server: [localhost] ", "\n");        // empty keeps the value shown
    answer("Port: [3306] ", "3307\n");
    answer("User Name: [root] ", "alice\n");
    answer("Password: ", "s3cret-pw\n");
    ui.join();
    ReadUntil(master, "\n", seen);
    EXPECT_TRUE(ok);
    EXPECT_EQ(p.Field("DatabaseName")->Value, "localhost");
    EXPECT_EQ(p.Field("Port")->Value, "3307");
    EXPECT_EQ(p.Field("UserName")->Value, "alice");
    EXPECT_EQ(p.Field("Password")->Value, "s3cret-pw");
    EXPECT_NE(seen.find("alice"), std::string::npos);        // ordinary input echoes
    EXPECT_EQ(seen.find("s3cret"), std::string::npos);       // the password does not
    termios t{};
    ASSERT_EQ(tcgetattr(slave, &t), 0);
    EXPECT_TRUE(t.c_lflag & ECHO);  // echo is back on afterwards

    // End of input at any field cancels and leaves the prompt as it was.
    TLoginPrompt q = ServerPrompt();
    seen.clear();
    bool ok2 = true;
    std::thread ui2([&] { ok2 = TTerminalDialogs(slave, slave).LoginPrompt(q); });
    answer("Server: [localhost] ", "otherhost\n");
    answer("Port: [3306] ", "\x04");  // ^D on an empty line
    ui2.join();
    EXPECT_FALSE(ok2);
    EXPECT_EQ(q.Field("DatabaseName")->Value, "localhost");
    close(slave);
    close(master);
}

TEST(MemoryStream, ReadWriteSeekAndTruncate) {
    TMemoryStream m;
    m.WriteBuffer("hello world", 11);
    EXPECT_EQ(m.Size(), 11);
    EXPECT_EQ(m.Position(), 11);
    struct Case {
        int64_t offset;
        TSeekOrigin origin;
        int64_t expected;
    };
    for (Case c : std::vector<Case>{{0, soBeginning, 0}, {6, soCurrent, 6}, {-5, soEnd, 6}, {2, soCurrent, 8},
                                    {0, soEnd, 11}, {4, soEnd, 15}})
        EXPECT_EQ(m.Seek(c.offset, c.origin), c.expected);
    EXPECT_THROW(m.Seek(-1, soBeginning), EStreamError);
    EXPECT_THROW(m.Seek(-12, soEnd), EStreamError);
    EXPECT_EQ(m.Position(), 15);  // a failed seek leaves the position
    // Writing past the end fills the gap with zeros.
    m.WriteBuffer("!", 1);
    EXPECT_EQ(m.DataString(), std::string("hello world\0\0\0\0!", 16));
    char buf[8] = {};
    EXPECT_EQ(m.Read(buf, sizeof buf), 0u);
    m.SetPosition(6);
    EXPECT_EQ(m.Read(buf, 5), 5u);
    EXPECT_EQ(std::string(buf, 5), "world");
    // Truncating moves a position past the new end back to it.
    m.SetSize(5);
    EXPECT_EQ(m.Position(), 5);
    EXPECT_EQ(m.DataString(), "hello");
    m.SetPosition(0);
    EXPECT_THROW(m.ReadBuffer(buf, 6), EReadError);
    EXPECT_THROW(m.SetSize(-1), EStreamError);

    TMemoryStream copy;
    copy.CopyFrom(m, 0);
    EXPECT_EQ(copy.DataString(), "hello");
    m.SetPosition(1);
    TMemoryStream part;
    EXPECT_EQ(part.CopyFrom(m, 3), 3);
    EXPECT_EQ(part.DataString(), "ell");
    EXPECT_THROW(part.CopyFrom(m, 5), EReadError);  // only 1 byte left after "ell"
    m.Clear();
    EXPECT_EQ(m.Size(), 0);
}

// An exception that must not escape goes to the application's handler; without one it
// is shown in an error box, except the silent abort.
TEST(ApplicationExceptions, HandlerOrErrorBox) {
    auto scripted = std::make_unique<TScriptedDialogs>();
    TScriptedDialogs* shown = scripted.get();
    auto previousDialogs = SetDialogService(std::move(scripted));
    auto raiseAndHandle = [](auto exception) {
        try {
            throw exception;
        } catch (...) {
            HandleException();
        }
    };
    raiseAndHandle(Exception("disk full"));
    raiseAndHandle(EAbort());
    ASSERT_EQ(shown->Shown().size(), 1u);
    EXPECT_EQ(shown->Shown()[0].Text, "disk full");
    EXPECT_EQ(shown->Shown()[0].Type, mtError);

    std::vector<std::string> handled;
    auto previousHandler = SetApplicationExceptionHandler([&](std::exception_ptr e) {
        try {
            std::rethrow_exception(e);
        } catch (const std::exception& x) {
            handled.push_back(x.what());
        }
    });
    raiseAndHandle(Exception("lost connection"));
    EXPECT_EQ(handled, std::vector<std::string>{"lost connection"});
    EXPECT_EQ(shown->Shown().size(), 1u) << "the handler took it";
    SetApplicationExceptionHandler(std::move(previousHandler));
    SetDialogService(std::move(previousDialogs));
}

}  // namespace
}  // namespace velmysql
