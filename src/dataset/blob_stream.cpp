#include "velmysql/dataset/blob_stream.h"

#include <algorithm>
#include <cstring>

#include "velmysql/dataset/mysql_dataset.h"
#include "velmysql/db/db_error.h"
#include "velmysql/db/fields.h"
#include "velmysql/drivers/mysql_error.h"

namespace velmysql {

TMySQLBlobStream::TMySQLBlobStream(TBlobField* Field, TBlobStreamMode Mode)
    : field_(Field), dataset_(dynamic_cast<TMySQLDatasetBase*>(Field->DataSet())), mode_(Mode) {
    if (dataset_ == nullptr || !dataset_->GetActiveRecBuf(buffer_)) return;
    if (!field_->Modified() && mode_ != bmRead) {
        if (field_->ReadOnly()) MySQLError(nullptr, nullptr, -1, "Field is readonly");
        if (dataset_->State() != dsEdit && dataset_->State() != dsInsert)
            MySQLError(nullptr, nullptr, -1, dbtext::SNotEditing);
        cached_ = true;
    } else {
        cached_ = dataset_->IsActiveBuffer(buffer_);
    }
    opened_ = true;
    if (mode_ == bmWrite) Truncate();
}

TMySQLBlobStream::~TMySQLBlobStream() {
    if (opened_ && modified_) field_->SetModified(true);
    if (modified_ && dataset_ != nullptr) {
        try {
            dataset_->DataEvent(deFieldChange, reinterpret_cast<intptr_t>(static_cast<TField*>(field_)));
        } catch (...) {
            // A listener's failure cannot undo what was written; a destructor must not raise.
        }
    }
}

std::string TMySQLBlobStream::Value() { return cached_ ? dataset_->GetBlobData(field_, buffer_) : GetBlobFromRecord(); }

size_t TMySQLBlobStream::Read(void* Buffer, size_t Count) {
    if (!opened_) return 0;
    const std::string value = Value();
    const int64_t size = static_cast<int64_t>(value.size());
    if (position_ >= size || position_ < 0) return 0;
    const size_t n = std::min<size_t>(Count, static_cast<size_t>(size - position_));
    std::memcpy(Buffer, value.data() + position_, n);
    position_ += static_cast<int64_t>(n);
    return n;
}

size_t TMySQLBlobStream::Write(const void* Buffer, size_t Count) {
    if (!opened_ || !cached_ || mode_ == bmRead || position_ < 0) return 0;
    std::string value = dataset_->GetBlobData(field_, buffer_);
    const size_t end = static_cast<size_t>(position_) + Count;
    // Bytes between the old end and a write beyond it are zero.
    if (value.size() < end) value.resize(end, '\0');
    if (Count != 0) std::memcpy(value.data() + position_, Buffer, Count);
    dataset_->SetBlobData(field_, buffer_, value);
    position_ += static_cast<int64_t>(Count);
    modified_ = true;
    return Count;
}

int64_t TMySQLBlobStream::Seek(int64_t Offset, TSeekOrigin Origin) {
    switch (Origin) {
        case soBeginning: position_ = Offset; break;
        case soCurrent: position_ += Offset; break;
        case soEnd: position_ = GetBlobSize() + Offset; break;
    }
    return position_;
}

void TMySQLBlobStream::SetSize(int64_t NewSize) {
    if (!opened_ || !cached_ || mode_ == bmRead || NewSize < 0) return;
    std::string value = dataset_->GetBlobData(field_, buffer_);
    value.resize(static_cast<size_t>(NewSize), '\0');
    dataset_->SetBlobData(field_, buffer_, value);
    position_ = std::min(position_, NewSize);
    modified_ = true;
}

void TMySQLBlobStream::Truncate() {
    if (!opened_ || !cached_ || mode_ == bmRead) return;
    dataset_->SetBlobData(field_, buffer_, std::string());
    modified_ = true;
}

int64_t TMySQLBlobStream::GetBlobSize() {
    if (!opened_) return 0;
    return static_cast<int64_t>(Value().size());
}

std::string TMySQLBlobStream::GetBlobFromRecord() {
    int64_t row = dataset_->RecNo();
    const int64_t count = dataset_->RowCount();
    if (row < 0 && count > 0) row = 0;
    if (row >= count) row = count - 1;
    const TRowValues* values = dataset_->Row(row);
    return values != nullptr ? std::string(values->Value(field_->FieldNo() - 1)) : std::string();
}

}  // namespace velmysql
