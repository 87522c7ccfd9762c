#pragma once
// A plain in-memory dataset for the tests: rows live in a vector and keep their values in
// the fields' native formats; every row has a fixed id that serves as its 8-byte
// bookmark, so bookmarks survive inserts and deletes. It overrides only the record-buffer
// protocol and the editing hooks, so the framework's own behaviour is what the tests see.

#include <algorithm>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "velmysql/db/dataset.h"
#include "velmysql/db/db_error.h"
#include "velmysql/db/fields.h"
#include "velmysql/rtl/stream.h"

namespace velmysql::test {

struct Column {
    std::string name;
    TFieldType type;
    int size = 0;
    bool required = false;
};

class MemoryDataSet : public TDataSet {
public:
    using Value = std::optional<std::string>;  // native bytes; nullopt is NULL
    struct Row {
        int64_t id;
        std::vector<Value> values;
    };

    explicit MemoryDataSet(TComponent* owner, std::vector<Column> columns = {})
        : TDataSet(owner), columns_(std::move(columns)) {}
    ~MemoryDataSet() override { CloseOnDestroy(); }

    // ---- test controls
    std::vector<Row>& Rows() { return rows_; }
    // Appends a row directly (outside any edit); values given as native bytes.
    int64_t AddRow(std::vector<Value> values) {
        values.resize(columns_.size());
        rows_.push_back({nextId_++, std::move(values)});
        return rows_.back().id;
    }
    int allocated = 0;     // buffers alive
    int allocations = 0;   // buffers ever allocated
    bool failPost = false;
    int handledExceptions = 0;
    // Failure injection: GetRecord raises on the fetch with this number (counted from 1
    // over the dataset's life); InternalInitRecord, InternalInsert and InternalClose raise
    // while the flag is set.
    int failFetchAt = 0;
    int fetches = 0;
    bool failInitRecord = false;
    bool failInternalInsert = false;
    bool failInternalClose = false;
    int blobReads = 0;  // Read calls on blob streams

    template <class T>
    static Value Native(T v) {
        return std::string(reinterpret_cast<const char*>(&v), sizeof v);
    }
    static Value Text(const std::string& s) { return s; }

protected:
    struct Buffer {
        int64_t id = 0;
        TBookmarkFlag flag = bfCurrent;
        std::vector<Value> values;
        std::vector<char> calc;
    };
    static Buffer* B(TRecordBuffer b) { return static_cast<Buffer*>(b); }

    TRecordBuffer AllocRecordBuffer() override {
        ++allocated;
        ++allocations;
        auto* b = new Buffer;
        b->values.resize(columns_.size());
        b->calc.assign(static_cast<size_t>(CalcFieldsSize()) + 1, '\0');
        return b;
    }
    void FreeRecordBuffer(TRecordBuffer& buffer) override {
        --allocated;
        delete B(buffer);
        buffer = nullptr;
    }
    void InternalInitRecord(TRecordBuffer buffer) override {
        if (failInitRecord) DatabaseError("init refused", this);
        for (auto& v : B(buffer)->values) v.reset();
    }
    void InternalInsert() override {
        if (failInternalInsert) DatabaseError("insert refused", this);
    }
    void ClearCalcFields(TRecordBuffer buffer) override {
        auto& calc = B(buffer)->calc;
        calc.assign(static_cast<size_t>(CalcFieldsSize()) + 1, '\0');
    }

    int IndexOfId(int64_t id) const {
        for (size_t i = 0; i < rows_.size(); ++i)
            if (rows_[i].id == id) return static_cast<int>(i);
        return -1;
    }

    TGetResult GetRecord(TRecordBuffer buffer, TGetMode mode, bool doCheck) override {
        if (++fetches == failFetchAt) DatabaseError("fetch failed", this);
        const int count = static_cast<int>(rows_.size());
        switch (mode) {
            case gmNext:
                if (cursor_ >= count - 1) {
                    cursor_ = count;
                    return grEOF;
                }
                ++cursor_;
                break;
            case gmPrior:
                if (cursor_ <= 0) {
                    cursor_ = -1;
                    return grBOF;
                }
                if (cursor_ > count) cursor_ = count;
                --cursor_;
                break;
            case gmCurrent:
                if (cursor_ < 0 || cursor_ >= count) {
                    if (doCheck) DatabaseError("No current record", this);
                    return grError;
                }
                break;
        }
        Buffer* b = B(buffer);
        b->id = rows_[static_cast<size_t>(cursor_)].id;
        b->flag = bfCurrent;
        b->values = rows_[static_cast<size_t>(cursor_)].values;
        GetCalcFields(buffer);
        return grOK;
    }

