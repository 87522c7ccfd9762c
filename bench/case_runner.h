#pragma once
// What the fetch benchmarks share: the test server's coordinates, the 1,000,000-row table
// they all read, and the frame that runs each case in a process of its own (the program
// started again with its case arguments; the child prints one line "wall cpu rss rows
// bytes") and takes medians over rounds.

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace velbench {

struct Target {
    std::string host, user, password, database;
    unsigned port = 0;
};

// The private test server of scripts/test-server (its VELMYSQL_TEST_* variables).
inline Target TargetFromEnvironment() {
    auto env = [](const char* name) -> std::string {
        const char* v = std::getenv(name);
        return v ? v : "";
    };
    Target t;
    t.host = env("VELMYSQL_TEST_HOST");
    t.port = static_cast<unsigned>(std::atoi(env("VELMYSQL_TEST_PORT").c_str()));
    t.user = env("VELMYSQL_TEST_USER");
    t.password = env("VELMYSQL_TEST_PASSWORD");
    t.database = env("VELMYSQL_TEST_DATABASE");
    return t;
}

inline constexpr const char* kTable = "bench_wire_rows";
inline constexpr const char* kQuery = "select id, name, val, ts, note from bench_wire_rows";

// The statements that (re)create the table: int, varchar(32), double, datetime and a
// nullable varchar(100) of 0-99 bytes, every fifth NULL.
inline std::vector<std::string> TableStatements() {
    const std::string table = kTable;
    return {
        "drop table if exists " + table,
        "create table " + table +
            " (id int not null primary key, name varchar(32) not null, val double not null, "
            "ts datetime not null, note varchar(100) null)",
        "insert into " + table +
            " select seq, concat('name-', seq), seq * 1.25, '2020-01-01 00:00:00' + interval seq second, "
            "if(seq % 5 = 0, null, repeat(char(97 + seq % 26), seq % 100)) from seq_1_to_1000000",
    };
}

struct Sample {
    double wall = 0, cpu = 0, rssMb = 0;
};

// Child side: the line for one fetch that took wall seconds, with this process's CPU
// seconds (user + system) and peak RSS.
inline void PrintCaseLine(double wall, std::uint64_t rows, std::uint64_t bytes) {
    rusage ru{};
    getrusage(RUSAGE_SELF, &ru);
    const double cpu = static_cast<double>(ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) +
                       static_cast<double>(ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
    std::printf("%.6f %.6f %.3f %llu %llu\n", wall, cpu, static_cast<double>(ru.ru_maxrss) / 1024.0,
                static_cast<unsigned long long>(rows), static_cast<unsigned long long>(bytes));
}

// This program's path, to start it again for a case.
inline std::string SelfPath() {
    char self[4096];
    const ssize_t len = readlink("/proc/self/exe", self, sizeof self - 1);
    return len > 0 ? std::string(self, static_cast<std::size_t>(len)) : std::string();
}

// Parent side: runs this program with args, reads its line; check becomes "rows/bytes"
// so that cases can be compared for reading the same data.
inline bool SpawnCase(const std::string& self, const std::vector<std::string>& args, Sample& s, std::string& check) {
    int fds[2];
    if (pipe(fds) != 0) return false;
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(fds[1], 1);
        close(fds[0]);
        close(fds[1]);
        std::vector<char*> argv{const_cast<char*>(self.c_str())};
        for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(self.c_str(), argv.data());
        _exit(127);
    }
    close(fds[1]);
    std::string text;
    char buf[256];
    ssize_t n;
    while ((n = read(fds[0], buf, sizeof buf)) > 0) text.append(buf, static_cast<std::size_t>(n));
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

// The median of each measure over the samples of one case.
inline Sample Median(const std::vector<Sample>& samples) {
    auto median = [&](double Sample::*m) {
        std::vector<double> v;
        for (const auto& s : samples) v.push_back(s.*m);
        std::sort(v.begin(), v.end());
        const std::size_t k = v.size() / 2;
        return v.empty() ? 0.0 : v.size() % 2 ? v[k] : (v[k - 1] + v[k]) / 2;
    };
    return Sample{median(&Sample::wall), median(&Sample::cpu), median(&Sample::rssMb)};
}

}  // namespace velbench
