#pragma once
// Byte streams: TStream (abstract) and TMemoryStream.

#include <cstddef>
#include <cstdint>
#include <string>

#include "velmysql/rtl/exception.h"
#include "velmysql/rtl/persistent.h"

namespace velmysql {

class EStreamError : public Exception {
public:
    using Exception::Exception;
};
class EReadError : public EStreamError {
public:
    using EStreamError::EStreamError;
};
class EWriteError : public EStreamError {
public:
    using EStreamError::EStreamError;
};

enum TSeekOrigin { soBeginning, soCurrent, soEnd };

class TStream : public TObject {
public:
    // Read and Write move up to Count bytes and answer how many moved.
    virtual size_t Read(void* Buffer, size_t Count) = 0;
    virtual size_t Write(const void* Buffer, size_t Count) = 0;
    // Moves the position to Offset counted from Origin and answers the new position.
    // A position before the start raises EStreamError; one past the end is allowed.
    virtual int64_t Seek(int64_t Offset, TSeekOrigin Origin) = 0;
    // Sets the size; a position past the new end moves to it.
    virtual void SetSize(int64_t NewSize) = 0;

    int64_t Position() { return Seek(0, soCurrent); }
    void SetPosition(int64_t Value) { Seek(Value, soBeginning); }
    virtual int64_t Size();

    // Exactly Count bytes or EReadError / EWriteError.
    void ReadBuffer(void* Buffer, size_t Count);
    void WriteBuffer(const void* Buffer, size_t Count);
    // Copies Count bytes from Source's position (0: all of Source from its start);
    // answers how many were copied.
    int64_t CopyFrom(TStream& Source, int64_t Count);
};

class TMemoryStream : public TStream {
public:
    size_t Read(void* Buffer, size_t Count) override;
    size_t Write(const void* Buffer, size_t Count) override;
    int64_t Seek(int64_t Offset, TSeekOrigin Origin) override;
    void SetSize(int64_t NewSize) override;
    int64_t Size() override { return static_cast<int64_t>(data_.size()); }

    const char* Memory() const { return data_.data(); }
    // The whole content, independent of the position.
    const std::string& DataString() const { return data_; }
    void Clear();
    void LoadFromStream(TStream& Source);
    void SaveToStream(TStream& Dest);

private:
    std::string data_;
    size_t position_ = 0;
};

}  // namespace velmysql
