#pragma once
// What the driver and dataset benchmarks share: the table made ready through a driver, and
// the fetch of every row through the driver operations (OpenQuery, RetrieveRow,
// RetrieveRowFieldLenghts), the floor under any dataset.

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "case_runner.h"
#include "velmysql/rtl/exception.h"
#include "velmysql/drivers/mysql_base.h"
#include "velmysql/drivers/mysql_direct_driver.h"

namespace velbench {

struct DriverOutcome {
    std::uint64_t rows = 0;
    std::uint64_t bytes = 0;   // value lengths plus each value's first byte, so every value is touched
    std::uint64_t values = 0;  // values that are not NULL
};

inline DriverOutcome FetchThroughDriver(velmysql::TMySQLBase& d, const Target& t) {
    using namespace velmysql;
    DriverOutcome out;
    // The client library reads in clear; so does the direct driver here (its default would
    // encrypt against a server that offers TLS).
    if (dynamic_cast<TMySQLDirect*>(&d) != nullptr) d.SetOptions(std::vector<std::string>{"ssl-mode=DISABLED"});
    MySQLConnectionHandle* h = d.Open(t.host, t.user, t.password, t.port, 0, t.database);
    MySQLResultHandle* r = d.OpenQuery(h, kQuery);
    const unsigned n = d.RetrieveColCount(r);
    while (MySQLRow row = d.RetrieveRow(r)) {
        MySQLLengths len = d.RetrieveRowFieldLenghts(r);
        for (unsigned i = 0; i < n; ++i)
            if (row[i]) {
                out.bytes += len[i] + static_cast<unsigned char>(row[i][0]);
                ++out.values;
            }
        ++out.rows;
    }
    d.CloseQuery(r);
    d.Close(h);
    return out;
}

// Creates the table unless it is there with all its rows; false (and the error said) on failure.
inline bool PrepareTable(const Target& t) try {
    using namespace velmysql;
    TMySQLDirect d;
    MySQLConnectionHandle* h = d.Open(t.host, t.user, t.password, t.port, 0, t.database);
    auto single = [&](const std::string& sql) {
        MySQLResultHandle* r = d.OpenQuery(h, sql);
        MySQLRow row = d.RetrieveRow(r);
        std::string value = row && row[0] ? row[0] : "";
        d.CloseQuery(r);
        return value;
    };
    const bool exists = single(std::string("select count(*) from information_schema.tables where "
                                           "table_schema = database() and table_name = '") +
                               kTable + "'") == "1";
    if (exists && single(std::string("select count(*) from ") + kTable) == "1000000") {
        d.Close(h);
        return true;
    }
    std::fprintf(stderr, "creating %s (1,000,000 rows)...\n", kTable);
    for (const auto& s : TableStatements()) {
        MySQLResultHandle* none = d.OpenQuery(h, s);
        d.CloseQuery(none);
    }
    d.Close(h);
    return true;
} catch (const velmysql::Exception& e) {
    std::fprintf(stderr, "preparing the table: %s\n", e.Message().c_str());
    return false;
}

}  // namespace velbench
