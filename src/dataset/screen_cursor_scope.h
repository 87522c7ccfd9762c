#pragma once
// The screen cursor a dataset shows while a statement runs (private to the dataset area).

#include "velmysql/rtl/screen.h"

namespace velmysql::datasetscope {

// Shows a screen cursor while a statement runs; the default one comes back on every path.
class ScreenCursorScope {
public:
    ScreenCursorScope(bool Use, TCursor Cursor) : use_(Use) {
        if (use_) Screen().SetCursor(Cursor);
    }
    ~ScreenCursorScope() {
        if (use_) Screen().SetCursor(crDefault);
    }
    ScreenCursorScope(const ScreenCursorScope&) = delete;
    ScreenCursorScope& operator=(const ScreenCursorScope&) = delete;

private:
    bool use_;
};

}  // namespace velmysql::datasetscope