    void GetBookmarkData(TRecordBuffer buffer, void* data) override { std::memcpy(data, &B(buffer)->id, 8); }
    void SetBookmarkData(TRecordBuffer buffer, const void* data) override { std::memcpy(&B(buffer)->id, data, 8); }
    TBookmarkFlag GetBookmarkFlag(TRecordBuffer buffer) override { return B(buffer)->flag; }
    void SetBookmarkFlag(TRecordBuffer buffer, TBookmarkFlag value) override { B(buffer)->flag = value; }
    void InternalGotoBookmark(const void* bookmark) override {
        int64_t id;
        std::memcpy(&id, bookmark, 8);
        const int i = IndexOfId(id);
        cursor_ = i < 0 ? -2 : i;
    }
    void InternalSetToRecord(TRecordBuffer buffer) override { InternalGotoBookmark(&B(buffer)->id); }
    void InternalFirst() override { cursor_ = -1; }
    void InternalLast() override { cursor_ = static_cast<int>(rows_.size()); }

    int GetRecordCount() override { return static_cast<int>(rows_.size()); }
    int GetRecNo() override {
        TRecordBuffer b = ActiveBuffer();
        if (b == nullptr || IsEmpty()) return -1;
        return IndexOfId(B(b)->id) + 1;
    }
    void SetRecNo(int value) override {
        CheckBrowseMode();
        if (value < 1 || value > static_cast<int>(rows_.size())) return;
        DoBeforeScroll();
        cursor_ = value - 1;
        Resync({rmCenter});
        DoAfterScroll();
    }
public:
    bool BookmarkValid(const TBookmark& bookmark) override {
        if (bookmark.size() != 8) return false;
        int64_t id;
        std::memcpy(&id, bookmark.data(), 8);
        return IndexOfId(id) >= 0;
    }
    int CompareBookmarks(const TBookmark& a, const TBookmark& b) override {
        if (!BookmarkValid(a)) return -1;
        if (!BookmarkValid(b)) return 1;
        int64_t x, y;
        std::memcpy(&x, a.data(), 8);
        std::memcpy(&y, b.data(), 8);
        const int i = IndexOfId(x), j = IndexOfId(y);
        return i < j ? -1 : (i > j ? 1 : 0);
    }

protected:

    void InternalOpen() override {
        InternalInitFieldDefs();
        if (DefaultFields()) CreateFields();
        BindFields(true);
        SetBookmarkSize(8);
        cursor_ = -1;
        open_ = true;
    }
    void InternalClose() override {
        if (failInternalClose) {
            open_ = false;
            DatabaseError("close failed", this);
        }
        BindFields(false);
        if (DefaultFields()) DestroyFields();
        open_ = false;
    }
    bool IsCursorOpen() override { return open_; }
    void InternalInitFieldDefs() override {
        FieldDefs().Clear();
        for (const Column& c : columns_) FieldDefs().Add(c.name, c.type, c.size, c.required);
    }
    void InternalHandleException() override { ++handledExceptions; }

    void InternalPost() override {
        if (failPost) DatabaseError("post refused", this);
        Buffer* b = B(ActiveBuffer());
        if (State() == dsEdit) {
            const int i = IndexOfId(b->id);
            if (i < 0) DatabaseError("Record not found", this);
            rows_[static_cast<size_t>(i)].values = b->values;
            return;
        }
        InternalAddRecord(ActiveBuffer(), b->flag == bfEOF);
    }
    void InternalAddRecord(TRecordBuffer buffer, bool append) override {
        Buffer* b = B(buffer);
        Row row{nextId_++, b->values};
        int at = static_cast<int>(rows_.size());
        if (!append && b->flag != bfBOF) {
            const int i = IndexOfId(b->id);
            if (i >= 0) at = i;
        }
        rows_.insert(rows_.begin() + at, row);
        b->id = row.id;
        b->flag = bfCurrent;
        cursor_ = at;
    }
    void InternalDelete() override {
        if (cursor_ < 0 || cursor_ >= static_cast<int>(rows_.size())) DatabaseError("No current record", this);
        rows_.erase(rows_.begin() + cursor_);
        if (cursor_ >= static_cast<int>(rows_.size())) cursor_ = static_cast<int>(rows_.size()) - 1;
    }

