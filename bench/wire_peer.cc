// The libmariadb side of the wire benchmark.

#include <mysql.h>

#include "wire_bench.h"

namespace velbench {

FetchOutcome FetchWithLibmariadb(const Target& t, const std::string& before, const std::string& sql, bool used,
                                 bool compress, bool tls) {
    FetchOutcome out;
    MYSQL* m = mysql_init(nullptr);
    if (compress) mysql_options(m, MYSQL_OPT_COMPRESS, nullptr);
    const my_bool on = 1, off = 0;
    mysql_options(m, MYSQL_OPT_SSL_ENFORCE, tls ? &on : &off);
    mysql_options(m, MYSQL_OPT_SSL_VERIFY_SERVER_CERT, &off);
    if (!mysql_real_connect(m, t.host.c_str(), t.user.c_str(), t.password.c_str(), t.database.c_str(), t.port,
                            nullptr, 0) ||
        (!before.empty() && mysql_real_query(m, before.data(), before.size()) != 0) ||
        mysql_real_query(m, sql.data(), sql.size()) != 0) {
        out.error = mysql_error(m);
        mysql_close(m);
        return out;
    }
    if ((mysql_get_ssl_cipher(m) != nullptr) != tls) {
        out.error = tls ? "libmariadb did not encrypt" : "libmariadb encrypted";
        mysql_close(m);
        return out;
    }
    MYSQL_RES* r = used ? mysql_use_result(m) : mysql_store_result(m);
    if (r == nullptr) {
        out.error = mysql_error(m);
        mysql_close(m);
        return out;
    }
    const unsigned n = mysql_num_fields(r);
    while (MYSQL_ROW row = mysql_fetch_row(r)) {
        unsigned long* len = mysql_fetch_lengths(r);
        for (unsigned i = 0; i < n; ++i)
            if (row[i]) out.bytes += len[i] + static_cast<unsigned char>(row[i][0]);
        ++out.rows;
    }
    out.ok = mysql_errno(m) == 0;
    if (!out.ok) out.error = mysql_error(m);
    mysql_free_result(r);
    mysql_close(m);
    return out;
}

}  // namespace velbench
