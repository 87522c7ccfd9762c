// Expands the default update template of a 20-column table with a 3-column primary key
// (five columns changed) with SQLPopulate, and builds the same statement by hand with
// plain string appends: each changed field's name and escaped value, then the key
// columns with their values before the edit. Prints the median time per statement of
// each and their ratio.
//
//   bench_expand [iterations] [runs]   server from VELMYSQL_TEST_* (scripts/test-server env)

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "case_runner.h"
#include "velmysql/dataset/mysql_dataset.h"
#include "velmysql/db/field.h"
#include "velmysql/rtl/exception.h"
#include "velmysql/server/mysql_server.h"

using namespace velmysql;
using namespace velbench;

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kColumns = 20;
constexpr int kKeys = 3;
constexpr int kChanged = 5;

std::string Column(int i) { return "c" + std::to_string(i); }

// The statement as an application would write it without templates.
std::string ByHand(TMySQLServer& server, TMySQLDatasetBase& ds, const std::vector<std::string>& oldKeys) {
    std::string out = "update t set ";
    for (int i = kKeys; i < kKeys + kChanged; ++i) {
        if (i > kKeys) out += ',';
        TField* field = ds.Fields()[i];
        out += field->FieldName();
        out += "='";
        out += server.EscapeStr(field->AsString());
        out += '\'';
    }
    out += " where ";
    for (int i = 0; i < kKeys; ++i) {
        if (i > 0) out += " AND ";
        out += '(';
        out += ds.Fields()[i]->FieldName();
        out += '=';
        out += oldKeys[static_cast<size_t>(i)];
        out += ')';
    }
    return out;
}

template <class F>
double MedianNanos(int iterations, int runs, F&& body) {
    std::vector<double> per;
    for (int r = 0; r < runs; ++r) {
        const auto start = Clock::now();
        for (int i = 0; i < iterations; ++i) body();
        per.push_back(std::chrono::duration<double, std::nano>(Clock::now() - start).count() / iterations);
    }
    std::sort(per.begin(), per.end());
    return per[per.size() / 2];
}

}  // namespace

int main(int argc, char** argv) try {
    const int iterations = argc > 1 ? std::atoi(argv[1]) : 20000;
    const int runs = argc > 2 ? std::atoi(argv[2]) : 7;
    const Target t = TargetFromEnvironment();
    if (t.host.empty()) {
        std::fprintf(stderr, "bench_expand: no test server (eval \"$(scripts/test-server env DIR)\")\n");
        return 2;
    }
    TMySQLServer server(nullptr);
    server.SetDriverKind(dtDirect);
    server.SetHost(t.host);
    server.SetPort(static_cast<std::uint16_t>(t.port));
    server.SetUserName(t.user);
    server.SetPassword(t.password);
    server.SetDatabaseName(t.database);
    server.Connect();
    std::string create = "create table t (";
    std::string values = "insert into t values (";
    for (int i = 0; i < kColumns; ++i) {
        create += Column(i) + (i < kKeys ? " int not null, " : " varchar(40), ");
        values += (i > 0 ? "," : "") + (i < kKeys ? std::to_string(i + 1) : "'value " + std::to_string(i) + "'");
    }
    create += "primary key (c0, c1, c2))";
    server.ExecSQL("drop table if exists t");
    server.ExecSQL(create);
    server.ExecSQL(values + ")");

    TMySQLQuery query(nullptr);
    query.SetServer(&server);
    query.SQL().SetText("select * from t");
    query.SetTableName("t");
    query.Open();
    std::vector<std::string> oldKeys;
    for (int i = 0; i < kKeys; ++i) oldKeys.push_back(query.Fields()[i]->AsString());
    query.Edit();
    for (int i = kKeys; i < kKeys + kChanged; ++i) query.Fields()[i]->SetAsString("it's changed " + std::to_string(i));

    const std::string tmpl = query.SQLUpdate().Line(0);
    const std::string expanded = query.SQLPopulate(tmpl, true, false);
    const std::string manual = ByHand(server, query, oldKeys);
    if (expanded != manual) {
        std::fprintf(stderr, "bench_expand: the statements differ:\n  %s\n  %s\n", expanded.c_str(), manual.c_str());
        return 1;
    }
    std::size_t sink = 0;
    const double populate = MedianNanos(iterations, runs, [&] { sink += query.SQLPopulate(tmpl, true, false).size(); });
    const double hand = MedianNanos(iterations, runs, [&] { sink += ByHand(server, query, oldKeys).size(); });
    query.Cancel();
    server.ExecSQL("drop table t");
    std::printf("statement: %s\n", expanded.c_str());
    std::printf("%-12s %10.0f ns\n%-12s %10.0f ns\n", "SQLPopulate", populate, "by hand", hand);
    std::printf("ratio SQLPopulate/by hand: %.2f (target at most 3)   [%zu]\n", populate / hand, sink % 10);
    return 0;
} catch (const Exception& e) {
    std::fprintf(stderr, "bench_expand: %s\n", e.what());
    return 1;
}
