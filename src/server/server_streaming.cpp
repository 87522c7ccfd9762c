// What a form stores of a server and of the driver object it holds as DriverProperties.

#include "velmysql/drivers/mysql_direct_driver.h"
#include "velmysql/drivers/mysql_embedded.h"
#include "velmysql/drivers/mysql_library.h"
#include "velmysql/rtl/typinfo.h"
#include "velmysql/server/mysql_server.h"

namespace velmysql {

namespace {

// Options for every driver; ClientDLL (always a file name, the default one when none was
// set) for the two that load a library.
template <class Driver>
void DescribeDriver(const char* name, bool withClientDLL) {
    TClassBuilder<Driver> builder(name, nullptr);
    if constexpr (std::is_base_of_v<TMySQLLibrary, Driver>) {
        if (withClientDLL)
            builder.String(
                "ClientDLL", [](const Driver& d) { return d.GetClientDLL(); },
                [](Driver& d, const std::string& file) { d.SetClientDLL(file); });
    }
    builder.Strings(
        "Options", [](Driver& d) -> TStrings* { return const_cast<TStringList*>(&d.Options()); },
        [](Driver& d, const TStrings& lines) { d.SetOptions(lines); });
    builder.Build();
}

void DescribeDrivers() {
    DescribeDriver<TMySQLDirect>("TMySQLDirect", false);
    DescribeDriver<TMySQLLibrary>("TMySQLLibrary", true);
    DescribeDriver<TMySQLEmbedded>("TMySQLEmbedded", true);
}

TMySQLServer& Mutable(const TMySQLServer& s) { return const_cast<TMySQLServer&>(s); }

template <class Ev>
auto EventSetter(Ev TCustomConnection::*member) {
    return [member](TMySQLServer& s, Ev handler) { s.*member = std::move(handler); };
}

}  // namespace

const TClassInfo& TMySQLServer::ClassInfo() {
    static const TClassInfo& info = [] () -> const TClassInfo& {
        DescribeDrivers();
        return TClassBuilder<TMySQLServer>("TMySQLServer", &TCustomConnection::ClassInfo())
            .String("ClientVersion", [](const TMySQLServer& s) { return Mutable(s).GetClientVersion(); }, nullptr)
            .NotStored()
            .String("ServerVersion", [](const TMySQLServer& s) { return Mutable(s).GetServerVersion(); }, nullptr)
            .NotStored()
            .Integer<int>("ClientVer", [](const TMySQLServer& s) { return Mutable(s).GetClientVer(); }, nullptr)
            .NotStored()
            .Integer<int>("ServerVer", [](const TMySQLServer& s) { return Mutable(s).GetServerVer(); }, nullptr)
            .NotStored()
            .Enum<TMySQLDriverType>("DriverKind", &TMySQLServer::DriverKind, &TMySQLServer::SetDriverKind,
                                    {"dtDirect", "dtEmbedded", "dtLibrary"}, dtDirect)
            .Enum<TMySQLProtocolType>("Protocol", &TMySQLServer::Protocol, &TMySQLServer::SetProtocol,
                                      {"ptTCP", "ptPipe"}, ptTCP)
            .Object("DriverProperties", [](TMySQLServer& s) -> TPersistent* { return s.GetDriver(); })
            .Boolean("Connected", [](const TMySQLServer& s) { return Mutable(s).GetConnected(); },
                     [](TMySQLServer& s, bool v) { s.SetConnected(v); }, false)
            .String("DatabaseName", &TMySQLServer::DatabaseName, &TMySQLServer::SetDatabaseName, std::string())
            .String("Host", &TMySQLServer::Host, &TMySQLServer::SetHost)
            .Integer<std::uint16_t>("Port", &TMySQLServer::Port, &TMySQLServer::SetPort, 3306)
            .Boolean("LoginPrompt", &TMySQLServer::LoginPrompt, &TMySQLServer::SetLoginPrompt, false)
            .String("UserName", &TMySQLServer::UserName, &TMySQLServer::SetUserName)
            .String("Password", &TMySQLServer::Password, &TMySQLServer::SetPassword)
            .Strings("Params", [](TMySQLServer& s) -> TStrings* { return const_cast<TStringList*>(&s.Params()); },
                     [](TMySQLServer& s, const TStrings& lines) { s.SetParams(lines); })
            .Boolean("Compression", &TMySQLServer::Compression, &TMySQLServer::SetCompression, false)
            .Set<TMySQLServerOption>(
                "Options", &TMySQLServer::Options, &TMySQLServer::SetOptions,
                {"coLongPassword", "coFoundRows", "coLongFlag", "coConnectWithDB", "coNoSchema", "coCompress",
                 "coODBC", "coLocalFiles", "coIgnoreSpace", "coInteractive", "coIgnoreSigpipe", "coTransactions",
                 "coProtocol41", "coSecureConnection", "coMultiQueries", "soAutoCreate", "soDropIfExists",
                 "soCloseOnChildren"},
                kDefaultServerOptions)
            .Event<TNotifyEvent>("AfterConnect", [](const TMySQLServer& s) { return s.AfterConnect; },
                                 EventSetter(&TCustomConnection::AfterConnect))
            .Event<TNotifyEvent>("AfterDisconnect", [](const TMySQLServer& s) { return s.AfterDisconnect; },
                                 EventSetter(&TCustomConnection::AfterDisconnect))
            .Event<TNotifyEvent>("BeforeConnect", [](const TMySQLServer& s) { return s.BeforeConnect; },
                                 EventSetter(&TCustomConnection::BeforeConnect))
            .Event<TNotifyEvent>("BeforeDisconnect", [](const TMySQLServer& s) { return s.BeforeDisconnect; },
                                 EventSetter(&TCustomConnection::BeforeDisconnect))
            .Event<TMySQLServerLoginEvent>("OnLogin", [](const TMySQLServer& s) { return s.OnLogin; },
                                           [](TMySQLServer& s, TMySQLServerLoginEvent e) { s.OnLogin = std::move(e); })
            .Build();
    }();
    return info;
}

}  // namespace velmysql