    TRecordBuffer CurrentBuffer() {
        switch (State()) {
            case dsCalcFields: return CalcBuffer();
            case dsBrowse: return IsEmpty() ? nullptr : ActiveBuffer();
            case dsEdit:
            case dsInsert: return ActiveBuffer();
            default: return nullptr;
        }
    }

public:
    bool GetFieldData(TField* field, void* buffer) override {
        TRecordBuffer rb = CurrentBuffer();
        if (rb == nullptr) return false;
        Buffer* b = B(rb);
        if (field->FieldNo() <= 0) return GetCalcFieldData(b->calc.data(), field, buffer);
        const Value& v = b->values[static_cast<size_t>(field->FieldNo() - 1)];
        if (!v) return false;
        if (buffer == nullptr) return true;
        if (field->DataType() == ftString) {
            const size_t n = std::min(v->size(), static_cast<size_t>(field->Size()));
            std::memcpy(buffer, v->data(), n);
            static_cast<char*>(buffer)[n] = '\0';
        } else {
            std::memcpy(buffer, v->data(), std::min(v->size(), static_cast<size_t>(field->DataSize())));
        }
        return true;
    }

    void SetFieldData(TField* field, const void* buffer) override {
        TRecordBuffer rb = CurrentBuffer();
        if (rb == nullptr) return;
        Buffer* b = B(rb);
        field->Validate(buffer);
        if (field->FieldNo() <= 0) {
            SetCalcFieldData(b->calc.data(), field, buffer);
        } else {
            Value& v = b->values[static_cast<size_t>(field->FieldNo() - 1)];
            if (buffer == nullptr)
                v.reset();
            else if (field->DataType() == ftString)
                v = std::string(static_cast<const char*>(buffer));
            else
                v = std::string(static_cast<const char*>(buffer), static_cast<size_t>(field->DataSize()));
        }
        if (State() != dsCalcFields && State() != dsFilter)
            DataEvent(deFieldChange, reinterpret_cast<intptr_t>(field));
    }

    // String values are kept with their length: every byte reads and writes back.
    bool GetFieldString(TField* field, std::string& value) override {
        TRecordBuffer rb = CurrentBuffer();
        if (rb == nullptr || field->FieldNo() <= 0) return TDataSet::GetFieldString(field, value);
        const Value& v = B(rb)->values[static_cast<size_t>(field->FieldNo() - 1)];
        if (!v) return false;
        value.assign(*v);
        return true;
    }
    void SetFieldString(TField* field, const std::string* value) override {
        TRecordBuffer rb = CurrentBuffer();
        if (rb == nullptr || field->FieldNo() <= 0) {
            TDataSet::SetFieldString(field, value);
            return;
        }
        field->ValidateString(value);
        Value& v = B(rb)->values[static_cast<size_t>(field->FieldNo() - 1)];
        if (value == nullptr)
            v.reset();
        else
            v = *value;
        if (State() != dsCalcFields && State() != dsFilter)
            DataEvent(deFieldChange, reinterpret_cast<intptr_t>(field));
    }

    // Blob values are kept as their bytes; a stream works on a copy and writes it back
    // into the record when it is freed after a write.
    std::unique_ptr<TStream> CreateBlobStream(TField* field, TBlobStreamMode mode) override {
        class BlobStream : public TMemoryStream {
        public:
            BlobStream(MemoryDataSet* ds, TField* f, TBlobStreamMode m, const Value& initial)
                : ds_(ds), f_(f), m_(m) {
                if (m != bmWrite && initial) {
                    TMemoryStream::Write(initial->data(), initial->size());
                    Seek(0, soBeginning);
                }
                written_ = m == bmWrite;
            }
            ~BlobStream() override {
                if (m_ == bmRead || !written_) return;
                TRecordBuffer rb = ds_->CurrentBuffer();
                if (rb == nullptr) return;
                std::string bytes(static_cast<size_t>(Size()), '\0');
                Seek(0, soBeginning);
                Read(bytes.data(), bytes.size());
                auto& v = B(rb)->values[static_cast<size_t>(f_->FieldNo() - 1)];
                if (bytes.empty())
                    v.reset();
                else
                    v = bytes;
                ds_->DataEvent(deFieldChange, reinterpret_cast<intptr_t>(f_));
            }
            size_t Read(void* data, size_t count) override {
                ++ds_->blobReads;
                return TMemoryStream::Read(data, count);
            }
            size_t Write(const void* data, size_t count) override {
                if (m_ == bmRead) return 0;
                written_ = true;
                return TMemoryStream::Write(data, count);
            }

        private:
            MemoryDataSet* ds_;
            TField* f_;
            TBlobStreamMode m_;
            bool written_ = false;
        };
        TRecordBuffer rb = CurrentBuffer();
        const Value none;
        const Value& initial = rb != nullptr ? B(rb)->values[static_cast<size_t>(field->FieldNo() - 1)] : none;
        return std::make_unique<BlobStream>(this, field, mode, initial);
    }

    using TDataSet::ActiveBuffer;
    using TDataSet::BufferCount;

private:
    std::vector<Column> columns_;
    std::vector<Row> rows_;
    int64_t nextId_ = 1;
    int cursor_ = -1;
    bool open_ = false;
};

}  // namespace velmysql::test
