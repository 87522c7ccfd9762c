#include "velmysql/server/server_types.h"

namespace velmysql {

std::uint32_t ClientFlagOf(TMySQLServerOption option) {
    switch (option) {
        case coLongPassword: return 1;
        case coFoundRows: return 2;
        case coLongFlag: return 4;
        case coConnectWithDB: return 8;
        case coNoSchema: return 16;
        case coCompress: return 32;
        case coODBC: return 64;
        case coLocalFiles: return 128;
        case coIgnoreSpace: return 256;
        case coInteractive: return 1024;
        case coIgnoreSigpipe: return 4096;
        case coTransactions: return 8192;
        case coProtocol41: return 512;
        case coSecureConnection: return 32768;
        case coMultiQueries: return 65536;
        case soAutoCreate:
        case soDropIfExists:
        case soCloseOnChildren: return 0;
    }
    return 0;
}

std::uint32_t ClientFlags(TMySQLServerOptions options) {
    std::uint32_t flags = 0;
    for (int e = coLongPassword; e <= soCloseOnChildren; ++e) {
        auto option = static_cast<TMySQLServerOption>(e);
        if (options.Contains(option)) flags |= ClientFlagOf(option);
    }
    return flags;
}

std::string DriverSection(TMySQLDriverType kind) {
    switch (kind) {
        case dtEmbedded: return "embedded";
        case dtLibrary: return "client";
        case dtDirect: break;
    }
    return "direct";
}

std::string ProtocolText(TMySQLProtocolType protocol) { return protocol == ptPipe ? "pipe" : "tcp"; }

}  // namespace velmysql
