#pragma once
// Version texts as numbers: '4.1.14' is 40114, '5.0.45-community-nt' 50045.

#include <string_view>

namespace velmysql {

// Versions the driver layer and the components compare against.
inline constexpr int kOldestServerVersion = 32100;
inline constexpr int kBackquoteVersion = 32306;
inline constexpr int kFieldLayout40 = 40000;
inline constexpr int kFieldLayout410 = 40100;
inline constexpr int kFieldLayout411 = 40101;

// major * 10000 + minor * 100 + patch. Major and minor are the first two runs of characters
// other than '.', '-' and blank; the patch is the third such run when letters also separate.
// A missing or non-numeric part reads 3, 21 and 0, so an unreadable text gives 32100.
int MySQLVersionNumber(std::string_view text);

}  // namespace velmysql
