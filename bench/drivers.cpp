// Fetches the same 1,000,000-row table through the driver operations (OpenQuery,
// RetrieveRow, RetrieveRowFieldLenghts) of TMySQLDirect and of TMySQLLibrary over
// libmariadb. Each case runs in its own process (this program started again with --case),
// the two alternate over several rounds, and the table shows per case the median wall time,
// client CPU seconds (user + system of that process) and peak RSS. The last line is the
// client CPU ratio direct/library.
//
//   bench_drivers [rounds] [client library]   server from VELMYSQL_TEST_* (scripts/test-server env)

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "velmysql/drivers/mysql_direct_driver.h"
#include "velmysql/drivers/mysql_library.h"

using namespace velmysql;

namespace {

// The table of the wire benchmark, so that both compare on the same data.
const char* kTable = "bench_wire_rows";
const char* kQuery = "select id, name, val, ts, note from bench_wire_rows";

struct Target {
    std::string host, user, password, database;
    unsigned port = 0;
};

std::string Env(const char* name) {
    const char* v = std::getenv(name);
    return v ? v : "";
}

Target FromEnvironment() {
    Target t;
    t.host = Env("VELMYSQL_TEST_HOST");
    t.port = static_cast<unsigned>(std::atoi(Env("VELMYSQL_TEST_PORT").c_str()));
    t.user = Env("VELMYSQL_TEST_USER");
    t.password = Env("VELMYSQL_TEST_PASSWORD");
    t.database = Env("VELMYSQL_TEST_DATABASE");
    return t;
}

std::unique_ptr<TMySQLBase> MakeDriver(const std::string& who, const std::string& clientLibrary) {
    if (who == "direct") return std::make_unique<TMySQLDirect>();
    auto d = std::make_unique<TMySQLLibrary>();
    d->SetClientDLL(clientLibrary);
    return d;
}

struct Outcome {
    std::uint64_t rows = 0, bytes = 0;
};

Outcome Fetch(TMySQLBase& d, const Target& t) {
    Outcome out;
    MySQLConnectionHandle* h = d.Open(t.host, t.user, t.password, t.port, 0, t.database);
    MySQLResultHandle* r = d.OpenQuery(h, kQuery);
    const unsigned n = d.RetrieveColCount(r);
    while (MySQLRow row = d.RetrieveRow(r)) {
        MySQLLengths len = d.RetrieveRowFieldLenghts(r);
        // Touch every value so that neither side can skip reading it.
        for (unsigned i = 0; i < n; ++i)
            if (row[i]) out.bytes += len[i] + static_cast<unsigned char>(row[i][0]);
        ++out.rows;
    }
    d.CloseQuery(r);
    d.Close(h);
    return out;
}

bool PrepareTable(const Target& t) {
    TMySQLDirect d;
    MySQLConnectionHandle* h = d.Open(t.host, t.user, t.password, t.port, 0, t.database);
    MySQLResultHandle* r = d.OpenQuery(h, std::string("select count(*) from information_schema.tables where "
                                                      "table_schema = database() and table_name = '") +
                                              kTable + "'");
    MySQLRow row = d.RetrieveRow(r);
    bool exists = row && row[0] && std::string(row[0]) == "1";
    d.CloseQuery(r);
    if (exists) {
        r = d.OpenQuery(h, std::string("select count(*) from ") + kTable);
        row = d.RetrieveRow(r);
        bool complete = row && row[0] && std::string(row[0]) == "1000000";
        d.CloseQuery(r);
        if (complete) {
            d.Close(h);
            return true;
        }
    }
    std::fprintf(stderr, "creating %s (1,000,000 rows)...\n", kTable);
    const std::string steps[] = {
        std::string("drop table if exists ") + kTable,
        std::string("create table ") + kTable +
            " (id int not null primary key, name varchar(32) not null, val double not null, "
            "ts datetime not null, note varchar(100) null)",
        std::string("insert into ") + kTable +
            " select seq, concat('name-', seq), seq * 1.25, '2020-01-01 00:00:00' + interval seq second, "
            "if(seq % 5 = 0, null, repeat(char(97 + seq % 26), seq % 100)) from seq_1_to_1000000",
    };
    for (const auto& s : steps) {
        MySQLResultHandle* none = d.OpenQuery(h, s);
        d.CloseQuery(none);
    }
    d.Close(h);
    return true;
}

struct Sample {
    double wall = 0, cpu = 0, rssMb = 0;
};

int RunCase(const std::string& who, const std::string& clientLibrary) {
    Target t = FromEnvironment();
    auto d = MakeDriver(who, clientLibrary);
    auto t0 = std::chrono::steady_clock::now();
    Outcome o;
    try {
        o = Fetch(*d, t);
    } catch (const Exception& e) {
        std::fprintf(stderr, "%s: %s\n", who.c_str(), e.Message().c_str());
        return 1;
    }
    double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    rusage ru{};
    getrusage(RUSAGE_SELF, &ru);
    double cpu = static_cast<double>(ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) +
                 static_cast<double>(ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
    std::printf("%.6f %.6f %.3f %llu %llu\n", wall, cpu, static_cast<double>(ru.ru_maxrss) / 1024.0,
                static_cast<unsigned long long>(o.rows), static_cast<unsigned long long>(o.bytes));
    return 0;
}

bool Spawn(const std::string& self, const std::string& who, const std::string& clientLibrary, Sample& s,
           std::string& check) {
    int fds[2];
    if (pipe(fds) != 0) return false;
    pid_t pid = fork();
    if (pid == 0) {
        dup2(fds[1], 1);
        close(fds[0]);
        close(fds[1]);
        execl(self.c_str(), self.c_str(), "--case", who.c_str(), clientLibrary.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    close(fds[1]);
    std::string text;
    char buf[256];
    ssize_t n;
    while ((n = read(fds[0], buf, sizeof buf)) > 0) text.append(buf, static_cast<size_t>(n));
    close(fds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    unsigned long long rows = 0, bytes = 0;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 ||
        std::sscanf(text.c_str(), "%lf %lf %lf %llu %llu", &s.wall, &s.cpu, &s.rssMb, &rows, &bytes) != 5)
        return false;
    check = std::to_string(rows) + "/" + std::to_string(bytes);
    return true;
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    size_t m = v.size() / 2;
    return v.size() % 2 ? v[m] : (v[m - 1] + v[m]) / 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 4 && std::strcmp(argv[1], "--case") == 0) return RunCase(argv[2], argv[3]);
    Target t = FromEnvironment();
    if (t.port == 0) {
        std::fprintf(stderr, "set the VELMYSQL_TEST_* variables (scripts/test-server env)\n");
        return 2;
    }
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    const std::string clientLibrary = argc > 2 ? argv[2] : "libmariadb.so.3";
    try {
        if (!PrepareTable(t)) return 1;
    } catch (const Exception& e) {
        std::fprintf(stderr, "preparing the table: %s\n", e.Message().c_str());
        return 1;
    }
    char self[4096];
    ssize_t len = readlink("/proc/self/exe", self, sizeof self - 1);
    if (len <= 0) return 1;
    self[len] = 0;

    const std::string cases[] = {"library", "direct"};
    std::map<std::string, std::vector<Sample>> samples;
    std::map<std::string, std::string> checks;
    Sample warm;
    std::string ignore;
    Spawn(self, "library", clientLibrary, warm, ignore);  // warms the server's caches
    for (int r = 0; r < rounds; ++r) {
        for (int i = 0; i < 2; ++i) {
            // Alternate which driver goes first from round to round.
            const std::string& who = cases[(i + r) % 2];
            Sample s;
            std::string check;
            if (!Spawn(self, who, clientLibrary, s, check)) {
                std::fprintf(stderr, "case %s failed\n", who.c_str());
                return 1;
            }
            samples[who].push_back(s);
            checks[who] = check;
        }
    }
    std::printf("1,000,000 rows through the driver operations; %d rounds, medians; library = %s\n", rounds,
                clientLibrary.c_str());
    std::printf("%-10s %10s %10s %10s   %s\n", "driver", "wall s", "cpu s", "peak MB", "rows/bytes");
    std::map<std::string, Sample> med;
    for (const std::string& who : cases) {
        std::vector<double> w, u, m;
        for (const auto& s : samples[who]) {
            w.push_back(s.wall);
            u.push_back(s.cpu);
            m.push_back(s.rssMb);
        }
        med[who] = Sample{Median(w), Median(u), Median(m)};
        std::printf("%-10s %10.3f %10.3f %10.1f   %s\n", who.c_str(), med[who].wall, med[who].cpu, med[who].rssMb,
                    checks[who].c_str());
    }
    bool same = checks["direct"] == checks["library"];
    if (!same) std::printf("WARNING: the two drivers read different data\n");
    std::printf("ratio direct/library wall: %.2f\n", med["direct"].wall / med["library"].wall);
    std::printf("ratio direct/library cpu: %.2f\n", med["direct"].cpu / med["library"].cpu);
    return same ? 0 : 1;
}
