#pragma once
// The enumerations and the option set of the connection component, and how the option
// set becomes the client flags of the connect call.

#include <cstdint>
#include <string>

#include "velmysql/rtl/set.h"

namespace velmysql {

enum TMySQLDriverType { dtDirect, dtEmbedded, dtLibrary };
enum TMySQLProtocolType { ptTCP, ptPipe };

// The "co" elements become client flags of the connect call; the "so" elements steer the
// server component itself and send nothing.
enum TMySQLServerOption {
    coLongPassword,
    coFoundRows,
    coLongFlag,
    coConnectWithDB,
    coNoSchema,
    coCompress,
    coODBC,
    coLocalFiles,
    coIgnoreSpace,
    coInteractive,
    coIgnoreSigpipe,
    coTransactions,
    coProtocol41,
    coSecureConnection,
    coMultiQueries,
    soAutoCreate,
    soDropIfExists,
    soCloseOnChildren,
};
using TMySQLServerOptions = TSet<TMySQLServerOption>;

// coInteractive, coTransactions, coProtocol41: the client flags 9728.
inline constexpr TMySQLServerOptions kDefaultServerOptions{coInteractive, coTransactions, coProtocol41};

// The capability flag a "co" element adds (0 for the "so" elements). From coInteractive on
// the element order no longer follows the flag bits, hence the table.
std::uint32_t ClientFlagOf(TMySQLServerOption option);
// The sum of the flags of every element in the set.
std::uint32_t ClientFlags(TMySQLServerOptions options);

// The Params section that holds a driver kind's option text: "direct", "embedded", "client".
std::string DriverSection(TMySQLDriverType kind);
// The value of the "protocol" key: "tcp" or "pipe".
std::string ProtocolText(TMySQLProtocolType protocol);

}  // namespace velmysql
