// Fetches the same 1,000,000-row table with our session and with libmariadb's C API:
// used and stored results, with and without compression. Each case runs in its own
// process (this program started again with --case), the cases alternate over several
// rounds, and the table shows per case the median wall time, client CPU seconds
// (user + system of that process) and peak RSS; then the ratios ours/libmariadb.
//
//   bench_wire [rounds]      reads the server from VELMYSQL_TEST_* (scripts/test-server env)

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

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
using velbench::FetchOutcome;
using velbench::Target;

namespace {
const char* kTable = "bench_wire_rows";
const char* kQuery = "select id, name, val, ts, note from bench_wire_rows";

std::string env(const char* name) {
    const char* v = std::getenv(name);
    return v ? v : "";
}

Target target() {
    Target t;
    t.host = env("VELMYSQL_TEST_HOST");
    t.port = static_cast<unsigned>(std::atoi(env("VELMYSQL_TEST_PORT").c_str()));
    t.user = env("VELMYSQL_TEST_USER");
    t.password = env("VELMYSQL_TEST_PASSWORD");
    t.database = env("VELMYSQL_TEST_DATABASE");
    return t;
}

FetchOutcome fetchOurs(const Target& t, bool used, bool compress) {
    FetchOutcome out;
    TMysqlClient c;
    c.setfcompress(compress);
    c.SetReconnect(false);
    if (!c.connect(t.host, t.user, t.password, t.database, t.port, "", false, 0) || c.realquery(kQuery) != 0) {
        out.error = c.GetLastError();
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
    if (r && r->FieldValue(0) && std::string(r->FieldValue(0)) == "1000000") return true;
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
    for (const auto& s : steps)
        if (c.realquery(s) != 0) {
            std::fprintf(stderr, "%s: %s\n", s.c_str(), c.GetLastError().c_str());
            return false;
        }
    return true;
}

struct Sample {
    double wall = 0, cpu = 0, rssMb = 0;
};

// Child side: one fetch, then one line "wall cpu rss rows bytes".
int runCase(const std::string& who, bool used, bool compress) {
    Target t = target();
    auto t0 = std::chrono::steady_clock::now();
    FetchOutcome o = who == "ours" ? fetchOurs(t, used, compress)
                                   : velbench::FetchWithLibmariadb(t, kQuery, used, compress);
    double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    if (!o.ok) {
        std::fprintf(stderr, "%s: %s\n", who.c_str(), o.error.c_str());
        return 1;
    }
    rusage ru{};
    getrusage(RUSAGE_SELF, &ru);
    double cpu = static_cast<double>(ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) +
                 static_cast<double>(ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
    std::printf("%.6f %.6f %.3f %llu %llu\n", wall, cpu, static_cast<double>(ru.ru_maxrss) / 1024.0,
                static_cast<unsigned long long>(o.rows), static_cast<unsigned long long>(o.bytes));
    return 0;
}

bool spawn(const std::string& self, const std::string& who, bool used, bool compress, Sample& s, std::string& check) {
    int fds[2];
    if (pipe(fds) != 0) return false;
    pid_t pid = fork();
    if (pid == 0) {
        dup2(fds[1], 1);
        close(fds[0]);
        close(fds[1]);
        execl(self.c_str(), self.c_str(), "--case", who.c_str(), used ? "used" : "stored",
              compress ? "compressed" : "plain", static_cast<char*>(nullptr));
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

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    size_t m = v.size() / 2;
    return v.size() % 2 ? v[m] : (v[m - 1] + v[m]) / 2;
}
}  // namespace

int main(int argc, char** argv) {
    if (argc >= 5 && std::strcmp(argv[1], "--case") == 0)
        return runCase(argv[2], std::strcmp(argv[3], "used") == 0, std::strcmp(argv[4], "compressed") == 0);
    Target t = target();
    if (t.port == 0) {
        std::fprintf(stderr, "set the VELMYSQL_TEST_* variables (scripts/test-server env)\n");
        return 2;
    }
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    if (!prepareTable(t)) return 1;
    char self[4096];
    ssize_t len = readlink("/proc/self/exe", self, sizeof self - 1);
    if (len <= 0) return 1;
    self[len] = 0;

    struct Case {
        std::string who;
        bool used, compress;
        std::string name() const {
            return who + (used ? " used" : " stored") + (compress ? " compressed" : "");
        }
    };
    std::vector<Case> cases;
    for (bool compress : {false, true})
        for (bool used : {true, false})
            for (const char* who : {"libmariadb", "ours"}) cases.push_back({who, used, compress});
    std::map<std::string, std::vector<Sample>> samples;
    std::map<std::string, std::string> checks;
    // Warm the server's caches once.
    Sample warm;
    std::string ignore;
    spawn(self, "libmariadb", true, false, warm, ignore);
    for (int r = 0; r < rounds; ++r) {
        for (size_t i = 0; i < cases.size(); ++i) {
            // Alternate the order of the two clients from round to round.
            const Case& c = cases[(r % 2 == 0) ? i : (i ^ 1)];
            Sample s;
            std::string check;
            if (!spawn(self, c.who, c.used, c.compress, s, check)) {
                std::fprintf(stderr, "case %s failed\n", c.name().c_str());
                return 1;
            }
            samples[c.name()].push_back(s);
            checks[c.name()] = check;
        }
    }
    std::printf("1,000,000 rows (int, varchar(32), double, datetime, nullable varchar(100)); %d rounds, medians\n",
                rounds);
    std::printf("%-30s %10s %10s %10s   %s\n", "case", "wall s", "cpu s", "peak MB", "rows/bytes");
    std::map<std::string, Sample> med;
    for (const Case& c : cases) {
        const auto& v = samples[c.name()];
        std::vector<double> w, u, m;
        for (const auto& s : v) {
            w.push_back(s.wall);
            u.push_back(s.cpu);
            m.push_back(s.rssMb);
        }
        Sample s{median(w), median(u), median(m)};
        med[c.name()] = s;
        std::printf("%-30s %10.3f %10.3f %10.1f   %s\n", c.name().c_str(), s.wall, s.cpu, s.rssMb,
                    checks[c.name()].c_str());
    }
    bool same = true;
    for (const Case& c : cases)
        if (c.who == "ours" && checks[c.name()] != checks[Case{"libmariadb", c.used, c.compress}.name()]) same = false;
    if (!same) std::printf("WARNING: the two clients read different data\n");
    std::printf("\nratios ours/libmariadb        %10s %10s %10s\n", "wall", "cpu", "peak mem");
    for (const Case& c : cases) {
        if (c.who != "ours") continue;
        const Sample& o = med[c.name()];
        const Sample& p = med[Case{"libmariadb", c.used, c.compress}.name()];
        std::string label = std::string(c.used ? "used" : "stored") + (c.compress ? " compressed" : "");
        std::printf("ratio ours/libmariadb %-18s %6.2f %10.2f %10.2f\n", label.c_str(), o.wall / p.wall, o.cpu / p.cpu,
                    o.rssMb / p.rssMb);
    }
    return same ? 0 : 1;
}
