#include "velmysql/rtl/dialogs.h"

#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <mutex>

#include "velmysql/rtl/exception.h"

namespace velmysql {

namespace {

std::mutex serviceLock;
std::unique_ptr<TDialogService>& ServiceSlot() {
    static std::unique_ptr<TDialogService> service = std::make_unique<TTerminalDialogs>();
    return service;
}

struct ButtonText {
    TMsgDlgBtn button;
    const char* word;
    TModalResult result;
};
constexpr ButtonText kButtons[] = {
    {mbYes, "Yes", mrYes},         {mbNo, "No", mrNo},          {mbOK, "OK", mrOk},
    {mbCancel, "Cancel", mrCancel}, {mbAbort, "Abort", mrAbort}, {mbRetry, "Retry", mrRetry},
    {mbIgnore, "Ignore", mrIgnore},
};

const char* TypeTitle(TMsgDlgType type) {
    switch (type) {
        case mtWarning: return "Warning";
        case mtError: return "Error";
        case mtInformation: return "Information";
        case mtConfirmation: return "Confirm";
        case mtCustom: break;
    }
    return "Message";
}

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; }

bool SameWordPrefix(const std::string& typed, const char* word) {
    if (typed.empty()) return false;
    for (size_t i = 0; i < typed.size(); ++i)
        if (word[i] == 0 || Lower(typed[i]) != Lower(word[i])) return false;
    return true;
}

std::string WithoutAccelerator(const std::string& label) {
    std::string out;
    for (size_t i = 0; i < label.size(); ++i) {
        if (label[i] == '&' && i + 1 < label.size() && label[i + 1] != '&') continue;
        out += label[i];
    }
    return out;
}

}  // namespace

TLoginField* TLoginPrompt::Field(const std::string& Name) {
    for (TLoginField& f : Fields)
        if (f.Name == Name) return &f;
    return nullptr;
}

const TLoginField* TLoginPrompt::Field(const std::string& Name) const {
    return const_cast<TLoginPrompt*>(this)->Field(Name);
}

TModalResult NegativeAnswer(TMsgDlgButtons Buttons) {
    if (Buttons.Contains(mbNo)) return mrNo;
    if (Buttons.Contains(mbCancel)) return mrCancel;
    if (Buttons.Contains(mbAbort)) return mrAbort;
    if (Buttons.Contains(mbOK)) return mrOk;
    return mrCancel;
}

TDialogService& Dialogs() {
    std::lock_guard<std::mutex> guard(serviceLock);
    return *ServiceSlot();
}

std::unique_ptr<TDialogService> SetDialogService(std::unique_ptr<TDialogService> Service) {
    if (!Service) Service = std::make_unique<TTerminalDialogs>();
    std::lock_guard<std::mutex> guard(serviceLock);
    std::swap(ServiceSlot(), Service);
    return Service;
}

void ShowErrorBox(const std::string& Text) { Dialogs().MessageDlg(Text, mtError, {mbOK}); }
bool WarningYesNo(const std::string& Text) { return Dialogs().MessageDlg(Text, mtWarning, {mbYes, mbNo}) == mrYes; }
bool WarningYesAbort(const std::string& Text) {
    return Dialogs().MessageDlg(Text, mtWarning, {mbYes, mbAbort}) == mrYes;
}

// ---- terminal

