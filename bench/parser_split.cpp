// Splits a 10 MB script of mixed statements with ParseScript and reads the same text
// with the raw token loop; prints MB/s of each (median of several runs).
//
//   bench_parser_split [megabytes] [runs]

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "velmysql/parser/script.h"

using namespace velmysql;

namespace {

// A fixed pseudo-random sequence, so every run splits the same script.
struct Lcg {
    uint64_t state = 0x9E3779B97F4A7C15ull;
    uint32_t Next() {
        state = state * 6364136223846793005ull + 1442695040888963407ull;
        return static_cast<uint32_t>(state >> 33);
    }
    uint32_t Below(uint32_t n) { return Next() % n; }
};

// Statements with strings holding escaped quotes and semicolons, comments of all
// three kinds, brackets, backquoted names, numbers, hex, parameters and line breaks.
// Answers the number of statements appended.
std::size_t BuildScript(std::size_t bytes, std::string& script) {
    Lcg rng;
    std::size_t statements = 0;
    static const char* const kNames[] = {"customers", "orders", "`order items`", "t1", "price_list"};
    static const char* const kStrings[] = {"'it\\'s; fine'", "'O''Brien'", "\"double \\\" quoted;\"",
                                           "'a\\\\'", "'plain text value'"};
    while (script.size() < bytes) {
        const char* name = kNames[rng.Below(5)];
        const char* str = kStrings[rng.Below(5)];
        switch (rng.Below(6)) {
        case 0:
            script += "select a, b, `weird;name`, 3.25e+2 from ";
            script += name;
            script += " where c = ";
            script += str;
            script += " and d <> 0x1F -- trailing; comment\r\n  order by a;\r\n";
            break;
        case 1:
            script += "insert into ";
            script += name;
            script += " (a, b) values (";
            script += std::to_string(rng.Next());
            script += ", ";
            script += str;
            script += ");\r\n";
            break;
        case 2:
            script += "/* block comment; with a semicolon\r\n spanning lines */ update ";
            script += name;
            script += " set a = a + 1, b = :param_b where id = [ID] || c >> 2;\r\n";
            break;
        case 3:
            script += "delete from ";
            script += name;
            script += "\twhere x in (1, 2, 3) # hash comment;\r\n and y = ";
            script += str;
            script += ";\r\n";
            break;
        case 4:
            script += "create table t";
            script += std::to_string(rng.Below(1000));
            script += " (\r\n  id int not null,\r\n  name varchar(40) default 'n;a',\r\n  primary key (id)\r\n);\r\n";
            break;
        default:
            script += "set @v := ";
            script += std::to_string(rng.Below(100000));
            script += ".5d * 2;\r\n";
            break;
        }
        ++statements;
    }
    return statements;
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    const std::size_t megabytes = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 10;
    const int runs = argc > 2 ? std::atoi(argv[2]) : 5;
    std::string script;
    const std::size_t statements = BuildScript(megabytes * 1024 * 1024, script);
    const double mb = static_cast<double>(script.size()) / (1024.0 * 1024.0);
    TStringList source;
    source.SetText(script);

    using Clock = std::chrono::steady_clock;
    std::vector<double> splitRates, tokenRates;
    for (int run = 0; run < runs; ++run) {
        TStringList lines;
        lines.Assign(source);
        const auto t0 = Clock::now();
        ParseScript(lines, false);
        const double seconds = std::chrono::duration<double>(Clock::now() - t0).count();
        if (static_cast<std::size_t>(lines.Count()) != statements) {
            std::fprintf(stderr, "split gave %d statements, expected %zu\n", lines.Count(), statements);
            return 1;
        }
        splitRates.push_back(mb / seconds);

        const std::string text = source.Text();
        TBasicParser parser(text);
        ConfigureScriptParser(parser);
        std::size_t tokens = 0;
        const auto t1 = Clock::now();
        while (parser.NextToken(false).Kind != ttEnd) ++tokens;
        const double tokenSeconds = std::chrono::duration<double>(Clock::now() - t1).count();
        if (tokens == 0) return 1;
        tokenRates.push_back(mb / tokenSeconds);
    }
    std::printf("script: %.1f MB, %zu statements, %d runs\n", mb, statements, runs);
    std::printf("token loop MB/s: %.1f\n", Median(tokenRates));
    std::printf("ParseScript MB/s: %.1f\n", Median(splitRates));
    return 0;
}
