#pragma once
// The dataset benchmark's Qt peer (compiled apart, with Qt's headers, and only when
// Qt's SQL module is installed: VELBENCH_QT is then 1).

#include <cstdint>
#include <string>

#include "case_runner.h"

namespace velbench {

struct QtOutcome {
    bool ok = false;
    std::uint64_t rows = 0;
    std::uint64_t values = 0;  // values that are not NULL
    std::string error;
};

// Runs sql with QSqlQuery (QMYSQL, forward only) and reads value(i) of every column of
// every row.
QtOutcome FetchWithQt(const Target& t, const std::string& sql);

}  // namespace velbench
