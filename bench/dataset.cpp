// Walks the same 1,000,000-row table through a TMySQLQuery and compares it with Qt's
// QMYSQL driver and with the driver operations underneath the dataset. Each case runs in
// its own process (this program started again with --case), the cases alternate over
// several rounds, and the table shows per case the median wall time, client CPU seconds
// (user + system of that process) and peak RSS; then the ratios and the targets.
//
//   local           rtLocal: Open, then Next over every record, every field read with AsString
//   unidirectional  the same with rtUnidirectional
//   qt              QSqlQuery (QMYSQL, forward only, TZ=UTC): value(i) of every column
//   driver          TMySQLDirect OpenQuery / RetrieveRow over every row, every value touched
//   local-open      the wall time of the rtLocal Open alone (it reads every row)
//   incremental     rtIncremental: the wall time from Open until the first record's fields
//                   have been read
//
//   bench_dataset [rounds]   server from VELMYSQL_TEST_* (scripts/test-server env)

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "case_runner.h"
#include "dataset_bench.h"
#include "driver_fetch.h"
#include "velmysql/dataset/mysql_dataset.h"
#include "velmysql/db/field.h"
#include "velmysql/rtl/exception.h"
#include "velmysql/server/mysql_server.h"

using namespace velmysql;
using namespace velbench;

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since) { return std::chrono::duration<double>(Clock::now() - since).count(); }

// Every field read as text; the sum of the texts' lengths keeps the reads from being
// optimised away.
volatile std::uint64_t textSink = 0;

std::uint64_t ReadRecord(const std::vector<TField*>& fields) {
    std::uint64_t values = 0, bytes = 0;
    for (TField* f : fields) {
        const std::string text = f->AsString();
        bytes += text.size();
        if (!f->IsNull()) ++values;
    }
    textSink = textSink + bytes;
    return values;
}

struct Connected {
    TMySQLServer server{nullptr};
    TMySQLQuery query{nullptr};
    explicit Connected(const Target& t, TMySQLResultOptions mode) {
        server.SetDriverKind(dtDirect);
        server.SetHost(t.host);
        server.SetPort(static_cast<std::uint16_t>(t.port));
        server.SetUserName(t.user);
        server.SetPassword(t.password);
        server.SetDatabaseName(t.database);
        // The peers read in clear; so does the direct driver here (its default would
        // encrypt against a server that offers TLS).
        server.SetParamsText("[direct]\nssl-mode=DISABLED");
        server.Connect();
        query.SetServer(&server);
        query.SetResultType(mode);
        query.SQL().SetText(kQuery);
    }
    std::vector<TField*> Fields() {
        std::vector<TField*> fields;
        for (int i = 0; i < query.FieldCount(); ++i) fields.push_back(query.Fields()[i]);
        return fields;
    }
};

// Child side: one case, then its line "wall cpu rss rows values".
int RunCase(const std::string& name) {
    const Target t = TargetFromEnvironment();
    std::uint64_t rows = 0, values = 0;
    double wall = 0;
    try {
        if (name == "local" || name == "unidirectional") {
            const Clock::time_point t0 = Clock::now();
            Connected c(t, name == "local" ? rtLocal : rtUnidirectional);
            c.query.Open();
            const std::vector<TField*> fields = c.Fields();
            for (; !c.query.Eof(); c.query.Next()) {
                values += ReadRecord(fields);
                ++rows;
            }
            c.query.Close();
            wall = Seconds(t0);
        } else if (name == "local-open" || name == "incremental") {
            Connected c(t, name == "local-open" ? rtLocal : rtIncremental);
            const Clock::time_point t0 = Clock::now();
            c.query.Open();
            if (name == "incremental" && !c.query.Eof()) {
                values = ReadRecord(c.Fields());
                rows = 1;
            }
            wall = Seconds(t0);
            if (name == "local-open") rows = static_cast<std::uint64_t>(c.query.RowCount());
            c.query.Close();
        } else if (name == "driver") {
            TMySQLDirect d;
            const Clock::time_point t0 = Clock::now();
            const DriverOutcome o = FetchThroughDriver(d, t);
            wall = Seconds(t0);
            rows = o.rows;
            values = o.values;
        } else if (name == "qt") {
#if VELBENCH_QT
            setenv("TZ", "UTC", 1);  // otherwise Qt asks for the time zone once per date value
            const Clock::time_point t0 = Clock::now();
            const QtOutcome o = FetchWithQt(t, kQuery);
            wall = Seconds(t0);
            if (!o.ok) {
                std::fprintf(stderr, "qt: %s\n", o.error.c_str());
                return 1;
            }
            rows = o.rows;
            values = o.values;
#else
            return 1;
#endif
        } else {
            std::fprintf(stderr, "unknown case %s\n", name.c_str());
            return 1;
        }
    } catch (const Exception& e) {
        std::fprintf(stderr, "%s: %s\n", name.c_str(), e.Message().c_str());
        return 1;
    }
    PrintCaseLine(wall, rows, values);
    return 0;
}

