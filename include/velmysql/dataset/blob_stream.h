#pragma once
// TMySQLBlobStream: a stream over one blob value of a dataset's record. Reads and writes
// go to the record at once; a stream on the active record of a dataset in edit or insert
// state may write.

#include <cstdint>
#include <string>

#include "velmysql/dataset/dataset_types.h"
#include "velmysql/rtl/stream.h"

namespace velmysql {

class TBlobField;
class TMySQLDatasetBase;

class TMySQLBlobStream : public TStream {
public:
    // Raises "Field is readonly" or "Dataset not in edit or insert mode" for a writing
    // mode the record cannot take; mode bmWrite empties the value at once.
    TMySQLBlobStream(TBlobField* Field, TBlobStreamMode Mode);
    ~TMySQLBlobStream() override;

    size_t Read(void* Buffer, size_t Count) override;
    size_t Write(const void* Buffer, size_t Count) override;
    int64_t Seek(int64_t Offset, TSeekOrigin Origin) override;
    void SetSize(int64_t NewSize) override;
    int64_t Size() override { return GetBlobSize(); }
    // Empties the value.
    void Truncate();
    int64_t GetBlobSize();

private:
    std::string Value();
    // The value of the blob in the row of the dataset's current record number.
    std::string GetBlobFromRecord();

    TBlobField* field_;
    TMySQLDatasetBase* dataset_;
    TRecInfo* buffer_ = nullptr;
    TBlobStreamMode mode_;
    bool opened_ = false;
    bool modified_ = false;
    int64_t position_ = 0;
    bool cached_ = false;
};

}  // namespace velmysql
