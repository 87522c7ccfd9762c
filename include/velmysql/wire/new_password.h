#pragma once
// The two login tokens computed from a password and the server's scramble.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace velmysql {

// The pre-4.1 password hash of a text up to its first NUL; blanks and tabs are skipped.
void hashPassword(std::string_view text, std::uint32_t& first, std::uint32_t& second);

// The pre-4.1 token: one character (never 0) per message character; absent when the
// password or the message is empty.
std::optional<std::string> mysql_scramble(std::string_view password, std::string_view message);

// The 4.1 token: exactly 20 bytes (may contain zero bytes); absent when the SHA-1
// self-test fails. The message must hold at least 20 bytes; a shorter one is padded
// with zero bytes.
std::optional<std::string> mysql_scramble411(std::string_view password, std::string_view message);

}  // namespace velmysql
