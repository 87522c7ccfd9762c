#include "velmysql/dataset/row_values.h"

#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>
#include <string>
#include <vector>

#include "velmysql/rtl/exception.h"

namespace velmysql {

namespace {
constexpr size_t kMaxBlock = std::numeric_limits<uint32_t>::max();
}  // namespace

TRowValues& TRowValues::operator=(TRowValues&& Other) noexcept {
    if (this != &Other) {
        std::free(block_);
        block_ = Other.block_;
        Other.block_ = nullptr;
    }
    return *this;
}

TRowValues::~TRowValues() { std::free(block_); }

void TRowValues::Release() {
    std::free(block_);
    block_ = nullptr;
}

void TRowValues::Reserve(uint32_t count, size_t size) {
    const size_t need = HeaderBytes(count) + size;
    if (need > kMaxBlock) throw Exception("A row of more than 4 GB cannot be held");
    if (block_ == nullptr || Header()->capacity < need) {
        char* grown = static_cast<char*>(std::malloc(need));
        if (grown == nullptr) throw std::bad_alloc();
        std::free(block_);
        block_ = grown;
        Header()->capacity = static_cast<uint32_t>(need);
    }
    Header()->count = count;
    Header()->size = static_cast<uint32_t>(size);
}

bool TRowValues::IsNull(int Index) const {
    if (block_ == nullptr || Index < 0 || static_cast<uint32_t>(Index) >= Header()->count) return true;
    return (Nulls()[Index / 8] >> (Index % 8)) & 1;
}

std::string_view TRowValues::Value(int Index) const {
    if (IsNull(Index)) return {};
    const uint32_t start = Start(Index);
    return {Data() + start, Ends()[Index] - start};
}

const char* TRowValues::CStr(int Index) const { return IsNull(Index) ? nullptr : Data() + Start(Index); }

void TRowValues::Clear(int Count) {
    const auto count = static_cast<uint32_t>(Count < 0 ? 0 : Count);
    Reserve(count, count);
    std::memset(Nulls(), 0xff, (count + 7) / 8);
    // Each NULL value is empty and keeps its terminator.
    for (uint32_t i = 0; i < count; ++i) {
        Ends()[i] = i;
        Data()[i] = '\0';
    }
}

void TRowValues::Assign(const TRowValues& Other) {
    if (Other.block_ == nullptr) {
        Release();
        return;
    }
    const uint32_t count = Other.Header()->count;
    const size_t used = HeaderBytes(count) + Other.Header()->size;
    Reserve(count, Other.Header()->size);
    // Everything after the capacity field is the same bytes.
    std::memcpy(block_ + sizeof(uint32_t), Other.block_ + sizeof(uint32_t), used - sizeof(uint32_t));
}

void TRowValues::Fill(int Count, const char* const* Values, const unsigned long* Lengths) {
    const auto count = static_cast<uint32_t>(Count < 0 ? 0 : Count);
    size_t size = count;  // the terminators
    for (uint32_t i = 0; i < count; ++i)
        if (Values[i] != nullptr) size += Lengths[i];
    Reserve(count, size);
    std::memset(Nulls(), 0, (count + 7) / 8);
    char* out = Data();
    uint32_t at = 0;
    for (uint32_t i = 0; i < count; ++i) {
        if (Values[i] == nullptr) {
            Nulls()[i / 8] |= static_cast<unsigned char>(1u << (i % 8));
        } else if (Lengths[i] != 0) {
            std::memcpy(out + at, Values[i], Lengths[i]);
            at += static_cast<uint32_t>(Lengths[i]);
        }
        Ends()[i] = at;
        out[at++] = '\0';
    }
}

void TRowValues::Set(int Index, std::optional<std::string_view> Value) {
    const int count = Count();
    if (Index < 0 || Index >= count) return;
    // Rebuild from the current values with the one replaced.
    std::vector<const char*> values(static_cast<size_t>(count));
    std::vector<unsigned long> lengths(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        const std::optional<std::string_view> v = i == Index ? Value
                                                             : (IsNull(i) ? std::nullopt
                                                                          : std::optional<std::string_view>(this->Value(i)));
        values[static_cast<size_t>(i)] = v ? (v->data() != nullptr ? v->data() : "") : nullptr;
        lengths[static_cast<size_t>(i)] = v ? static_cast<unsigned long>(v->size()) : 0;
    }
    TRowValues rebuilt;
    rebuilt.Fill(count, values.data(), lengths.data());
    *this = std::move(rebuilt);
}

}  // namespace velmysql
