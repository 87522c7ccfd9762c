#pragma once
// The dialog service: message boxes and the modal login prompt behind one interface.
//
// The library asks the process-wide service (Dialogs()); applications install their
// own with SetDialogService. Two implementations come with the library: a terminal one
// (the default) and a scripted one for tests, which records what was shown and answers
// from a queue.

#include <cstddef>
#include <deque>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "velmysql/rtl/set.h"

namespace velmysql {

enum TMsgDlgType { mtWarning, mtError, mtInformation, mtConfirmation, mtCustom };
enum TMsgDlgBtn { mbYes, mbNo, mbOK, mbCancel, mbAbort, mbRetry, mbIgnore };
using TMsgDlgButtons = TSet<TMsgDlgBtn>;

using TModalResult = int;
constexpr TModalResult mrNone = 0;
constexpr TModalResult mrOk = 1;
constexpr TModalResult mrCancel = 2;
constexpr TModalResult mrAbort = 3;
constexpr TModalResult mrRetry = 4;
constexpr TModalResult mrIgnore = 5;
constexpr TModalResult mrYes = 6;
constexpr TModalResult mrNo = 7;

struct TLoginField {
    std::string Name;       // key the caller finds the field by, e.g. "UserName"
    std::string Label;      // e.g. "&User Name:"; '&' marks the accelerator
    std::string Value;      // shown first; replaced by what the user entered on OK
    bool Password = false;  // entered without echo
    bool Visible = true;    // a hidden field is neither shown nor changed
    size_t MaxLength = 0;   // 0: no limit; longer input is cut
};

struct TLoginPrompt {
    std::string Caption;
    std::vector<TLoginField> Fields;
    TLoginField* Field(const std::string& Name);
    const TLoginField* Field(const std::string& Name) const;
};

class TDialogService {
public:
    virtual ~TDialogService() = default;
    // Shows Text with the given buttons and answers the button chosen (mrYes, mrNo...).
    virtual TModalResult MessageDlg(const std::string& Text, TMsgDlgType Type, TMsgDlgButtons Buttons) = 0;
    // Shows the prompt modally. On OK the visible fields hold the entered values and the
    // answer is true; on Cancel the fields are left as they were and the answer is false.
    virtual bool LoginPrompt(TLoginPrompt& Prompt) = 0;
};

// The answer a dialog gives when nobody can answer: OK for a box that only has OK,
// otherwise the first of No, Cancel, Abort that it offers.
TModalResult NegativeAnswer(TMsgDlgButtons Buttons);

TDialogService& Dialogs();
// Installs Service (null: the terminal service) and answers the previous one.
std::unique_ptr<TDialogService> SetDialogService(std::unique_ptr<TDialogService> Service);

// An error box with one OK button.
void ShowErrorBox(const std::string& Text);
// A warning with Yes and No; true for Yes.
bool WarningYesNo(const std::string& Text);
// A warning with Yes and Abort; true for Yes.
bool WarningYesAbort(const std::string& Text);

// Talks to a terminal on the given descriptors (standard input and standard error by
// default). Passwords are read without echo. When the input is not a terminal nothing is
// read: message boxes are printed and given the negative answer, and the login prompt
// answers Cancel.
class TTerminalDialogs : public TDialogService {
public:
    explicit TTerminalDialogs(int InputFd = 0, int OutputFd = 2) : in_(InputFd), out_(OutputFd) {}
    TModalResult MessageDlg(const std::string& Text, TMsgDlgType Type, TMsgDlgButtons Buttons) override;
    bool LoginPrompt(TLoginPrompt& Prompt) override;

private:
    void Write(const std::string& text);
    // Shows prompt and reads one line without its end; false at end of input.
    bool Ask(const std::string& prompt, std::string& line, bool hidden);
    int in_, out_;
};

// For tests: records every dialog and answers from a queue. With no queued answer a
// message box gets NegativeAnswer and the login prompt Cancel.
class TScriptedDialogs : public TDialogService {
public:
    struct TShown {
        bool Login = false;
        std::string Text;  // message text, or the login caption
        TMsgDlgType Type = mtCustom;
        TMsgDlgButtons Buttons;
        TLoginPrompt Prompt;  // the prompt as shown, before the answer
        TModalResult Result = mrNone;
    };

    // Queues the answer for the next message box.
    void AnswerMessage(TModalResult Result);
    // Queues the answer for the next login prompt: OK with these field values (by name;
    // fields not named keep their values), or Cancel.
    void AnswerLogin(bool Ok, std::map<std::string, std::string> Values = {});

    const std::vector<TShown>& Shown() const { return shown_; }
    size_t PendingAnswers() const { return answers_.size(); }
    void Clear();

    TModalResult MessageDlg(const std::string& Text, TMsgDlgType Type, TMsgDlgButtons Buttons) override;
    bool LoginPrompt(TLoginPrompt& Prompt) override;

private:
    struct Answer {
        bool login;
        TModalResult result;
        std::map<std::string, std::string> values;
    };
    std::deque<Answer> answers_;
    std::vector<TShown> shown_;
};

}  // namespace velmysql
