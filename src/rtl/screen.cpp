#include "velmysql/rtl/screen.h"

#include <mutex>

namespace velmysql {

namespace {

struct ScreenState {
    std::mutex lock;
    TCursor cursor = crDefault;
    std::function<void(TCursor)> hook;
};

ScreenState& State() {
    static ScreenState state;
    return state;
}

}  // namespace

TCursor TScreen::Cursor() const {
    ScreenState& s = State();
    std::lock_guard<std::mutex> guard(s.lock);
    return s.cursor;
}

void TScreen::SetCursor(TCursor Value) {
    ScreenState& s = State();
    std::function<void(TCursor)> hook;
    {
        std::lock_guard<std::mutex> guard(s.lock);
        if (s.cursor == Value) return;
        s.cursor = Value;
        hook = s.hook;
    }
    // Outside the lock, so that the hook may read or set the cursor itself.
    if (hook) hook(Value);
}

std::function<void(TCursor)> TScreen::SetOnCursorChange(std::function<void(TCursor)> Hook) {
    ScreenState& s = State();
    std::lock_guard<std::mutex> guard(s.lock);
    std::swap(s.hook, Hook);
    return Hook;
}

TScreen& Screen() {
    static TScreen screen;
    return screen;
}

}  // namespace velmysql
