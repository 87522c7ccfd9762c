// The option set of the server component as client flags of the connect call.

#include <gtest/gtest.h>

#include "velmysql/server/server_types.h"

namespace velmysql {
namespace {

TEST(ServerOptions, ClientFlagsOfOptionSets) {
    struct Case {
        TMySQLServerOptions options;
        std::uint32_t flags;
    };
    const Case cases[] = {
        {{}, 0},
        {kDefaultServerOptions, 9728},
        {kDefaultServerOptions + TMySQLServerOptions{coMultiQueries}, 9728 + 65536},
        {{coProtocol41}, 512},
        {{coIgnoreSpace, coIgnoreSigpipe, coSecureConnection}, 256 + 4096 + 32768},
        {{coLongPassword, coFoundRows, coLongFlag, coConnectWithDB, coNoSchema, coCompress, coODBC, coLocalFiles},
         255},
        {{soAutoCreate, soDropIfExists, soCloseOnChildren}, 0},
    };
    for (const Case& c : cases) EXPECT_EQ(ClientFlags(c.options), c.flags) << c.options.Bits();
}

}  // namespace
}  // namespace velmysql
