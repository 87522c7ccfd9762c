#pragma once
// Result sets of the wire client: descriptor arrays, stored row lists and the result
// object with its navigation.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string_view>
#include <vector>

#include "velmysql/wire/mysql_ct.h"

namespace velmysql {

class TMysqlClient;

// A descriptor array and the texts its records point to; one record per column.
class TMysqlFieldDefs {
public:
    explicit TMysqlFieldDefs(std::size_t count) : defs_(count) {}
    std::size_t size() const { return defs_.size(); }
    TMysql_FieldDef* data() { return defs_.data(); }
    TMysql_FieldDef& operator[](std::size_t i) { return defs_[i]; }
    // An owned NUL-terminated copy for a record member.
    char* own(std::string_view text);

private:
    std::vector<TMysql_FieldDef> defs_;
    std::vector<std::unique_ptr<char[]>> texts_;
};

// A stored row: its neighbours, then per column a 32-bit length (kNullLength for
// NULL), then the non-NULL values one after another, each followed by a 0 byte.
struct TMysqlRowNode {
    TMysqlRowNode* prev;
    TMysqlRowNode* next;
    static constexpr std::uint32_t kNullLength = 0xFFFFFFFFu;
    std::uint32_t* lengths() { return reinterpret_cast<std::uint32_t*>(this + 1); }
};

// The stored row list: rows in arrival order, all in one arena that is freed with the
// list.
class TMYSQL_DATA {
public:
    explicit TMYSQL_DATA(unsigned fields) : fields_(fields) {}
    ~TMYSQL_DATA();
    TMYSQL_DATA(const TMYSQL_DATA&) = delete;
    TMYSQL_DATA& operator=(const TMYSQL_DATA&) = delete;

    std::uint64_t rows() const { return rows_; }
    unsigned fields() const { return fields_; }
    TMysqlRowNode* first() const { return first_; }
    TMysqlRowNode* last() const { return last_; }

    // Appends a row of `fields` values: data[i] (length[i]) or null for NULL.
    // Answers null when memory could not be had.
    TMysqlRowNode* append(const unsigned char* const* data, const std::size_t* length);
    // Points values[i] at each value of a row (null for NULL); lengths may be null.
    void values(TMysqlRowNode* node, char** values, unsigned long* lengths) const;

private:
    void* allocate(std::size_t size);

    unsigned fields_;
    std::uint64_t rows_ = 0;
    TMysqlRowNode* first_ = nullptr;
    TMysqlRowNode* last_ = nullptr;
    std::vector<char*> blocks_;
    char* cur_ = nullptr;
    std::size_t left_ = 0;
    std::size_t nextBlock_ = 65536;
};

enum TResultType : std::uint8_t { rtUsed = 0, rtStored = 1 };

// Where a used result's current row lives. A small row is copied out of the packet; a
// large one keeps the block it was received in, taken from the channel in exchange for
// the block of the row before (no copy of a large value, and no block allocated anew
// for every row).
struct TMysqlRowStore {
    TMysqlRowStore() = default;
    ~TMysqlRowStore() { std::free(block); }
    TMysqlRowStore(const TMysqlRowStore&) = delete;
    TMysqlRowStore& operator=(const TMysqlRowStore&) = delete;

    std::vector<char> copy;
    unsigned char* block = nullptr;  // malloc'ed; handed back and forth with the channel
    std::size_t blockCapacity = 0;
};

class TMysqlResult {
public:
    TMysqlResult(TMysqlClient* session, TResultType kind);
    virtual ~TMysqlResult();
    TMysqlResult(const TMysqlResult&) = delete;
    TMysqlResult& operator=(const TMysqlResult&) = delete;

    const TMysql_FieldDef* FieldDef(int index) const;
    // The value at the index, NUL-terminated; null for SQL NULL, outside the range or
    // without a current row.
    const char* FieldValue(int index) const;
    unsigned long FieldLenght(int index) const;
    void FetchLengths();
    void SetHasLengths(bool value);
    void First();
    void Next();
    void Prior();
    void Last();
    void SetRecNo(std::int32_t n);
    int FieldIndexByName(std::string_view name, bool caseSensitive) const;
    const TMysql_FieldDef* FieldDefByName(std::string_view name, bool caseSensitive) const;
    const char* FieldValueByName(std::string_view name, bool caseSensitive) const;
    bool GetHadErrors() const { return lastRead_ < 0; }
    bool GetLastRowRead() const { return lastRead_ != 0; }

    unsigned FieldCount() const { return fieldCount_; }
    std::uint64_t RowCount() const { return rowCount_; }
    std::int32_t RecNo() const { return recNo_; }
    bool Eof() const { return eof_; }
    bool Bof() const { return bof_; }
    void SetBof(bool v) { bof_ = v; }
    TResultType ResultType() const { return kind_; }
    TMysqlClient* Session() const { return session_; }
    // The current row's values (null entries are NULL), or null without a current row.
    char** CurrentRow() const { return currentRow_; }
    // One entry per column; valid for the current row after FetchLengths.
    unsigned long* Lengths() { return lengths_.data(); }
    bool LengthsValid() const { return lengthsValid_; }
    TMysql_FieldDef* Fields() { return fields_ ? fields_->data() : nullptr; }

private:
    friend class TMysqlClient;
    void setCursor(TMysqlRowNode* node);
    void endUsed();

    unsigned fieldCount_ = 0;
    std::uint64_t rowCount_ = 0;
    std::unique_ptr<TMysqlFieldDefs> fields_;
    TMysqlClient* session_;
    TResultType kind_;
    std::vector<unsigned long> lengths_;
    std::vector<char*> row_;          // used results: the current row; stored: the cursor's values
    TMysqlRowStore rowStore_;         // used results: the current row's texts
    std::unique_ptr<TMYSQL_DATA> data_;
    TMysqlRowNode* cursor_ = nullptr;
    std::int32_t recNo_ = -1;
    char** currentRow_ = nullptr;
    bool eof_ = false;
    bool bof_ = true;
    bool lengthsValid_ = false;
    std::int32_t lastRead_ = 0;
};

// Creates the result objects of a session; a facade may create its own subclass.
using TMysqlResultClass = std::unique_ptr<TMysqlResult> (*)(TMysqlClient* session, TResultType kind);

}  // namespace velmysql
