#pragma once
// The process-wide screen cursor. The library only sets the value; an application that
// shows a cursor installs a change hook.

#include <functional>

namespace velmysql {

using TCursor = int;
constexpr TCursor crDefault = 0;
constexpr TCursor crHourGlass = -11;
constexpr TCursor crSQLWait = -17;
constexpr TCursor crAppStart = -19;

class TScreen {
public:
    TCursor Cursor() const;
    // Stores Value; when it differs from the current value the hook is called with it,
    // on the calling thread, after the value is stored.
    void SetCursor(TCursor Value);
    // Installs (or, with an empty function, removes) the change hook; answers the old one.
    std::function<void(TCursor)> SetOnCursorChange(std::function<void(TCursor)> Hook);
};

TScreen& Screen();

}  // namespace velmysql
