#include "velmysql/rtl/stream.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace velmysql {

int64_t TStream::Size() {
    int64_t here = Seek(0, soCurrent);
    int64_t end = Seek(0, soEnd);
    Seek(here, soBeginning);
    return end;
}

void TStream::ReadBuffer(void* Buffer, size_t Count) {
    if (Count != 0 && Read(Buffer, Count) != Count) throw EReadError("Stream read error");
}

void TStream::WriteBuffer(const void* Buffer, size_t Count) {
    if (Count != 0 && Write(Buffer, Count) != Count) throw EWriteError("Stream write error");
}

int64_t TStream::CopyFrom(TStream& Source, int64_t Count) {
    if (Count == 0) {
        Source.SetPosition(0);
        Count = Source.Size();
    }
    if (Count < 0) throw EStreamError("Negative count");
    char buffer[65536];
    int64_t left = Count;
    while (left > 0) {
        size_t n = static_cast<size_t>(std::min<int64_t>(left, sizeof buffer));
        Source.ReadBuffer(buffer, n);
        WriteBuffer(buffer, n);
        left -= static_cast<int64_t>(n);
    }
    return Count;
}

size_t TMemoryStream::Read(void* Buffer, size_t Count) {
    if (position_ >= data_.size()) return 0;
    size_t n = std::min(Count, data_.size() - position_);
    std::memcpy(Buffer, data_.data() + position_, n);
    position_ += n;
    return n;
}

size_t TMemoryStream::Write(const void* Buffer, size_t Count) {
    if (Count == 0) return 0;
    // Writing past the end fills the gap with zero bytes.
    if (data_.size() < position_ + Count) data_.resize(position_ + Count, '\0');
    std::memcpy(data_.data() + position_, Buffer, Count);
    position_ += Count;
    return Count;
}

int64_t TMemoryStream::Seek(int64_t Offset, TSeekOrigin Origin) {
    int64_t base = 0;
    switch (Origin) {
        case soBeginning: base = 0; break;
        case soCurrent: base = static_cast<int64_t>(position_); break;
        case soEnd: base = static_cast<int64_t>(data_.size()); break;
    }
    if ((Offset > 0 && base > std::numeric_limits<int64_t>::max() - Offset) || base + Offset < 0)
        throw EStreamError("Seek outside the stream");
    position_ = static_cast<size_t>(base + Offset);
    return base + Offset;
}

void TMemoryStream::SetSize(int64_t NewSize) {
    if (NewSize < 0) throw EStreamError("Negative stream size");
    data_.resize(static_cast<size_t>(NewSize), '\0');
    if (position_ > data_.size()) position_ = data_.size();
}

void TMemoryStream::Clear() {
    data_.clear();
    position_ = 0;
}

void TMemoryStream::LoadFromStream(TStream& Source) {
    Source.SetPosition(0);
    int64_t n = Source.Size();
    std::string data(static_cast<size_t>(n), '\0');
    Source.ReadBuffer(data.data(), data.size());
    data_.swap(data);
    position_ = 0;
}

void TMemoryStream::SaveToStream(TStream& Dest) { Dest.WriteBuffer(data_.data(), data_.size()); }

}  // namespace velmysql
