// TMySQLDatasetBase: record buffers, the conversion between stored texts and the fields'
// native values in both directions, new records, blobs, and the local side of editing.

#include <charconv>
#include <cstdio>
#include <cstring>

#include "dataset/dataset_text.h"
#include "velmysql/dataset/blob_stream.h"
#include "velmysql/dataset/mysql_dataset.h"
#include "velmysql/db/db_error.h"
#include "velmysql/db/fields.h"
#include "velmysql/drivers/mysql_error.h"
#include "velmysql/rtl/datetime.h"
#include "velmysql/textutil/mysqldatetime.h"

namespace velmysql {

namespace {

TRecInfo* Rec(TRecordBuffer Buffer) { return static_cast<TRecInfo*>(Buffer); }

bool IsBlank(unsigned char c) { return c <= ' '; }

// The text without leading and trailing blanks and control characters.
std::string_view Trimmed(std::string_view text) {
    size_t start = 0, end = text.size();
    while (start < end && IsBlank(static_cast<unsigned char>(text[start]))) ++start;
    while (end > start && IsBlank(static_cast<unsigned char>(text[end - 1]))) --end;
    return text.substr(start, end - start);
}

template <class T>
T WholeNumber(std::string_view text) {
    T value = 0;
    const char* begin = text.data();
    if (!text.empty() && text.front() == '+') ++begin;
    auto [end, ec] = std::from_chars(begin, text.data() + text.size(), value);
    return ec == std::errc() && end == text.data() + text.size() ? value : 0;
}

std::string BitBytes(uint64_t value, uint32_t bits) {
    const size_t count = std::max<size_t>(1, (bits + 7) / 8);
    std::string bytes(std::min<size_t>(count, 8), '\0');
    for (size_t i = bytes.size(); i-- > 0; value >>= 8) bytes[i] = static_cast<char>(value & 0xff);
    return bytes;
}

// BINARY and VARBINARY values: bytes that may look like blanks or control characters.
bool IsBinaryString(const TFieldInfo& info) {
    return (info.Flags & column::kBinary) &&
           (info.FieldType == column::kVarChar || info.FieldType == column::kVarString || info.FieldType == column::kString);
}

// '0000-00-00' and '0000-00-00 00:00:00' of older schemas stand for "no date".
bool IsZeroDate(std::string_view text) { return text.substr(0, 10) == "0000-00-00"; }

std::string Two(int v) {
    char out[8];
    std::snprintf(out, sizeof out, "%02d", v);
    return out;
}

std::string Four(int v) {
    char out[16];
    std::snprintf(out, sizeof out, "%04d", v);
    return out;
}

std::string DatePart(const TTimeStamp& stamp, const char* separator) {
    int y, m, d;
    DecodeDate(TimeStampToDateTime(TTimeStamp{0, stamp.Date}), y, m, d);
    return Four(y) + separator + Two(m) + separator + Two(d);
}

std::string TimePart(const TTimeStamp& stamp, const char* separator) {
    int h, n, s, ms;
    DecodeTime(TimeStampToDateTime(TTimeStamp{stamp.Time, 1}), h, n, s, ms);
    return Two(h) + separator + Two(n) + separator + Two(s);
}

}  // namespace

// ---------------------------------------------------------------- buffers

TRecordBuffer TMySQLDatasetBase::AllocRecordBuffer() {
    auto* rec = new TRecInfo;
    rec->Values.Clear(FieldInfoCount());
    if (CalcFieldsSize() > 0) rec->CalcBuffer.assign(static_cast<size_t>(CalcFieldsSize()) + 1, '\0');
    rec->Index = 0;
    rec->BookmarkFlag = bfCurrent;
    return rec;
}

void TMySQLDatasetBase::FreeRecordBuffer(TRecordBuffer& Buffer) {
    delete Rec(Buffer);
    Buffer = nullptr;
}

void TMySQLDatasetBase::ClearRecordBuffer(TRecordBuffer& Buffer) {
    if (Buffer != nullptr) Rec(Buffer)->Values.Clear(FieldInfoCount());
}

void TMySQLDatasetBase::ClearCalcFields(TRecordBuffer Buffer) {
    std::vector<char>& calc = Rec(Buffer)->CalcBuffer;
    std::fill(calc.begin(), calc.end(), '\0');
}

bool TMySQLDatasetBase::GetActiveRecBuf(TRecInfo*& Buffer) {
    switch (State()) {
        case dsBrowse:
        case dsBlockRead: Buffer = IsEmpty() ? nullptr : Rec(ActiveBuffer()); break;
        case dsEdit:
        case dsInsert:
        case dsFilter: Buffer = Rec(ActiveBuffer()); break;
        case dsCalcFields: Buffer = Rec(CalcBuffer()); break;
        default: Buffer = nullptr; break;
    }
    return Buffer != nullptr;
}

bool TMySQLDatasetBase::IsActiveBuffer(const TRecInfo* Buffer) { return Buffer != nullptr && Buffer == ActiveBuffer(); }

void TMySQLDatasetBase::InternalInitRecord(TRecordBuffer Buffer) {
    TRecInfo* rec = Rec(Buffer);
    rec->Values.Clear(FieldInfoCount());
    for (int i = 0; i < FieldInfoCount(); ++i) {
        TFieldInfo& info = fieldInfos_[static_cast<size_t>(i)].info;
        if (info.IsBlob()) continue;
        // The handler's value stays the column's default for later records.
        if (OnDefaultValue) OnDefaultValue(this, info.Name, rec->Index, info.Default);
        if (info.Default.empty()) {
            info.Modified = false;
        } else {
            // A column with a default counts as assigned and reaches the insert.
            rec->Values.Set(i, info.Default);
            info.Modified = info.InResult;
        }
    }
}

// ---------------------------------------------------------------- reading values

bool TMySQLDatasetBase::GetFieldString(TField* Field, std::string& Value) {
    if (Field->FieldNo() <= 0) return TDataSet::GetFieldString(Field, Value);
    TRecInfo* buffer = nullptr;
    if (!GetActiveRecBuf(buffer)) return false;
    const int column = Field->FieldNo() - 1;
    if (column >= FieldInfoCount()) return false;
    const TFieldInfo& info = FieldInfo(column);
    if (buffer->Values.IsNull(column)) return false;
    const std::string_view text = buffer->Values.Value(column);
    if (info.FieldType == column::kBit) {
        // A long BIT column shown as text: its number in decimal.
        Value = std::to_string(datasettext::BitValue(text));
        return true;
    }
    if ((IsBinaryString(info) ? text : Trimmed(text)).empty()) return false;
    Value.assign(text.data(), std::min<size_t>(text.size(), static_cast<size_t>(std::max(Field->Size(), 0))));
    return true;
}

bool TMySQLDatasetBase::GetRawFieldData(TField* Field, std::string& Value) {
    TRecInfo* buffer = nullptr;
    if (!GetActiveRecBuf(buffer)) return false;
    if (Field->FieldNo() <= 0) {
        if (buffer->CalcBuffer.empty()) return false;
        return TDataSet::GetCalcFieldData(buffer->CalcBuffer.data(), Field, nullptr);
    }
    const int column = Field->FieldNo() - 1;
    if (column >= FieldInfoCount()) return false;
    if (FieldInfo(column).IsBlob()) {
        Value = GetBlobData(Field, buffer);
        return !Value.empty();
    }
    if (buffer->Values.IsNull(column)) return false;
    Value.assign(buffer->Values.Value(column));
    return true;
}

bool TMySQLDatasetBase::GetFieldData(TField* Field, void* Buffer) {
    TRecInfo* buffer = nullptr;
    if (!GetActiveRecBuf(buffer)) return false;
    if (Field->FieldNo() <= 0) {
        const TDataSetState state = State();
        if (state != dsBrowse && state != dsEdit && state != dsInsert && state != dsCalcFields && state != dsBlockRead)
            return false;
        if (buffer->CalcBuffer.empty()) return false;
        return TDataSet::GetCalcFieldData(buffer->CalcBuffer.data(), Field, Buffer);
    }
    const int column = Field->FieldNo() - 1;
    if (column >= FieldInfoCount()) return false;
    const TFieldInfo& info = FieldInfo(column);
    if (info.IsBlob()) return !GetBlobData(Field, buffer).empty();
    if (buffer->Values.IsNull(column)) return false;
    const std::string_view stored = buffer->Values.Value(column);
    const bool bit = info.FieldType == column::kBit;
    // Bytes of binary strings and bit columns are data, not blanks.
    const std::string_view text = bit || IsBinaryString(info) ? stored : Trimmed(stored);
    if (text.empty()) return false;
    const TFieldType type = Field->DataType();
    if ((type == ftDate || type == ftTime || type == ftDateTime) && IsZeroDate(text)) return false;
    if (Buffer == nullptr) return true;
    switch (type) {
        case ftString:
        case ftFixedChar: {
            std::string value;
            GetFieldString(Field, value);
            std::memcpy(Buffer, value.data(), value.size());
            static_cast<char*>(Buffer)[value.size()] = '\0';
            break;
        }
        case ftSmallint:
        case ftInteger:
        case ftWord:
        case ftAutoInc: {
            const int32_t v = bit ? static_cast<int32_t>(datasettext::BitValue(text)) : WholeNumber<int32_t>(text);
            std::memcpy(Buffer, &v, sizeof v);
            break;
        }
        case ftLargeint: {
            const int64_t v = bit ? static_cast<int64_t>(datasettext::BitValue(text)) : WholeNumber<int64_t>(text);
            std::memcpy(Buffer, &v, sizeof v);
            break;
        }
        case ftBoolean: {
            bool truth;
            if (bit)
                truth = datasettext::BitValue(text) != 0;
            else if (info.FieldType == column::kTiny)
                truth = WholeNumber<int64_t>(text) != 0;
            else {
                const std::vector<std::string> members = datasettext::EnumMembers(info.EnumValues);
                truth = !members.empty() && SameText(std::string(text), members[0]);
            }
            const int16_t v = truth ? -1 : 0;
            std::memcpy(Buffer, &v, sizeof v);
            break;
        }
        case ftFloat: {
            const double v = MySQLStrToFloat(std::string(text));
            std::memcpy(Buffer, &v, sizeof v);
            break;
        }
        case ftDate: {
            const int32_t v = MySQLDateStrToTimeStamp(std::string(text.substr(0, 255))).Date;
            std::memcpy(Buffer, &v, sizeof v);
            break;
        }
        case ftTime: {
            const int32_t v = MySQLTimeStrToTimeStamp(std::string(text.substr(0, 255))).Time;
            std::memcpy(Buffer, &v, sizeof v);
            break;
        }
        case ftDateTime: {
            const std::string t(text.substr(0, 255));
            const bool oldTimestamp = server_ != nullptr && server_->GetServerVer() < 40100 &&
                                      info.FieldType == column::kTimestamp;
            const double v =
                TimeStampToMSecs(oldTimestamp ? MySQLTimeStampStrToTimeStamp(t) : MySQLDateTimeStrToTimeStamp(t));
            std::memcpy(Buffer, &v, sizeof v);
            break;
        }
        case ftVariant: *static_cast<Variant*>(Buffer) = Variant(std::string(stored)); break;
        default: break;
    }
    return true;
}

// ---------------------------------------------------------------- writing values

void TMySQLDatasetBase::StoreValue(TRecInfo* Buffer, int Column, std::optional<std::string_view> Text) {
    FieldEntry& entry = fieldInfos_[static_cast<size_t>(Column)];
    entry.info.Modified = entry.info.InResult;
    // Editing writes through to the fetched row: the row list shows the current values
    // (the edit copy gives the old ones back on cancel).
    if (State() == dsEdit)
        if (TRowValues* row = MutableRow(currentRow_)) row->Set(Column, Text);
    Buffer->Values.Set(Column, Text);
}

void TMySQLDatasetBase::SetFieldString(TField* Field, const std::string* Value) {
    if (Field->FieldNo() <= 0) {
        TDataSet::SetFieldString(Field, Value);
        return;
    }
    TRecInfo* buffer = nullptr;
    if (!GetActiveRecBuf(buffer)) return;
    const int column = Field->FieldNo() - 1;
    if (column >= FieldInfoCount()) return;
    // Validation runs before anything changes: a refused value leaves the old one.
    Field->ValidateString(Value);
    if (Value == nullptr) {
        StoreValue(buffer, column, std::nullopt);
    } else {
        const TFieldInfo& info = FieldInfo(column);
        std::string_view text(*Value);
        if (info.FieldType == column::kBit) {
            const std::string bytes = BitBytes(WholeNumber<uint64_t>(Trimmed(text)), info.Length);
            StoreValue(buffer, column, std::string_view(bytes));
        } else {
            if (info.Length > 0 && text.size() > info.Length) text = text.substr(0, info.Length);
            StoreValue(buffer, column, text);
        }
    }
    if (State() != dsCalcFields && State() != dsFilter) DataEvent(deFieldChange, reinterpret_cast<intptr_t>(Field));
}

void TMySQLDatasetBase::SetFieldData(TField* Field, const void* Buffer) {
    TRecInfo* buffer = nullptr;
    if (!GetActiveRecBuf(buffer)) return;
    if (Field->FieldNo() <= 0) {
        if (!buffer->CalcBuffer.empty()) TDataSet::SetCalcFieldData(buffer->CalcBuffer.data(), Field, Buffer);
        if (State() != dsCalcFields && State() != dsFilter) DataEvent(deFieldChange, reinterpret_cast<intptr_t>(Field));
        return;
    }
    const int column = Field->FieldNo() - 1;
    if (column >= FieldInfoCount()) return;
    if (Field->DataType() == ftString || Field->DataType() == ftFixedChar) {
        if (Buffer == nullptr) {
            SetFieldString(Field, nullptr);
        } else {
            const std::string text(static_cast<const char*>(Buffer));
            SetFieldString(Field, &text);
        }
        return;
    }
    // Validation runs before anything changes: a refused value leaves the old one.
    Field->Validate(Buffer);
    const TFieldInfo& info = FieldInfo(column);
    std::optional<std::string> text;
    if (Buffer != nullptr) {
        const bool bit = info.FieldType == column::kBit;
        switch (Field->DataType()) {
            case ftSmallint:
            case ftInteger:
            case ftWord:
            case ftAutoInc: {
                int32_t v;
                std::memcpy(&v, Buffer, sizeof v);
                text = bit ? BitBytes(static_cast<uint32_t>(v), info.Length) : std::to_string(v);
                break;
            }
            case ftLargeint: {
                int64_t v;
                std::memcpy(&v, Buffer, sizeof v);
                text = bit ? BitBytes(static_cast<uint64_t>(v), info.Length) : std::to_string(v);
                break;
            }
            case ftBoolean: {
                int16_t v;
                std::memcpy(&v, Buffer, sizeof v);
                if (bit) {
                    text = BitBytes(v != 0 ? 1 : 0, info.Length);
                } else if (info.FieldType == column::kTiny) {
                    text = v != 0 ? "1" : "0";
                } else {
                    const std::vector<std::string> members = datasettext::EnumMembers(info.EnumValues);
                    const size_t which = v != 0 ? 0 : 1;
                    text = which < members.size() ? members[which] : std::string();
                }
                break;
            }
            case ftFloat: {
                double v;
                std::memcpy(&v, Buffer, sizeof v);
                text = MySQLFloatToStr(v);
                break;
            }
            case ftDate: {
                int32_t day;
                std::memcpy(&day, Buffer, sizeof day);
                text = DatePart(TTimeStamp{0, day}, "-");
                break;
            }
            case ftTime: {
                int32_t ms;
                std::memcpy(&ms, Buffer, sizeof ms);
                text = TimePart(TTimeStamp{ms, 1}, ":");
                break;
            }
            case ftDateTime: {
                double ms;
                std::memcpy(&ms, Buffer, sizeof ms);
                const TTimeStamp stamp = MSecsToTimeStamp(ms);
                const bool oldTimestamp = server_ != nullptr && server_->GetServerVer() < 40100 &&
                                          info.FieldType == column::kTimestamp;
                text = oldTimestamp ? DatePart(stamp, "") + TimePart(stamp, "")
                                    : DatePart(stamp, "-") + " " + TimePart(stamp, ":");
                break;
            }
            case ftVariant: text = static_cast<const Variant*>(Buffer)->ToString(); break;
            default: text = std::string(); break;
        }
    }
    if (text)
        StoreValue(buffer, column, std::string_view(*text));
    else
        StoreValue(buffer, column, std::nullopt);
    if (State() != dsCalcFields && State() != dsFilter) DataEvent(deFieldChange, reinterpret_cast<intptr_t>(Field));
}

// ---------------------------------------------------------------- blobs

std::string TMySQLDatasetBase::GetBlobData(TField* Field, TRecInfo* Buffer) {
    if (!IsActiveBuffer(Buffer) && !(State() == dsCalcFields && Buffer == CalcBuffer())) return std::string();
    const int column = Field->FieldNo() - 1;
    if (column < 0 || column >= FieldInfoCount()) return std::string();
    if ((State() == dsBrowse || State() == dsEdit) && Buffer->Index >= 0 && Buffer->Index < rowCount_) {
        if (const TRowValues* row = Row(Buffer->Index)) return std::string(row->Value(column));
    }
    return std::string(Buffer->Values.Value(column));
}

void TMySQLDatasetBase::SetBlobData(TField* Field, TRecInfo* Buffer, const std::string& Value) {
    if (!IsActiveBuffer(Buffer)) return;
    if (State() == dsFilter)
        MySQLError(server_ != nullptr ? server_->GetDriver() : nullptr, handle_, -1, dbtext::SNotEditing);
    const int column = Field->FieldNo() - 1;
    if (column < 0 || column >= FieldInfoCount()) return;
    StoreValue(Buffer, column, std::string_view(Value));
}

std::unique_ptr<TStream> TMySQLDatasetBase::CreateBlobStream(TField* Field, TBlobStreamMode Mode) {
    auto* blob = dynamic_cast<TBlobField*>(Field);
    if (blob == nullptr) DatabaseErrorFmt(dbtext::SNotABlobField, {Field->DisplayName()}, this);
    return std::make_unique<TMySQLBlobStream>(blob, Mode);
}

void TMySQLDatasetBase::CloseBlob(TField*) {}

}  // namespace velmysql
