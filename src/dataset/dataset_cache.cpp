// TMySQLDatasetBase: cached updates and the batch. While updates are cached, posts,
// inserts and deletes only add their statements to SQLCached (the local rows change as
// if they had run); ApplyUpdates sends them, and so do a refresh, a close and switching
// CachedUpdates off.

#include "velmysql/dataset/mysql_dataset.h"
#include "velmysql/parser/script.h"

namespace velmysql {

namespace {

bool IsStatement(const std::string& Statement, const char* Word) {
    std::string_view s = Statement;
    while (!s.empty() && (s.back() == ';' || s.back() == ' ')) s.remove_suffix(1);
    return SameText(s, Word);
}

}  // namespace

void TMySQLDatasetBase::ApplyUpdates() {
    if (sqlCached_.Count() == 0) return;
    TStringList statements;
    statements.Assign(sqlCached_);
    ParseScript(statements, options_.Contains(doSingleSQL));
    // What has taken effect leaves the cache, so that applying again sends nothing twice:
    // statements sent outside a transaction, and transactions that were committed. A
    // failure inside a transaction the cache opened rolls that transaction back, and its
    // statements stay.
    int applied = 0;    // statements before this one have taken effect
    int openedAt = -1;  // the start of the cache's open transaction
    int i = 0;
    try {
        for (; i < statements.Count(); ++i) {
            const std::string& statement = statements.Line(i);
            ExecSQL(statement, false, false);
            if (IsStatement(statement, "start transaction")) {
                openedAt = i;
            } else if (IsStatement(statement, "commit") || IsStatement(statement, "rollback")) {
                openedAt = -1;
                applied = i + 1;
            } else if (openedAt < 0) {
                applied = i + 1;
            }
        }
    } catch (...) {
        if (openedAt >= 0) {
            try {
                ExecSQL("rollback;", false, false);
            } catch (...) {
                // The statement's error is the one to report.
            }
            inTransaction_ = false;
        }
        TStringList rest;
        for (int k = applied; k < statements.Count(); ++k) rest.Add(statements.Line(k));
        sqlCached_.Assign(rest);
        throw;
    }
    sqlCached_.Clear();
}

bool TMySQLDatasetBase::ExecBatch() {
    return ExecSQLBatch(sqlBatch_, options_.Contains(doMacrosEnabled), options_.Contains(doCachedUpdates));
}

}  // namespace velmysql