void TTerminalDialogs::Write(const std::string& text) {
    size_t done = 0;
    while (done < text.size()) {
        ssize_t n = ::write(out_, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;  // nowhere to show it; the answer does not depend on it
        done += static_cast<size_t>(n);
    }
}

bool TTerminalDialogs::Ask(const std::string& prompt, std::string& line, bool hidden) {
    termios saved{};
    bool restore = false;
    // Echo goes off before the prompt appears, so nothing typed after it is shown, and
    // without flushing, so nothing typed already is lost.
    if (hidden && tcgetattr(in_, &saved) == 0) {
        termios quiet = saved;
        quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        quiet.c_lflag |= ECHONL;
        restore = tcsetattr(in_, TCSANOW, &quiet) == 0;
    }
    Write(prompt);
    line.clear();
    bool gotLine = false;
    // One byte at a time, so that nothing after the line is taken from the terminal.
    for (;;) {
        char c;
        ssize_t n = ::read(in_, &c, 1);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        if (c == '\n') {
            gotLine = true;
            break;
        }
        if (c != '\r') line += c;
    }
    if (restore) tcsetattr(in_, TCSANOW, &saved);
    return gotLine || !line.empty();
}

TModalResult TTerminalDialogs::MessageDlg(const std::string& Text, TMsgDlgType Type, TMsgDlgButtons Buttons) {
    std::string choices;
    for (const ButtonText& b : kButtons)
        if (Buttons.Contains(b.button)) choices += std::string(choices.empty() ? "" : "/") + b.word;
    Write(std::string(TypeTitle(Type)) + ": " + Text + "\n");
    if (!isatty(in_)) return NegativeAnswer(Buttons);
    // A box with just OK needs only an acknowledgement.
    if (Buttons == TMsgDlgButtons{mbOK} || Buttons.Empty()) {
        std::string ignored;
        Ask("[OK] ", ignored, false);
        return mrOk;
    }
    for (;;) {
        std::string typed;
        if (!Ask(choices + "? ", typed, false)) return NegativeAnswer(Buttons);
        for (const ButtonText& b : kButtons)
            if (Buttons.Contains(b.button) && SameWordPrefix(typed, b.word)) return b.result;
    }
}

bool TTerminalDialogs::LoginPrompt(TLoginPrompt& Prompt) {
    if (!isatty(in_)) return false;
    Write(Prompt.Caption + "\n");
    std::vector<std::string> entered;
    for (const TLoginField& f : Prompt.Fields) {
        if (!f.Visible) {
            entered.push_back(f.Value);
            continue;
        }
        std::string label = WithoutAccelerator(f.Label);
        // A password is never shown, not even as a default.
        if (!f.Password && !f.Value.empty()) label += " [" + f.Value + "]";
        std::string line;
        if (!Ask(label + " ", line, f.Password)) {
            Write("\n");
            return false;  // end of input cancels
        }
        if (line.empty() && !f.Password) line = f.Value;
        if (f.MaxLength > 0 && line.size() > f.MaxLength) line.resize(f.MaxLength);
        entered.push_back(line);
    }
    for (size_t i = 0; i < Prompt.Fields.size(); ++i) Prompt.Fields[i].Value = entered[i];
    return true;
}

// ---- scripted

void TScriptedDialogs::AnswerMessage(TModalResult Result) { answers_.push_back(Answer{false, Result, {}}); }

void TScriptedDialogs::AnswerLogin(bool Ok, std::map<std::string, std::string> Values) {
    answers_.push_back(Answer{true, Ok ? mrOk : mrCancel, std::move(Values)});
}

void TScriptedDialogs::Clear() {
    answers_.clear();
    shown_.clear();
}

TModalResult TScriptedDialogs::MessageDlg(const std::string& Text, TMsgDlgType Type, TMsgDlgButtons Buttons) {
    TShown s;
    s.Text = Text;
    s.Type = Type;
    s.Buttons = Buttons;
    if (answers_.empty()) {
        s.Result = NegativeAnswer(Buttons);
    } else {
        if (answers_.front().login) throw Exception("Scripted dialogs: a message box came where a login prompt was expected: " + Text);
        s.Result = answers_.front().result;
        answers_.pop_front();
    }
    shown_.push_back(s);
    return s.Result;
}

bool TScriptedDialogs::LoginPrompt(TLoginPrompt& Prompt) {
    TShown s;
    s.Login = true;
    s.Text = Prompt.Caption;
    s.Prompt = Prompt;
    s.Result = mrCancel;
    if (!answers_.empty()) {
        if (!answers_.front().login) throw Exception("Scripted dialogs: a login prompt came where a message box was expected");
        Answer a = std::move(answers_.front());
        answers_.pop_front();
        s.Result = a.result;
        if (a.result == mrOk) {
            for (auto& [name, value] : a.values)
                if (!Prompt.Field(name)) throw Exception("Scripted dialogs: the login prompt has no field " + name);
            for (auto& [name, value] : a.values) {
                TLoginField* f = Prompt.Field(name);
                if (!f->Visible) continue;  // hidden fields cannot be edited
                f->Value = value;
                if (f->MaxLength > 0 && f->Value.size() > f->MaxLength) f->Value.resize(f->MaxLength);
            }
        }
    }
    shown_.push_back(s);
    return s.Result == mrOk;
}

}  // namespace velmysql
