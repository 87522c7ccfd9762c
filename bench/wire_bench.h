#pragma once
// Shared by the benchmark's two fetch loops: ours and libmariadb's (compiled apart,
// since the client library's header defines macros that clash with our constants).

#include <cstdint>
#include <string>

#include "case_runner.h"

namespace velbench {

struct FetchOutcome {
    bool ok = false;
    std::uint64_t rows = 0;
    std::uint64_t bytes = 0;  // sum of value lengths, so every value is touched
    std::string error;
};

// Runs `before` first when it is not empty (a statement without rows), then reads sql.
// tls: the connection must be encrypted (certificate not verified); otherwise it must not be.
FetchOutcome FetchWithLibmariadb(const Target& t, const std::string& before, const std::string& sql, bool used,
                                 bool compress, bool tls);

}  // namespace velbench
