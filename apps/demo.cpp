// velmysql_demo: a TMySQLServer at work. It connects (by default through the embedded
// server on a private data directory, so nothing has to be set up), lets soAutoCreate
// create its database, runs a small script with ExecSQLBatch and lists the databases, the
// tables of its database and the fields of each table.
//
//   velmysql_demo [--datadir=DIR]                          embedded server
//   velmysql_demo --host=H --port=P --user=U [--password=W] [--socket=S]
//                                                           a running server, direct driver
//   velmysql_demo --driver=library --host=H ...             the same through the client library
//   options: --database=NAME (default velmysql_demo), --client-library=FILE,
//            --embedded-library=FILE

#include <charconv>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <map>
#include <memory>
#include <string>

#include "velmysql/drivers/mysql_library.h"
#include "velmysql/rtl/strings.h"
#include "velmysql/server/mysql_server.h"
#include "velmysql/wire/mysql_ct.h"

using namespace velmysql;

namespace {

constexpr const char* kScript =
    "-- a small shop: two tables and a few rows\r\n"
    "drop table if exists `order line`;\r\n"
    "drop table if exists customer;\r\n"
    "create table customer (\r\n"
    "  id int not null auto_increment primary key,\r\n"
    "  name varchar(60) not null,\r\n"
    "  city varchar(40),\r\n"
    "  created datetime\r\n"
    ");\r\n"
    "/* a table name with a blank, quoted by the script */\r\n"
    "create table `order line` (\r\n"
    "  id int not null auto_increment primary key,\r\n"
    "  customer_id int not null,\r\n"
    "  item varchar(80) not null,\r\n"
    "  quantity int not null default 1,\r\n"
    "  price decimal(10,2)\r\n"
    ");\r\n"
    "insert into customer (name, city, created) values\r\n"
    "  ('Ada', 'London', '2026-01-02 10:00:00'), ('Linus', 'Helsinki', now());\r\n"
    "insert into `order line` (customer_id, item, quantity, price) values (1, 'paper; 500 sheets', 2, 4.50);\r\n";

void Usage() {
    std::cerr << "usage: velmysql_demo [--datadir=DIR] [--driver=embedded|direct|library]\n"
                 "                     [--host=H] [--port=P] [--user=U] [--password=W] [--socket=S]\n"
                 "                     [--database=NAME] [--client-library=FILE] [--embedded-library=FILE]\n";
}

void PrintList(const std::string& title, const TStrings& list, const std::string& indent) {
    std::cout << indent << title << " (" << list.Count() << "):\n";
    for (int i = 0; i < list.Count(); ++i) std::cout << indent << "  " << list[i] << "\n";
}

}  // namespace

int main(int argc, char** argv) {
    std::map<std::string, std::string> args;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--help" || a == "-h") {
            Usage();
            return 0;
        }
        if (a.rfind("--", 0) != 0) {
            Usage();
            return 2;
        }
        size_t eq = a.find('=');
        args[a.substr(2, eq == std::string::npos ? std::string::npos : eq - 2)] =
            eq == std::string::npos ? std::string() : a.substr(eq + 1);
    }
    const bool remote = args.count("host") || args.count("port") || args.count("user") || args.count("socket");
    std::string driver = args.count("driver") ? args["driver"] : (remote ? "direct" : "embedded");
    const std::string database = args.count("database") ? args["database"] : "velmysql_demo";

    try {
        auto server = std::make_unique<TMySQLServer>(nullptr);
        if (driver == "embedded") {
            std::string datadir = args.count("datadir") ? args["datadir"] : "velmysql-demo-data";
            std::filesystem::create_directories(datadir);
            datadir = std::filesystem::absolute(datadir).string();
            // The embedded server reads no option files and keeps its data in the directory.
            server->SetParamsText("[embedded]\r\nno-defaults\r\ndatadir=" + datadir + "\r\n");
            server->SetDriverKind(dtEmbedded);
            if (args.count("embedded-library"))
                static_cast<TMySQLLibrary*>(server->GetDriver())->SetClientDLL(args["embedded-library"]);
            std::cout << "driver: embedded server, data directory " << datadir << "\n";
        } else if (driver == "direct" || driver == "library") {
            if (driver == "library") {
                server->SetDriverKind(dtLibrary);
                if (args.count("client-library"))
                    static_cast<TMySQLLibrary*>(server->GetDriver())->SetClientDLL(args["client-library"]);
            }
            if (args.count("host")) server->SetHost(args["host"]);
            if (args.count("port")) {
                const std::string& text = args["port"];
                unsigned port = 0;
                auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), port);
                if (ec != std::errc() || end != text.data() + text.size() || port == 0 || port > 65535) {
                    std::cerr << "velmysql_demo: --port needs a number from 1 to 65535, not '" << text << "'\n";
                    return 2;
                }
                server->SetPort(static_cast<std::uint16_t>(port));
            }
            if (args.count("user")) server->SetUserName(args["user"]);
            if (args.count("password")) server->SetPassword(args["password"]);
            if (args.count("socket")) {
                // The local socket stands in for the named pipe: the direct driver finds it in
                // the wire client's path variable, the client library in its environment.
                MYSQL_NAMEDPIPE_PATH = args["socket"];
                setenv("MYSQL_UNIX_PORT", args["socket"].c_str(), 1);
                if (!args.count("host")) server->SetHost("localhost");
                server->SetProtocol(ptPipe);
            }
            std::cout << "driver: " << (driver == "direct" ? "direct (wire client)" : "client library") << ", "
                      << server->UserName() << "@"
                      << (args.count("socket") ? args["socket"] : server->Host() + ":" + std::to_string(server->Port()))
                      << "\n";
        } else {
            Usage();
            return 2;
        }
        server->SetOptions(server->Options() + TMySQLServerOptions{soAutoCreate});
        server->SetDatabaseName(database);
        server->Connect();
        std::cout << "connected: client " << server->ClientVersion() << ", server " << server->ServerVersion()
                  << " (" << server->ServerVer() << ")\n";
        std::cout << "database script of soAutoCreate:\n";
        TStringList script;
        script.SetText(server->CreateDatabase(false));
        for (int i = 0; i < script.Count(); ++i) std::cout << "  " << script[i] << "\n";
        std::cout << "selected database: " << server->ConnectionDatabase() << "\n";

        TStringList batch;
        batch.SetText(kScript);
        std::cout << "ExecSQLBatch: " << (server->ExecSQLBatch(batch) ? "done" : "nothing to run") << "\n";

        TStringList list;
        server->GetDatabaseNames(list);
        PrintList("databases", list, "");
        TStringList tables;
        server->GetTableNames(database, tables);
        PrintList("tables of " + database, tables, "");
        for (int i = 0; i < tables.Count(); ++i) {
            TStringList fields;
            server->GetFieldNames(database, tables[i], fields);
            PrintList("fields of " + server->FormatIdentifier(tables[i]), fields, "  ");
        }
        std::cout << "named lock 'velmysql_demo': get " << server->GetLock("velmysql_demo", 1) << ", release "
                  << server->ReleaseLock("velmysql_demo") << "\n";
        server->Disconnect();
        std::cout << "disconnected\n";
    } catch (const std::exception& e) {
        std::cerr << "velmysql_demo: " << e.what() << "\n";
        return 1;
    }
    return 0;
}
