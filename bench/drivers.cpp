// Fetches the same 1,000,000-row table through the driver operations (OpenQuery,
// RetrieveRow, RetrieveRowFieldLenghts) of TMySQLDirect and of TMySQLLibrary over
// libmariadb. Each case runs in its own process (this program started again with --case),
// the two alternate over several rounds, and the table shows per case the median wall time,
// client CPU seconds (user + system of that process) and peak RSS. The last line is the
// client CPU ratio direct/library.
//
//   bench_drivers [rounds] [client library]   server from VELMYSQL_TEST_* (scripts/test-server env)

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "case_runner.h"
#include "driver_fetch.h"
#include "velmysql/drivers/mysql_direct_driver.h"
#include "velmysql/drivers/mysql_library.h"

using namespace velmysql;
using namespace velbench;

namespace {

std::unique_ptr<TMySQLBase> MakeDriver(const std::string& who, const std::string& clientLibrary) {
    if (who == "direct") return std::make_unique<TMySQLDirect>();
    auto d = std::make_unique<TMySQLLibrary>();
    d->SetClientDLL(clientLibrary);
    return d;
}

int RunCase(const std::string& who, const std::string& clientLibrary) {
    Target t = TargetFromEnvironment();
    auto d = MakeDriver(who, clientLibrary);
    auto t0 = std::chrono::steady_clock::now();
    DriverOutcome o;
    try {
        o = FetchThroughDriver(*d, t);
    } catch (const Exception& e) {
        std::fprintf(stderr, "%s: %s\n", who.c_str(), e.Message().c_str());
        return 1;
    }
    PrintCaseLine(std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count(), o.rows, o.bytes);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 4 && std::strcmp(argv[1], "--case") == 0) return RunCase(argv[2], argv[3]);
    Target t = TargetFromEnvironment();
    if (t.port == 0) {
        std::fprintf(stderr, "set the VELMYSQL_TEST_* variables (scripts/test-server env)\n");
        return 2;
    }
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    const std::string clientLibrary = argc > 2 ? argv[2] : "libmariadb.so.3";
    if (!PrepareTable(t)) return 1;
    const std::string self = SelfPath();
    if (self.empty()) return 1;

    const std::string cases[] = {"library", "direct"};
    std::map<std::string, std::vector<Sample>> samples;
    std::map<std::string, std::string> checks;
    Sample warm;
    std::string ignore;
    SpawnCase(self, {"--case", "library", clientLibrary}, warm, ignore);  // warms the server's caches
    for (int r = 0; r < rounds; ++r) {
        for (int i = 0; i < 2; ++i) {
            // Alternate which driver goes first from round to round.
            const std::string& who = cases[(i + r) % 2];
            Sample s;
            std::string check;
            if (!SpawnCase(self, {"--case", who, clientLibrary}, s, check)) {
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
        med[who] = Median(samples[who]);
        std::printf("%-10s %10.3f %10.3f %10.1f   %s\n", who.c_str(), med[who].wall, med[who].cpu, med[who].rssMb,
                    checks[who].c_str());
    }
    bool same = checks["direct"] == checks["library"];
    if (!same) std::printf("WARNING: the two drivers read different data\n");
    std::printf("ratio direct/library wall: %.2f\n", med["direct"].wall / med["library"].wall);
    std::printf("ratio direct/library cpu: %.2f\n", med["direct"].cpu / med["library"].cpu);
    return same ? 0 : 1;
}
