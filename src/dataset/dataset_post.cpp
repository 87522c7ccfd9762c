// TMySQLDatasetBase: writing. Every edit, insert and delete becomes the statements of the
// modification templates, expanded for the record and sent through ExecSQL (or collected
// in SQLCached while updates are cached), inside a transaction when doTransactions is
// set; afterwards the local rows show what the server holds.
//
//   browse --Edit--> edit (edit copy made) --Post--> update sent, copy dropped
//                                          --Cancel--> changed columns restored
//   browse --Insert/Append--> insert (key columns marked) --Post--> insert sent, row added
//   browse --Delete--> delete sent, row removed

#include <algorithm>

#include "velmysql/dataset/mysql_dataset.h"
#include "velmysql/drivers/mysql_error.h"
#include "velmysql/parser/script.h"
#include "dataset/dataset_text.h"
#include "dataset/screen_cursor_scope.h"

namespace velmysql {

namespace {

TRecInfo* Rec(TRecordBuffer Buffer) { return static_cast<TRecInfo*>(Buffer); }

// ",A,B," of two comma lists in upper case: a name is in it when ",NAME," occurs.
std::string KeyNames(const std::string& First, const std::string& Second) {
    return datasettext::Upper("," + First + "," + Second + ",");
}

bool InKeyNames(const std::string& Keys, const std::string& Name) {
    return Keys.find(datasettext::Upper("," + Name + ",")) != std::string::npos;
}

}  // namespace

// ---------------------------------------------------------------- sending statements

bool TMySQLDatasetBase::ExecSQL(const std::string& Statement, bool Parse, bool Cached,
                                const std::string& DatabaseOverride, const std::string& TableRestriction) {
    if (Statement.empty()) {
        Execute(true);
        return true;
    }
    std::string text = Statement;
    if (Parse) {
        ParseSQL(text);
        text = SQLPopulate(text, true, false, DatabaseOverride, TableRestriction);
        if (const std::size_t nul = text.find('\0'); nul != std::string::npos) text.resize(nul);
    }
    if (text.size() < 3) return true;
    if (Cached) {
        sqlCached_.Add(text + ";");
        return true;
    }
    datasetscope::ScreenCursorScope cursor(UseCursor(), cursor_);
    ActivateConnection();
    bool carryOn = true;
    if (OnExecSQL) OnExecSQL(this, text, carryOn);
    if (!carryOn) return true;
    lastStatement_ = text;
    TMySQLBase* driver = server_->GetDriver();
    if (driver->ServerVersion() < 32200 && !text.empty() && text.back() == ';') text.pop_back();
    if (options_.Contains(doThreadedUpdate))
        MySQLError(nullptr, nullptr, -1, "Sending statements on a worker thread is not available in this build");
    ClearRest();
    MySQLResultHandle* result = driver->OpenQuery(handle_, text);
    lastInsertId_ = driver->ServerVersion() > 32111 ? driver->LastInsertID(handle_) : "0";
    affectedRows_ = driver->AffectedRows(handle_);
    queryInfo_ = driver->QueryInfo(handle_);
    // Any rows the statement produced are not wanted.
    if (result != nullptr) driver->CloseQuery(result);
    return true;
}

bool TMySQLDatasetBase::ExecSQLBatch(const TStrings& Lines, bool Parse, bool Cached,
                                     const std::string& DatabaseOverride, const std::string& TableRestriction) {
    TStringList statements;
    statements.Assign(Lines);
    ParseScript(statements, options_.Contains(doSingleSQL));
    bool result = true;
    for (int i = 0; i < statements.Count() && result; ++i)
        result = ExecSQL(statements.Line(i), Parse, Cached, DatabaseOverride, TableRestriction);
    return result;
}

bool TMySQLDatasetBase::ExecSQLBatchPerColumn(const TStrings& Lines, bool Parse, bool Cached, bool AllTables) {
    if (!options_.Contains(doRecursiveUpdates) || tableInfos_.size() <= 1)
        return ExecSQLBatch(Lines, Parse, Cached);
    // One run per base table of a joined result, limited to that table's columns.
    bool result = true;
    for (const auto& [alias, table] : tableInfos_) {
        const TFieldInfo* column = nullptr;
        for (const FieldEntry& entry : fieldInfos_) {
            if (SameText(entry.info.Table, table.Name) && (entry.info.Modified || AllTables)) {
                column = &entry.info;
                break;
            }
        }
        if (column == nullptr) continue;
        if (result) result = ExecSQLBatch(Lines, Parse, Cached, column->Database, table.QuotedName);
    }
    return result;
}

// ---------------------------------------------------------------- transactions

bool TMySQLDatasetBase::TransactionsApply() {
    return options_.Contains(doTransactions) && server_ != nullptr && server_->GetServerVer() >= 40011;
}

void TMySQLDatasetBase::StartTransaction() {
    if (!TransactionsApply()) return;
    if (inTransaction_) CommitTransaction();
    ExecSQL("start transaction;", options_.Contains(doMacrosEnabled), options_.Contains(doCachedUpdates));
    inTransaction_ = true;
}

void TMySQLDatasetBase::CommitTransaction() {
    if (!TransactionsApply()) return;
    if (!inTransaction_) StartTransaction();
    ExecSQL("commit;", options_.Contains(doMacrosEnabled), options_.Contains(doCachedUpdates));
    inTransaction_ = false;
}

void TMySQLDatasetBase::RollbackTransaction() {
    if (!TransactionsApply()) return;
    if (!inTransaction_) StartTransaction();
    ExecSQL("rollback;", options_.Contains(doMacrosEnabled), options_.Contains(doCachedUpdates));
    inTransaction_ = false;
}

template <class F>
void TMySQLDatasetBase::RunInTransaction(F&& Body) {
    StartTransaction();
    bool done;
    try {
        done = Body();
    } catch (...) {
        // The statement's error is the one to report.
        try {
            RollbackTransaction();
        } catch (...) {
        }
        throw;
    }
    if (done)
        CommitTransaction();
    else
        RollbackTransaction();
}

// ---------------------------------------------------------------- changed columns

bool TMySQLDatasetBase::CheckChanged() {
    const std::string keys = KeyNames(primaryKeys_, fieldName_);
    for (const FieldEntry& entry : fieldInfos_)
        if (entry.info.Modified && !InKeyNames(keys, entry.info.Name)) return true;
    return false;
}

void TMySQLDatasetBase::MakeChanged() {
    for (FieldEntry& entry : fieldInfos_) entry.info.Modified = entry.info.InResult;
}

// ---------------------------------------------------------------- the framework's side

void TMySQLDatasetBase::InternalEdit() {
    // The fetched row changes as fields are written; the copy keeps the values the key
    // conditions name the row by, and gives them back on cancel.
    TRecInfo* buffer = nullptr;
    if (GetActiveRecBuf(buffer))
        editCopy_ = std::make_unique<TRowValues>(buffer->Values);
    else
        editCopy_.reset();
}

void TMySQLDatasetBase::InternalInsert() {
    // Key columns always take part in the insert.
    const std::string keys = KeyNames(fieldName_, primaryKeys_);
    for (FieldEntry& entry : fieldInfos_)
        if (InKeyNames(keys, entry.info.Name)) entry.info.Modified = entry.info.InResult;
}

void TMySQLDatasetBase::InternalCancel() {
    if (!editCopy_) {
        // A new record was dropped: its marks go with it.
        for (FieldEntry& entry : fieldInfos_) entry.info.Modified = false;
        return;
    }
    std::unique_ptr<TRowValues> copy = std::move(editCopy_);
    TRowValues* row = MutableRow(Rec(ActiveBuffer())->Index);
    for (int i = 0; i < FieldInfoCount(); ++i) {
        TFieldInfo& info = fieldInfos_[static_cast<size_t>(i)].info;
        if (!info.Modified) continue;
        info.Modified = false;
        if (row != nullptr && i < copy->Count())
            row->Set(i, copy->IsNull(i) ? std::nullopt : std::optional<std::string_view>(copy->Value(i)));
    }
}

void TMySQLDatasetBase::InternalPost() {
    if (State() == dsEdit) {
        // An edit that changed only key columns, or nothing, writes every column.
        if (!CheckChanged()) MakeChanged();
        RunInTransaction([&] {
            return ExecSQLBatchPerColumn(sqlUpdate_, options_.Contains(doMacrosEnabled),
                                         options_.Contains(doCachedUpdates), false);
        });
        if (resultType_ != rtLocal) ResyncResult();
    } else {
        InternalAddRecord(ActiveBuffer(), false);
    }
    // A failure above keeps the copy and the marks for the next attempt.
    editCopy_.reset();
    for (FieldEntry& entry : fieldInfos_) entry.info.Modified = false;
}

void TMySQLDatasetBase::InternalAddRecord(TRecordBuffer Buffer, bool) {
    TRecInfo* record = Rec(Buffer);
    const bool cached = options_.Contains(doCachedUpdates);
    const bool parse = options_.Contains(doMacrosEnabled);
    bool added = false;
    RunInTransaction([&] {
        if (!ExecSQLBatchPerColumn(sqlInsert_, parse, cached, false)) return false;
        added = true;
        if (resultType_ != rtLocal) {
            ResyncResult();
            return true;
        }
        // The new local row holds what the insert sent: the marked columns, and the
        // server's insert id in the auto-increment column (which the insert leaves out
        // when it is not set, so it is taken whether the record has a value or not).
        TRowValues row(FieldInfoCount());
        for (int i = 0; i < FieldInfoCount(); ++i) {
            TFieldInfo& info = fieldInfos_[static_cast<size_t>(i)].info;
            const bool hasValue = i < record->Values.Count() && !record->Values.IsNull(i) &&
                                  !(info.IsBlob() && record->Values.Value(i).empty());
            if (info.Flags & column::kAutoIncrement) {
                TMySQLBase* driver = server_ != nullptr ? server_->GetDriver() : nullptr;
                if (driver != nullptr && handle_ != nullptr && !cached)
                    lastInsertId_ = driver->ServerVersion() > 32111 ? driver->LastInsertID(handle_) : "0";
                if (lastInsertId_ != "0" && !cached)
                    row.Set(i, std::string_view(lastInsertId_));
                else if (hasValue)
                    row.Set(i, record->Values.Value(i));
            } else if (hasValue && info.Modified) {
                row.Set(i, record->Values.Value(i));
            }
            info.Modified = false;
        }
        // An appended record goes to the end, an inserted one before the record it was
        // inserted at.
        int64_t at = record->BookmarkFlag == bfEOF ? rowCount_ : record->BookmarkFlag == bfBOF ? 0 : record->Index;
        at = std::clamp<int64_t>(at, firstRow_, rowCount_);
        rows_.insert(rows_.begin() + (at - firstRow_), std::move(row));
        ++rowCount_;
        currentRow_ = at;
        record->Index = at;
        record->BookmarkFlag = bfCurrent;
        return true;
    });
    if (added && OnAfterAdd) OnAfterAdd(this);
}

void TMySQLDatasetBase::InternalDelete() {
    const bool cached = options_.Contains(doCachedUpdates);
    const bool parse = options_.Contains(doMacrosEnabled);
    RunInTransaction([&] {
        if (!ExecSQLBatchPerColumn(sqlDelete_, parse, cached, true)) return false;
        if (resultType_ != rtLocal) {
            ResyncResult();
            return true;
        }
        const int64_t at = Rec(ActiveBuffer())->Index;
        if (at >= firstRow_ && at < rowCount_) {
            rows_.erase(rows_.begin() + (at - firstRow_));
            --rowCount_;
        }
        currentRow_ = std::max<int64_t>(0, std::min(at, rowCount_ - 1));
        return true;
    });
}

}  // namespace velmysql
