// A whole session played from fuzzed server bytes: login, queries with stored and used
// results, navigation, change of user, statistics, the process list.

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "velmysql/wire/mysql_client.h"
#include "wire_pipe.h"

using namespace velmysql;

namespace {
void walk(TMysqlResult& r) {
    r.FetchLengths();
    for (unsigned i = 0; i <= r.FieldCount(); ++i) {
        const char* v = r.FieldValue(static_cast<int>(i));
        if (v && std::strlen(v) > r.FieldLenght(static_cast<int>(i))) __builtin_trap();  // NUL-terminated copy
        r.FieldDef(static_cast<int>(i));
    }
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static fuzzing::FakePipe pipe;
    if (size < 1 || size > 200000) return 0;
    std::thread server = pipe.serve(data + 1, size - 1);
    {
        TMysqlClient c;
        c.SetNamedPipe(true);
        c.SetReconnect(false);  // a reconnect would wait for a server that never speaks
        c.setfcompress(data[0] & 1);
        const std::string db = (data[0] & 2) ? "db" : "";
        if (c.connect("h", "user", (data[0] & 4) ? "secret" : "", db, 0, "", false, 0)) {
            bool done;
            if (auto r = c.query((data[0] & 8) ? "LOAD DATA LOCAL INFILE '/nonexistent' INTO TABLE t" : "select 1",
                                 true, done)) {
                for (r->First(); !r->Eof(); r->Next()) walk(*r);
                r->Last();
                r->Prior();
                r->SetRecNo(1);
                walk(*r);
            }
            if (auto u = c.query("select 2", false, done)) {
                // Every value is read after every reply, the failed and the last one
                // included: a row that did not parse must leave nothing stale behind.
                for (int i = 0; i < 100000; ++i) {
                    walk(*u);
                    if (u->Eof()) break;
                    u->Next();
                }
                walk(*u);
            }
            if (auto u = c.query("select 3", false, done)) u->Next();  // destroyed with rows unread
            c.change_user("other", "pw", "db");
            c.stat();
            if (auto p = c.list_processes()) walk(*p);
            c.ping();
        }
    }
    server.join();
    return 0;
}
