#include "velmysql/drivers/version_number.h"

#include <cstdint>
#include <optional>

#include "drivers/text_helpers.h"

namespace velmysql {

namespace {

bool IsAsciiLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// The n-th (0-based) maximal run of non-separator characters; runs of separators never
// produce empty words.
std::optional<std::string_view> Word(std::string_view text, int n, bool lettersSeparate) {
    auto isSep = [&](char c) { return c == '.' || c == '-' || c == ' ' || (lettersSeparate && IsAsciiLetter(c)); };
    std::size_t i = 0;
    for (int w = 0;; ++w) {
        while (i < text.size() && isSep(text[i])) ++i;
        if (i >= text.size()) return std::nullopt;
        std::size_t start = i;
        while (i < text.size() && !isSep(text[i])) ++i;
        if (w == n) return text.substr(start, i - start);
    }
}

std::int64_t WordNumber(std::string_view text, int n, bool lettersSeparate, int fallback) {
    auto w = Word(text, n, lettersSeparate);
    if (!w) return fallback;
    return drivers_detail::WholeNumber(*w).value_or(fallback);
}

}  // namespace

int MySQLVersionNumber(std::string_view text) {
    std::int64_t major = WordNumber(text, 0, false, 3);
    std::int64_t minor = WordNumber(text, 1, false, 21);
    std::int64_t patch = WordNumber(text, 2, true, 0);
    // Wraps like the 32-bit arithmetic it stands for instead of overflowing.
    return static_cast<int>(static_cast<std::uint32_t>(major * 10000 + minor * 100 + patch));
}

}  // namespace velmysql
