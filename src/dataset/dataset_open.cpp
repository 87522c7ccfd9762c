// TMySQLDatasetBase: opening (statements, result), fetching rows into the row list, the
// cursor the framework drives over it (records, bookmarks, record numbers), refresh and
// close.

#include <cstring>
#include <exception>
#include <limits>

#include "velmysql/dataset/mysql_dataset.h"
#include "velmysql/db/db_error.h"
#include "velmysql/drivers/mysql_error.h"
#include "velmysql/parser/script.h"
#include "dataset/screen_cursor_scope.h"

namespace velmysql {

namespace {

TRecInfo* Rec(TRecordBuffer Buffer) { return static_cast<TRecInfo*>(Buffer); }

constexpr const char* kRecordReleased = "Record is no longer available";

}  // namespace

// ---------------------------------------------------------------- open

void TMySQLDatasetBase::InternalOpen() {
    ActivateConnection();
    if (options_.Contains(doAutoCreate) && !tableName_.empty()) CreateTable(true);
    InternalOpenResult();
    currentRow_ = -1;
    InternalInitFieldDefs();
    if (DefaultFields()) CreateFields();
    for (TField* field : Fields()) {
        const int column = FindFieldInfo(field->FieldName());
        field->SetOrigin(column >= 0 ? FieldInfo(column).Origin : field->FieldName());
    }
    BindFields(true);
    SetBookmarkSize(8);
}

void TMySQLDatasetBase::InternalOpenResult() {
    datasetscope::ScreenCursorScope cursor(UseCursor(), cursor_);
    if (rowsOpen_) return;
    if (sql_.Count() == 0) MySQLError(nullptr, nullptr, -1, "Must have SQL");
    InternalOpenResultBlock();
}

std::string TMySQLDatasetBase::PrepareStatement(const std::string& Statement) {
    std::string text = SQLPopulate(Statement, true, false);
    // A value never brings a zero byte (literals are escaped); the text ends at one.
    if (const std::size_t nul = text.find('\0'); nul != std::string::npos) text.resize(nul);
    return text;
}

void TMySQLDatasetBase::RunStatement(const std::string& Statement) {
    TMySQLBase* driver = server_->GetDriver();
    currentStatement_ = options_.Contains(doMacrosEnabled) ? PrepareStatement(Statement) : Statement;
    bool carryOn = true;
    if (OnExecSQL) OnExecSQL(this, currentStatement_, carryOn);
    if (!carryOn) Abort();
    lastStatement_ = currentStatement_;
    std::string text = currentStatement_;
    if (driver->ServerVersion() < 32200 && !text.empty() && text.back() == ';') text.pop_back();
    ClearRest();
    result_ = driver->OpenQuery(handle_, text);
    lastInsertId_ = driver->ServerVersion() > 32111 ? driver->LastInsertID(handle_) : "0";
    affectedRows_ = driver->AffectedRows(handle_);
    queryInfo_ = driver->QueryInfo(handle_);
}

void TMySQLDatasetBase::InternalOpenResultBlock() {
    if (server_ == nullptr || server_->GetDriver() == nullptr) MySQLError(nullptr, nullptr, -1, "No server connection");
    // The statement phase: only the last statement's result stays open.
    TStringList statements;
    statements.Assign(sql_);
    ParseScript(statements, options_.Contains(doSingleSQL));
    for (int i = 0; i < statements.Count(); ++i) RunStatement(statements.Line(i));

    // The result phase.
    runningWidth_ = 0;
    recordSize_ = 0;
    RecInfoClear();
    databases_.clear();
    TableInfoClear();
    FieldInfoClear();
    rowsOpen_ = true;
    if (result_ == nullptr) {
        // A statement without rows: a dataset without columns and records.
        allFetched_ = true;
        return;
    }
    primaryKeys_.clear();
    uniqueKeys_.clear();
    indexKeys_.clear();
    ReadResultColumns();
    for (std::string* list : {&primaryKeys_, &uniqueKeys_, &indexKeys_})
        if (!list->empty() && list->back() == ',') list->pop_back();
    runningWidth_ += runningWidth_ <= 1 ? 2 : 3;
    recordSize_ = static_cast<int>(runningWidth_ + sizeof(TRecInfo));
    allFetched_ = false;
    if (resultType_ == rtLocal) GetRest();
}

// ---------------------------------------------------------------- fetching

const TRowValues* TMySQLDatasetBase::Row(int64_t Index) const {
    if (Index < firstRow_ || Index >= rowCount_) return nullptr;
    return &rows_[static_cast<size_t>(Index - firstRow_)];
}

TRowValues* TMySQLDatasetBase::MutableRow(int64_t Index) { return const_cast<TRowValues*>(Row(Index)); }

void TMySQLDatasetBase::RowReleasedError() { DatabaseError(kRecordReleased, this); }

void TMySQLDatasetBase::GetNextRow() {
    TMySQLBase* driver = server_->GetDriver();
    MySQLRow row = driver->RetrieveRow(result_);
    allFetched_ = row == nullptr;
    if (row == nullptr) {
        driver->CloseQuery(result_);
        AfterLastRow();
        return;
    }
    // Only the newest row keeps its storage in rtUnidirectional.
    if (resultType_ == rtUnidirectional && !rows_.empty()) {
        firstRow_ += static_cast<int64_t>(rows_.size());
        rows_.clear();
    }
    const MySQLLengths lengths = driver->RetrieveRowFieldLenghts(result_);
    const int count = FieldInfoCount();
    const int64_t index = rowCount_;
    rows_.emplace_back();
    TRowValues& values = rows_.back();
    ++rowCount_;
    // Every value keeps its exact bytes: the row is one copy of the fetched values.
    if (resultColumns_ == count && lengths != nullptr && !OnCustomValue) {
        values.Fill(count, row, lengths);
        return;
    }
    // Custom columns (and NULLs, with OnCustomValue) may get a value from the handler.
    scratchValues_.assign(static_cast<size_t>(count), nullptr);
    scratchLengths_.assign(static_cast<size_t>(count), 0);
    for (int i = 0; i < resultColumns_; ++i) {
        scratchValues_[static_cast<size_t>(i)] = row[i];
        if (row[i] != nullptr) scratchLengths_[static_cast<size_t>(i)] = lengths != nullptr ? lengths[i] : std::strlen(row[i]);
    }
    std::vector<std::string> custom;
    if (OnCustomValue) {
        custom.resize(static_cast<size_t>(count));
        for (int i = 0; i < count; ++i) {
            if (scratchValues_[static_cast<size_t>(i)] != nullptr) continue;
            std::string& text = custom[static_cast<size_t>(i)];
            OnCustomValue(this, fieldInfos_[static_cast<size_t>(i)].info.Name, index, text);
            if (!text.empty()) {
                scratchValues_[static_cast<size_t>(i)] = text.data();
                scratchLengths_[static_cast<size_t>(i)] = text.size();
            }
        }
    }
    values.Fill(count, scratchValues_.data(), scratchLengths_.data());
}

void TMySQLDatasetBase::GetRest() {
    while (!allFetched_) GetNextRow();
}

void TMySQLDatasetBase::ClearRest() {
    if (result_ == nullptr) return;
    TMySQLBase* driver = server_ != nullptr ? server_->GetDriver() : nullptr;
    if (driver == nullptr) {
        result_ = nullptr;
        allFetched_ = true;
        return;
    }
    // The result is freed even when reading its rest fails.
    try {
        while (driver->RetrieveRow(result_) != nullptr) {
        }
    } catch (...) {
        driver->CloseQuery(result_);
        allFetched_ = true;
        throw;
    }
    driver->CloseQuery(result_);
    allFetched_ = true;
}

// ---------------------------------------------------------------- the cursor

int TMySQLDatasetBase::GetRecordCount() {
    if (!rowsOpen_) return 0;
    int64_t count = rowCount_;
    if (resultType_ != rtLocal && !allFetched_) ++count;
    return static_cast<int>(std::min<int64_t>(count, std::numeric_limits<int>::max()));
}

TGetResult TMySQLDatasetBase::GetRecord(TRecordBuffer Buffer, TGetMode GetMode, bool DoCheck) {
    if (GetRecordCount() <= 0) return grEOF;
    // Fetching ahead tells whether a next row exists. In rtUnidirectional it would release
    // the current row, so only a request that moves forward (or past the fetched rows,
    // as the last-record request does) fetches.
    const bool fetchAhead = resultType_ != rtUnidirectional || GetMode == gmNext || currentRow_ >= rowCount_;
    while (fetchAhead && rowCount_ - 1 <= currentRow_ && !allFetched_) GetNextRow();
    if (currentRow_ > rowCount_) currentRow_ = rowCount_;
    TGetResult result = grOK;
    switch (GetMode) {
        case gmCurrent:
            if (currentRow_ < 0 || currentRow_ >= rowCount_) result = grError;
            break;
        case gmNext:
            if (GetRecordCount() - 1 > currentRow_) {
                ++currentRow_;
                // The count may promise one more row than the result still has.
                while (rowCount_ - 1 < currentRow_ && !allFetched_) GetNextRow();
                if (currentRow_ >= rowCount_) {
                    currentRow_ = rowCount_;
                    result = grEOF;
                }
            } else {
                result = grEOF;
            }
            break;
        case gmPrior:
            if (currentRow_ > 0) {
                if (resultType_ != rtUnidirectional) --currentRow_;
            } else {
                result = grBOF;
            }
            break;
    }
    if (result == grOK) {
        const TRowValues* row = Row(currentRow_);
        if (row == nullptr) {
            // rtUnidirectional released this row: the last-record request shows the
            // newest row; any other request for it fails.
            if (GetMode == gmPrior && rowCount_ > 0 && Row(rowCount_ - 1) != nullptr) {
                currentRow_ = rowCount_ - 1;
                row = Row(currentRow_);
            } else if (DoCheck) {
                RowReleasedError();
            } else {
                return grError;
            }
        }
        TRecInfo* rec = Rec(Buffer);
        rec->Values.Assign(*row);
        rec->BookmarkFlag = bfCurrent;
        rec->Index = currentRow_;
        GetCalcFields(Buffer);
    } else if (result == grError && DoCheck) {
        DatabaseError("No Records", this);
    }
    return result;
}

void TMySQLDatasetBase::InternalFirst() { currentRow_ = -1; }

void TMySQLDatasetBase::InternalLast() {
    currentRow_ = (resultType_ == rtLocal || allFetched_) ? rowCount_ : std::numeric_limits<int32_t>::max();
}

void TMySQLDatasetBase::GetBookmarkData(TRecordBuffer Buffer, void* Data) {
    std::memcpy(Data, &Rec(Buffer)->Index, sizeof(int64_t));
}

void TMySQLDatasetBase::SetBookmarkData(TRecordBuffer Buffer, const void* Data) {
    std::memcpy(&Rec(Buffer)->Index, Data, sizeof(int64_t));
}

TBookmarkFlag TMySQLDatasetBase::GetBookmarkFlag(TRecordBuffer Buffer) { return Rec(Buffer)->BookmarkFlag; }

void TMySQLDatasetBase::SetBookmarkFlag(TRecordBuffer Buffer, TBookmarkFlag Value) { Rec(Buffer)->BookmarkFlag = Value; }

void TMySQLDatasetBase::InternalGotoBookmark(const void* Bookmark) {
    int64_t index;
    std::memcpy(&index, Bookmark, sizeof index);
    if (index >= 0 && index < rowCount_ && Row(index) == nullptr) RowReleasedError();
    currentRow_ = index;
}

void TMySQLDatasetBase::InternalSetToRecord(TRecordBuffer Buffer) { InternalGotoBookmark(&Rec(Buffer)->Index); }

bool TMySQLDatasetBase::BookmarkValid(const TBookmark& Bookmark) {
    if (Bookmark.size() != sizeof(int64_t) || !rowsOpen_ || GetRecordCount() <= 0) return false;
    int64_t index;
    std::memcpy(&index, Bookmark.data(), sizeof index);
    return index >= 0 && index < rowCount_;
}

int TMySQLDatasetBase::CompareBookmarks(const TBookmark& Bookmark1, const TBookmark& Bookmark2) {
    if (!BookmarkValid(Bookmark1)) return -1;
    if (!BookmarkValid(Bookmark2)) return 1;
    int64_t a, b;
    std::memcpy(&a, Bookmark1.data(), sizeof a);
    std::memcpy(&b, Bookmark2.data(), sizeof b);
    return a < b ? -1 : (a > b ? 1 : 0);
}

int TMySQLDatasetBase::GetRecNo() {
    TRecInfo* buffer = nullptr;
    if (!GetActiveRecBuf(buffer)) return -1;
    return static_cast<int>(buffer->Index);
}

void TMySQLDatasetBase::SetRecNo(int Value) {
    CheckBrowseMode();
    if (Value == GetRecNo()) return;
    if (Value >= 0 && Value < rowCount_ && Row(Value) == nullptr) RowReleasedError();
    DoBeforeScroll();
    currentRow_ = Value;
    CursorPosChanged();
    Resync({});
    DoAfterScroll();
}

// ---------------------------------------------------------------- refresh and close

void TMySQLDatasetBase::ResyncResult() {
    datasetscope::ScreenCursorScope cursor(UseCursor(), cursor_);
    DisableControls();
    try {
        const int columns = FieldInfoCount();
        InternalOpenResultBlock();
        if (FieldInfoCount() != columns) {
            InternalClose();
            MySQLError(nullptr, nullptr, -1, "Columns have changed. Please close and reopen.");
        }
    } catch (...) {
        EnableControls();
        throw;
    }
    EnableControls();
}

void TMySQLDatasetBase::InternalRefresh() {
    ApplyUpdates();
    if (server_ != nullptr) ResyncResult();
}

void TMySQLDatasetBase::InternalClose() {
    // Whatever fails on the way, the rows, columns and connection are released; the
    // first failure is raised afterwards.
    std::exception_ptr failure;
    try {
        // The collected statements go out first; what fails stays in the cache.
        if (server_ != nullptr) ApplyUpdates();
    } catch (...) {
        failure = std::current_exception();
    }
    try {
        ClearRest();
    } catch (...) {
        if (!failure) failure = std::current_exception();
    }
    RecInfoClear();
    rowsOpen_ = false;
    currentRow_ = -1;
    BindFields(false);
    if (DefaultFields()) DestroyFields();
    FieldInfoClear();
    TableInfoClear();
    try {
        DeactivateConnection();
    } catch (...) {
        if (!failure) failure = std::current_exception();
    }
    if (failure) std::rethrow_exception(failure);
}

void TMySQLDatasetBase::RecInfoClear() {
    rows_.clear();
    rows_.shrink_to_fit();
    firstRow_ = 0;
    rowCount_ = 0;
    editCopy_.reset();
}

void TMySQLDatasetBase::FieldInfoClear() { fieldInfos_.clear(); }

void TMySQLDatasetBase::TableInfoClear() { tableInfos_.clear(); }

}  // namespace velmysql
