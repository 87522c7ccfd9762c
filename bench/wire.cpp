// Fetches the same 1,000,000-row table with our session and with libmariadb's C API:
// used and stored results, with and without compression, and over TLS (both clients
// encrypt through OpenSSL's ciphers, without verifying the certificate); then large values: one 64 MB
// blob stored and read back, and a result of 100 rows of 1 MB. Each case runs in its own
// process (this program started again with --case), the cases alternate over several
// rounds, and the table shows per case the median wall time, client CPU seconds
// (user + system of that process) and peak RSS; then the ratios ours/libmariadb.
//
//   bench_wire [rounds]      reads the server from VELMYSQL_TEST_* (scripts/test-server env)

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "velmysql/wire/mysql_client.h"
#include "wire_bench.h"

using namespace velmysql;
using namespace velbench;

namespace {
constexpr const char* kBlobTable = "bench_wire_blob";
constexpr const char* kMbTable = "bench_wire_mb";

// What a case reads: the row table, one 64 MB blob stored just before, or 100 rows of 1 MB.
struct Workload {
    std::string before, query;
};
Workload workloadFor(const std::string& name) {
    if (name == "blob64") {
        std::string value(64u << 20, 'a');
        for (std::size_t i = 0; i < value.size(); ++i) value[i] = static_cast<char>('a' + (i * 7919 >> 9) % 26);
        return {std::string("replace into ") + kBlobTable + " values (1, '" + value + "')",
                std::string("select b from ") + kBlobTable + " where id = 1"};
    }
    if (name == "mb100") return {"", std::string("select id, b from ") + kMbTable};
    return {"", kQuery};
}

FetchOutcome fetchOurs(const Target& t, const Workload& w, bool used, bool compress, bool tls) {
    FetchOutcome out;
    TMysqlClient c;
    c.setfcompress(compress);
    c.SetReconnect(false);
    TMysqlTlsSettings settings;
    settings.mode = tls ? smRequired : smDisabled;
    c.SetTlsSettings(settings);
    if (!c.connect(t.host, t.user, t.password, t.database, t.port, "", false, 0) ||
        (!w.before.empty() && c.realquery(w.before) != 0) || c.realquery(w.query) != 0) {
        out.error = c.GetLastError();
        return out;
    }
    if (c.UseSSL() != tls) {
        out.error = tls ? "not encrypted" : "encrypted";
        return out;
    }
    std::unique_ptr<TMysqlResult> r = used ? c.use_result() : c.store_result();
    if (!r) {
        out.error = c.GetLastError();
        return out;
    }
    const unsigned n = r->FieldCount();
    auto visit = [&] {
        r->FetchLengths();
        char** row = r->CurrentRow();
        unsigned long* len = r->Lengths();
        for (unsigned i = 0; i < n; ++i)
            if (row[i]) out.bytes += len[i] + static_cast<unsigned char>(row[i][0]);
        ++out.rows;
    };
    if (used) {
        // The first row is already read.
        for (; !r->Eof(); r->Next()) visit();
        out.ok = !r->GetHadErrors();
    } else {
        for (r->First(); !r->Eof(); r->Next()) visit();
        out.ok = true;
    }
    if (!out.ok) out.error = c.GetLastError();
    return out;
}

bool prepareTable(const Target& t) {
    TMysqlClient c;
    c.SetReconnect(false);
    if (!c.connect(t.host, t.user, t.password, t.database, t.port, "", false, 0)) {
        std::fprintf(stderr, "connect: %s\n", c.GetLastError().c_str());
        return false;
    }
    bool done;
    auto r = c.query(std::string("select count(*) from ") + kTable, true, done);
    std::vector<std::string> statements = {
        std::string("create table if not exists ") + kBlobTable + " (id int primary key, b longblob) engine=MyISAM",
        std::string("create table if not exists ") + kMbTable + " (id int primary key, b longblob) engine=MyISAM",
        std::string("replace into ") + kMbTable +
            " select seq, repeat(char(97 + seq % 26), 1048576) from seq_1_to_100",
    };
    if (!(r && r->FieldValue(0) && std::string(r->FieldValue(0)) == "1000000")) {
        std::fprintf(stderr, "creating %s (1,000,000 rows)...\n", kTable);
        const auto rows = TableStatements();
        statements.insert(statements.begin(), rows.begin(), rows.end());
    }
    for (const auto& s : statements)
        if (c.realquery(s) != 0) {
            std::fprintf(stderr, "%s: %s\n", s.c_str(), c.GetLastError().c_str());
            return false;
        }
    return true;
}

// Child side: one fetch, then its line.
int runCase(const std::string& who, bool used, bool compress, const std::string& workload, bool tls) {
    Target t = TargetFromEnvironment();
    auto t0 = std::chrono::steady_clock::now();
    const Workload w = workloadFor(workload);
    FetchOutcome o = who == "ours" ? fetchOurs(t, w, used, compress, tls)
                                   : FetchWithLibmariadb(t, w.before, w.query, used, compress, tls);
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    if (!o.ok) {
        std::fprintf(stderr, "%s: %s\n", who.c_str(), o.error.c_str());
        return 1;
    }
    PrintCaseLine(wall, o.rows, o.bytes);
    return 0;
}

bool spawn(const std::string& self, const std::string& who, bool used, bool compress, const std::string& workload,
           bool tls, Sample& s, std::string& check) {
    return SpawnCase(self,
                     {"--case", who, used ? "used" : "stored", compress ? "compressed" : "plain", workload,
                      tls ? "tls" : "clear"},
                     s, check);
}
}  // namespace
int main(int argc, char** argv) {
    if (argc >= 7 && std::strcmp(argv[1], "--case") == 0)
        return runCase(argv[2], std::strcmp(argv[3], "used") == 0, std::strcmp(argv[4], "compressed") == 0, argv[5],
                       std::strcmp(argv[6], "tls") == 0);
    Target t = TargetFromEnvironment();
    if (t.port == 0) {
        std::fprintf(stderr, "set the VELMYSQL_TEST_* variables (scripts/test-server env)\n");
        return 2;
    }
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    if (!prepareTable(t)) return 1;
    const std::string self = SelfPath();
    if (self.empty()) return 1;

    struct Case {
        std::string who;
        bool used, compress;
        std::string workload = "rows";
        bool tls = false;
        std::string label() const {
            std::string l = workload == "rows" ? "" : workload + " ";
            return l + (used ? "used" : "stored") + (compress ? " compressed" : "") + (tls ? " tls" : "");
        }
        std::string name() const { return who + " " + label(); }
        std::string peer() const { return "libmariadb " + label(); }
    };
    std::vector<Case> cases;
    for (bool compress : {false, true})
        for (bool used : {true, false})
            for (const char* who : {"libmariadb", "ours"}) cases.push_back({who, used, compress});
    for (bool used : {true, false})
        for (const char* who : {"libmariadb", "ours"}) cases.push_back({who, used, false, "rows", true});
    for (const char* workload : {"blob64", "mb100"})
        for (const char* who : {"libmariadb", "ours"}) cases.push_back({who, true, false, workload});
    std::map<std::string, std::vector<Sample>> samples;
    std::map<std::string, std::string> checks;
    // Warm the server's caches once.
    Sample warm;
    std::string ignore;
    spawn(self, "libmariadb", true, false, "rows", false, warm, ignore);
    for (int r = 0; r < rounds; ++r) {
        for (size_t i = 0; i < cases.size(); ++i) {
            // Alternate the order of the two clients from round to round.
            const Case& c = cases[(r % 2 == 0) ? i : (i ^ 1)];
            Sample s;
            std::string check;
            if (!spawn(self, c.who, c.used, c.compress, c.workload, c.tls, s, check)) {
                std::fprintf(stderr, "case %s failed\n", c.name().c_str());
                return 1;
            }
            samples[c.name()].push_back(s);
            checks[c.name()] = check;
        }
    }
    std::printf("1,000,000 rows (int, varchar(32), double, datetime, nullable varchar(100)); blob64: one 64 MB "
                "blob stored and read back; mb100: 100 rows of 1 MB; %d rounds, medians\n",
                rounds);
    std::printf("%-30s %10s %10s %10s   %s\n", "case", "wall s", "cpu s", "peak MB", "rows/bytes");
    std::map<std::string, Sample> med;
    for (const Case& c : cases) {
        const Sample s = Median(samples[c.name()]);
        med[c.name()] = s;
        std::printf("%-30s %10.3f %10.3f %10.1f   %s\n", c.name().c_str(), s.wall, s.cpu, s.rssMb,
                    checks[c.name()].c_str());
    }
    bool same = true;
    for (const Case& c : cases)
        if (c.who == "ours" && checks[c.name()] != checks[c.peer()]) same = false;
    if (!same) std::printf("WARNING: the two clients read different data\n");
    std::printf("\nratios ours/libmariadb        %10s %10s %10s\n", "wall", "cpu", "peak mem");
    for (const Case& c : cases) {
        if (c.who != "ours") continue;
        const Sample& o = med[c.name()];
        const Sample& p = med[c.peer()];
        std::printf("ratio ours/libmariadb %-18s %6.2f %10.2f %10.2f\n", c.label().c_str(), o.wall / p.wall,
                    o.cpu / p.cpu, o.rssMb / p.rssMb);
    }
    return same ? 0 : 1;
}