const char* Verdict(bool met) { return met ? "met" : "MISSED"; }

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 3 && std::strcmp(argv[1], "--case") == 0) return RunCase(argv[2]);
    const Target t = TargetFromEnvironment();
    if (t.port == 0) {
        std::fprintf(stderr, "set the VELMYSQL_TEST_* variables (scripts/test-server env)\n");
        return 2;
    }
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    if (!PrepareTable(t)) return 1;
    const std::string self = SelfPath();
    if (self.empty()) return 1;

    std::vector<std::string> cases{"local", "unidirectional", "driver", "local-open", "incremental"};
#if VELBENCH_QT
    cases.insert(cases.begin() + 2, "qt");
    const bool withQt = true;
#else
    const bool withQt = false;
    std::fprintf(stderr, "built without Qt5 Sql (qtbase5-dev, libqt5sql5-mysql): the qt case is left out\n");
#endif
    std::map<std::string, std::vector<Sample>> samples;
    std::map<std::string, std::string> checks;
    Sample warm;
    std::string ignore;
    SpawnCase(self, {"--case", "driver"}, warm, ignore);  // warms the server's caches
    for (int r = 0; r < rounds; ++r) {
        for (std::size_t i = 0; i < cases.size(); ++i) {
            // Rotate which case goes first from round to round.
            const std::string& name = cases[(i + static_cast<std::size_t>(r)) % cases.size()];
            Sample s;
            std::string check;
            if (!SpawnCase(self, {"--case", name}, s, check)) {
                std::fprintf(stderr, "case %s failed\n", name.c_str());
                return 1;
            }
            samples[name].push_back(s);
            checks[name] = check;
        }
    }

    std::printf("1,000,000 rows (int, varchar(32), double, datetime, nullable varchar(100)); %d rounds, medians\n",
                rounds);
    std::printf("%-16s %10s %10s %10s   %s\n", "case", "wall s", "cpu s", "peak MB", "rows/non-null values");
    std::map<std::string, Sample> med;
    for (const std::string& name : cases) {
        med[name] = Median(samples[name]);
        std::printf("%-16s %10.3f %10.3f %10.1f   %s\n", name.c_str(), med[name].wall, med[name].cpu,
                    med[name].rssMb, checks[name].c_str());
    }
    bool same = true;
    for (const char* name : {"unidirectional", "qt", "driver"})
        if (checks.count(name) && checks[name] != checks["local"]) same = false;
    if (!same) std::printf("WARNING: the cases read different data\n");

    const Sample& local = med["local"];
    const Sample& uni = med["unidirectional"];
    const Sample& driver = med["driver"];
    std::printf("\n%-34s %10s %10s %10s\n", "ratios", "wall", "cpu", "peak mem");
    auto ratio = [](const char* label, const Sample& a, const Sample& b) {
        std::printf("ratio %-28s %10.2f %10.2f %10.2f\n", label, a.wall / b.wall, a.cpu / b.cpu, a.rssMb / b.rssMb);
    };
    if (withQt) {
        ratio("local/qt", local, med["qt"]);
        ratio("unidirectional/qt", uni, med["qt"]);
    }
    ratio("local/driver", local, driver);
    ratio("unidirectional/driver", uni, driver);
    const double firstRecord = med["incremental"].wall / med["local-open"].wall;
    std::printf("ratio incremental first record/local open wall: %.5f\n", firstRecord);

    std::printf("\ntargets\n");
    if (withQt) {
        std::printf("local cpu <= 0.25 of qt:              %6.2f  %s\n", local.cpu / med["qt"].cpu,
                    Verdict(local.cpu <= 0.25 * med["qt"].cpu));
        std::printf("local peak RSS <= qt:                 %6.2f  %s\n", local.rssMb / med["qt"].rssMb,
                    Verdict(local.rssMb <= med["qt"].rssMb));
    } else {
        std::printf("local against qt: not measured (no Qt)\n");
    }
    std::printf("local cpu <= 2.0 of driver:           %6.2f  %s\n", local.cpu / driver.cpu,
                Verdict(local.cpu <= 2.0 * driver.cpu));
    std::printf("unidirectional peak RSS < 20 MiB:    %6.1f  %s\n", uni.rssMb, Verdict(uni.rssMb < 20.0));
    std::printf("incremental first record < 1/100 of local open: %.5f  %s\n", firstRecord,
                Verdict(firstRecord < 0.01));
    if (withQt)
        std::printf("ratio local/qt cpu: %.2f\n", local.cpu / med["qt"].cpu);
    else
        std::printf("ratio local/driver cpu: %.2f\n", local.cpu / driver.cpu);
    return same ? 0 : 1;
}
