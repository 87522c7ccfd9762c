#pragma once
// TRowValues: the values of one row, every column in one heap block.
//
// A dataset holds millions of rows, so a row is one allocation, never one per value. The
// block holds, after a small header, the end offset of every value, a NULL bit per
// column, then the values' bytes, each followed by a zero byte so that a value can also
// be read as a C string. Values keep every byte (zero bytes included); NULL is distinct
// from the empty value. Changing one value rebuilds the block (editing is rare; reading
// is the hot path).

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace velmysql {

class TRowValues {
public:
    TRowValues() = default;
    // Count columns, all NULL.
    explicit TRowValues(int Count) { Clear(Count); }
    TRowValues(const TRowValues& Other) { Assign(Other); }
    TRowValues(TRowValues&& Other) noexcept : block_(Other.block_) { Other.block_ = nullptr; }
    TRowValues& operator=(const TRowValues& Other) {
        if (this != &Other) Assign(Other);
        return *this;
    }
    TRowValues& operator=(TRowValues&& Other) noexcept;
    ~TRowValues();

    int Count() const { return block_ != nullptr ? Header()->count : 0; }
    bool IsNull(int Index) const;
    // The value's bytes; empty for NULL. Valid until the row changes.
    std::string_view Value(int Index) const;
    // The value as a zero-terminated text; null for NULL.
    const char* CStr(int Index) const;

    // Count columns, all NULL (keeps the block when it is large enough).
    void Clear(int Count);
    // Copies Other, reusing this row's block when it is large enough.
    void Assign(const TRowValues& Other);
    // Builds the row from a fetched row: Values[i] of Lengths[i] bytes, null for NULL.
    void Fill(int Count, const char* const* Values, const unsigned long* Lengths);
    // Sets one value (nullopt for NULL).
    void Set(int Index, std::optional<std::string_view> Value);
    // Bytes this row holds on the heap.
    size_t Capacity() const { return block_ != nullptr ? Header()->capacity : 0; }
    // Gives the block up (the row becomes empty, as a released row is).
    void Release();

private:
    struct BlockHeader {
        uint32_t capacity;  // bytes allocated, header included
        uint32_t count;     // columns
        uint32_t size;      // bytes of values and terminators
    };
    const BlockHeader* Header() const { return reinterpret_cast<const BlockHeader*>(block_); }
    BlockHeader* Header() { return reinterpret_cast<BlockHeader*>(block_); }
    static size_t HeaderBytes(uint32_t count) { return sizeof(BlockHeader) + 4 * size_t{count} + (count + 7) / 8; }
    const uint32_t* Ends() const { return reinterpret_cast<const uint32_t*>(block_ + sizeof(BlockHeader)); }
    uint32_t* Ends() { return reinterpret_cast<uint32_t*>(block_ + sizeof(BlockHeader)); }
    const unsigned char* Nulls() const {
        return reinterpret_cast<const unsigned char*>(block_ + sizeof(BlockHeader) + 4 * size_t{Header()->count});
    }
    unsigned char* Nulls() {
        return reinterpret_cast<unsigned char*>(block_ + sizeof(BlockHeader) + 4 * size_t{Header()->count});
    }
    const char* Data() const { return block_ + HeaderBytes(Header()->count); }
    char* Data() { return block_ + HeaderBytes(Header()->count); }
    uint32_t Start(int Index) const { return Index == 0 ? 0 : Ends()[Index - 1] + 1; }
    // Makes room for count columns and size value bytes, keeping nothing.
    void Reserve(uint32_t count, size_t size);

    char* block_ = nullptr;
};

}  // namespace velmysql
