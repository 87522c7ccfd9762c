#include "drivers_live.h"

#include <sys/stat.h>

#include "velmysql/drivers/mysql_direct_driver.h"
#include "velmysql/drivers/mysql_embedded.h"
#include "velmysql/drivers/mysql_library.h"

namespace velmysql::testing {

namespace {

std::string EmbeddedDataDir(const TestServer& server) {
    std::string dir = (server.workDir.empty() ? std::string("/tmp") : server.workDir) + "/embedded-data";
    mkdir(dir.c_str(), 0700);
    return dir;
}

}  // namespace

const char* KindName(DriverKind kind) {
    switch (kind) {
        case DriverKind::Direct: return "Direct";
        case DriverKind::Library: return "Library";
        case DriverKind::Embedded: return "Embedded";
    }
    return "?";
}

std::unique_ptr<TMySQLBase> MakeDriver(DriverKind kind, const TestServer& server) {
    switch (kind) {
        case DriverKind::Direct: return std::make_unique<TMySQLDirect>();
        case DriverKind::Library: {
            auto d = std::make_unique<TMySQLLibrary>();
            d->SetClientDLL(kTestClientLibrary);
            return d;
        }
        case DriverKind::Embedded:
            return std::make_unique<TMySQLEmbedded>("no-defaults\r\ndatadir=" + EmbeddedDataDir(server) +
                                                    "\r\nconnect_timeout=10");
    }
    return nullptr;
}

DriverTarget TargetFor(DriverKind kind, const TestServer& server) {
    if (kind == DriverKind::Embedded) return {"", "root", "", "veltest", 0};
    return {server.host, server.user, server.password, server.database, server.port};
}

void PrepareDatabase(DriverKind kind, const TestServer& server) {
    if (kind != DriverKind::Embedded) return;
    auto d = MakeDriver(kind, server);
    MySQLConnectionHandle* h = d->Open("", "root", "", 0, 0, "");
    d->OpenQuery(h, "create database if not exists veltest");
    d->Close(h);
}

}  // namespace velmysql::testing
