// TMySQLDatasetBase: the result's columns become field information, table information and
// key lists; names are made unique; field definitions get their types; after the last row
// the catalogue tells defaults, enum and set members and index definitions.

#include <algorithm>
#include <cctype>
#include <utility>

#include "dataset/dataset_text.h"
#include "velmysql/dataset/mysql_dataset.h"
#include "velmysql/dataset/mysql_string_field.h"
#include "velmysql/rtl/strings.h"
#include "velmysql/textutil/strutils.h"

namespace velmysql {

namespace {

using datasettext::EnumMembers;
using datasettext::Upper;

// Removes the first occurrence of Part (letter case ignored) from Text.
void RemoveFirst(std::string& Text, const std::string& Part) {
    if (Part.empty()) return;
    const size_t at = Upper(Text).find(Upper(Part));
    if (at != std::string::npos) Text.erase(at, Part.size());
}

// Replaces the first occurrence of Part (letter case ignored) in Text by With.
void ReplaceFirst(std::string& Text, const std::string& Part, const std::string& With) {
    if (Part.empty()) return;
    const size_t at = Upper(Text).find(Upper(Part));
    if (at != std::string::npos) Text.replace(at, Part.size(), With);
}

std::string Text(const char* value) { return value != nullptr ? std::string(value) : std::string(); }

// "a.b.c" from the parts that are not empty.
std::string Dotted(std::initializer_list<const std::string*> parts) {
    std::string out;
    for (const std::string* part : parts) {
        if (part->empty()) continue;
        if (!out.empty()) out += '.';
        out += *part;
    }
    return out;
}

// The members of an enum or set type text: "enum('a','b')" gives "a","b" (each in double
// quotes, comma separated).
std::string MembersOfType(const std::string& type) {
    std::string members = WordInStr(2, type, "()");
    std::replace(members.begin(), members.end(), '\'', '"');
    return members;
}

// The word mask of a set value: bit n for the n-th member named in it (16 bits, so a word
// that is no member and members past the 16th add nothing).
uint16_t SetMask(const std::string& value, const std::vector<std::string>& members) {
    uint16_t mask = 0;
    for (uint8_t w = 1; w != 0; ++w) {
        const std::string word = WordInStr(w, value, ",");
        if (word.empty()) break;
        for (size_t m = 0; m < members.size() && m < 16; ++m)
            if (members[m] == word) mask = static_cast<uint16_t>(mask | (1u << m));
    }
    return mask;
}

// The field type and size of a column under the options (BIT depends on the server).
std::pair<TFieldType, int> FieldTypeOf(const TFieldInfo& info, TMySQLDatasetOptions options, int serverVersion) {
    const bool isUnsigned = (info.Flags & column::kUnsigned) != 0;
    TFieldType type = ftUnknown;
    int size = 0;
    switch (info.FieldType) {
        case column::kTiny:
            type = options.Contains(doTinyIntToBool) ? ftBoolean : (isUnsigned ? ftWord : ftSmallint);
            break;
        case column::kShort: type = isUnsigned ? ftWord : ftSmallint; break;
        case column::kLong: type = isUnsigned ? ftLargeint : ftInteger; break;
        case column::kLongLong:
            if (isUnsigned) {
                type = ftString;
                size = 20;
            } else {
                type = ftLargeint;
            }
            break;
        case column::kInt24: type = ftInteger; break;
        case column::kDecimal:
        case column::kFloat:
        case column::kDouble:
        case column::kNewDecimal: type = ftFloat; break;
        case column::kNull: type = ftVariant; break;
        case column::kTimestamp:
        case column::kDateTime:
        case column::kNewDate: type = ftDateTime; break;
        case column::kDate: type = ftDate; break;
        case column::kTime: type = ftTime; break;
        case column::kYear: type = ftWord; break;
        case column::kVarChar:
        case column::kVarString:
        case column::kString:
            type = ftString;
            size = static_cast<int>(info.Length);
            break;
        case column::kBit:
            if (serverVersion >= 50003) {
                if (info.Length < 3) {
                    type = ftWord;
                } else if (info.Length <= 4) {
                    type = ftInteger;
                } else {
                    type = ftString;
                    size = 20;
                }
            } else {
                type = ftBoolean;
            }
            break;
        case column::kEnumType:
            if (options.Contains(doEnumToBool) && EnumMembers(info.EnumValues).size() == 2) {
                type = ftBoolean;
            } else {
                type = ftString;
                size = static_cast<int>(info.Length);
            }
            break;
        case column::kSetType:
            if (options.Contains(doSetToWord)) {
                type = ftWord;
            } else {
                type = ftString;
                size = static_cast<int>(info.Length);
            }
            break;
        case column::kTinyBlob:
        case column::kMediumBlob:
        case column::kLongBlob:
        case column::kBlobType:
            type = (info.Flags & column::kBinary) ? ftBlob : ftMemo;
            size = static_cast<int>(std::min<uint32_t>(info.Length, INT32_MAX));
            break;
        default: type = ftUnknown; break;
    }
    return {type, size};
}

}  // namespace

int TMySQLDatasetBase::FindFieldInfo(const std::string& Name) const {
    for (size_t i = 0; i < fieldInfos_.size(); ++i)
        if (SameText(fieldInfos_[i].key, Name)) return static_cast<int>(i);
    return -1;
}

// ---------------------------------------------------------------- reading the columns

void TMySQLDatasetBase::ReadResultColumns() {
    TMySQLBase* driver = server_->GetDriver();
    for (;;) {
        const TMysql_FieldDef def = driver->RetrieveField(result_);
        if (def.name == nullptr || def.name[0] == '\0') break;
        AddResultColumn(def);
    }
    resultColumns_ = FieldInfoCount();
    AddCustomColumns();
    MakeNamesUnique();
}

void TMySQLDatasetBase::AddResultColumn(const TMysql_FieldDef& Def) {
    TMySQLBase* driver = server_->GetDriver();
    auto quote = [driver](const std::string& name) { return driver->FormatIdentifier(name); };
    FieldEntry entry;
    TFieldInfo& info = entry.info;
    info.InResult = true;
    info.Name = Text(Def.name);
    info.OrgName = Def.org_name != nullptr && Def.org_name[0] != '\0' ? Text(Def.org_name) : info.Name;
    const std::string table = Text(Def.table);
    // Temporary tables (names holding "#") leave table and database empty.
    if (table.find('#') == std::string::npos) {
        info.Table = table;
        info.OrgTable = Def.org_table != nullptr && Def.org_table[0] != '\0' ? Text(Def.org_table) : table;
        info.Database = Text(Def.db);
    }
    info.Flags = Def.flags;
    std::string origin;
    if (!info.Database.empty()) origin += quote(info.Database) + ".";
    if (!info.OrgTable.empty()) origin += quote(info.OrgTable) + ".";
    info.Origin = origin + quote(info.OrgName);
    info.QualifiedName = Dotted({&info.Database, &info.Table, &info.Name});
    if (!info.Table.empty()) {
        TTableInfo& t = tableInfos_[info.Table];
        t.Name = info.Table;
        t.OrgName = info.OrgTable;
        t.Database = info.Database;
        t.QuotedName = (info.Database.empty() ? std::string() : quote(info.Database) + ".") + quote(info.OrgTable);
        if (info.Flags & column::kPrimaryKey) t.PrimaryKeys += info.Name + ",";
        if (info.Flags & column::kUniqueKey) t.UniqueKeys += info.Name + ",";
        if (info.Flags & column::kMultipleKey) t.IndexKeys += info.Name + ",";
    }
    if (info.Flags & column::kPrimaryKey) primaryKeys_ += info.QualifiedName + ",";
    if (info.Flags & column::kUniqueKey) uniqueKeys_ += info.QualifiedName + ",";
    if (info.Flags & column::kMultipleKey) indexKeys_ += info.QualifiedName + ",";
    if (!info.Database.empty() && info.Database.find('#') == std::string::npos) databases_.insert(info.Database);
    // A new detail record takes the master's value of a linked column.
    const int link = masterLink_->DataSource() != nullptr ? masterFields_.IndexOfName(info.Name) : -1;
    TField* master = link >= 0 ? MasterValueField(masterFields_.ValueFromIndex(link)) : nullptr;
    info.Default = master != nullptr ? master->AsString() : Text(Def.def);
    info.FieldType = Def.type;
    info.Length = static_cast<uint32_t>(Def.length);
    info.MaxLength = static_cast<uint32_t>(Def.max_length);
    // The server reports enum and set columns as strings with a flag.
    if (info.Flags & column::kEnum) info.FieldType = column::kEnumType;
    if (info.Flags & column::kSet) info.FieldType = column::kSetType;
    info.Decimals = Def.decimals;
    info.Offset = runningWidth_;
    info.Modified = false;
    runningWidth_ += info.Length + 1;

    const uint8_t type = info.FieldType;
    if (options_.Contains(do2KStrToMemo) &&
        (type == column::kVarChar || type == column::kVarString || type == column::kString) && info.Length > 2048) {
        info.FieldType = column::kBlobType;
        info.Flags |= column::kBlob;
    }
    const bool blobType = info.FieldType >= column::kTinyBlob && info.FieldType <= column::kBlobType;
    if (blobType) info.Flags |= column::kBlob;
    if (options_.Contains(doFieldsAsString) && !blobType) {
        info.FieldType = column::kVarString;
        info.Length = 255;
    }
    if (options_.Contains(doSmallMemoToStr) && info.IsBlob() && !(info.Flags & column::kBinary) &&
        info.Length <= smallMemoLimit_) {
        info.FieldType = column::kVarString;
        info.Flags &= ~column::kBlob;
    }
    entry.key = info.Name;
    fieldInfos_.push_back(std::move(entry));
}

void TMySQLDatasetBase::AddCustomColumns() {
    for (int i = 0; i < customFieldDefs_->Count(); ++i) {
        const TFieldDef* def = customFieldDefs_->Items(i);
        FieldEntry entry;
        entry.key = def->Name();
        entry.info.Name = def->Name();
        entry.info.Table = "MyDatasetCustomTable";
        entry.info.Length = static_cast<uint32_t>(std::max(def->Size(), 0));
        entry.info.Flags = def->DataType() == ftMemo ? column::kBlob : 0;
        entry.info.FieldType = column::kVarString;
        fieldInfos_.push_back(std::move(entry));
    }
}

void TMySQLDatasetBase::MakeNamesUnique() {
    const bool single =
        databases_.size() == 1 && (databaseName_.empty() || SameText(databaseName_, *databases_.begin()));
    TMySQLBase* driver = server_->GetDriver();
    auto keyedBy = [this](const std::string& name) {
        for (size_t o = 0; o < fieldInfos_.size(); ++o)
            if (SameText(fieldInfos_[o].key, name)) return static_cast<int>(o);
        return -1;
    };
    // A column without table and database keeps its name plus its position; any other
    // one goes by its qualified name (without the database in a single database).
    auto rekey = [&](size_t o, const std::string& database, bool reduceOwn) {
        FieldEntry& e = fieldInfos_[o];
        if (SameText(e.key, e.info.QualifiedName)) {
            e.key += "_" + std::to_string(o + 1);
            return;
        }
        std::string qualified = e.info.QualifiedName;
        if (single) RemoveFirst(qualified, database + ".");
        if (reduceOwn) e.info.QualifiedName = qualified;
        e.key = qualified;
    };
    for (size_t i = 0; i < fieldInfos_.size(); ++i) {
        FieldEntry& entry = fieldInfos_[i];
        if (!SameText(entry.key, entry.info.Name)) continue;
        const std::string database = entry.info.Database;
        rekey(i, database, true);
        if (keyedBy(entry.info.Name) < 0) {
            // The name was unique: the key lists name the column by it.
            for (std::string* list : {&primaryKeys_, &uniqueKeys_, &indexKeys_}) {
                if (single) RemoveFirst(*list, database + ".");
                ReplaceFirst(*list, entry.info.QualifiedName, entry.info.Name);
            }
            entry.key = entry.info.Name;
        } else {
            for (int o = keyedBy(entry.info.Name), guard = 0; o >= 0 && guard < FieldInfoCount();
                 o = keyedBy(entry.info.Name), ++guard)
                rekey(static_cast<size_t>(o), database, false);
        }
        if (single) {
            RemoveFirst(entry.info.Origin, driver->FormatIdentifier(database) + ".");
            if (tableInfos_.size() == 1 && !entry.info.OrgTable.empty())
                RemoveFirst(entry.info.Origin, driver->FormatIdentifier(entry.info.OrgTable) + ".");
        } else if (databases_.empty() && tableInfos_.size() == 1 && !entry.info.OrgTable.empty()) {
            RemoveFirst(entry.info.Origin, driver->FormatIdentifier(entry.info.OrgTable) + ".");
        }
    }
    for (auto& [alias, table] : tableInfos_) {
        for (std::string* keys : {&table.PrimaryKeys, &table.UniqueKeys, &table.IndexKeys})
            if (!keys->empty() && keys->back() == ',') keys->pop_back();
        if (single && !table.Database.empty()) RemoveFirst(table.QuotedName, driver->FormatIdentifier(table.Database) + ".");
    }
}

// ---------------------------------------------------------------- field definitions

void TMySQLDatasetBase::InternalInitFieldDefs() {
    ActivateConnection();
    InternalOpenResult();
    if (!rowsOpen_) return;
    TFieldDefs& defs = FieldDefs();
    defs.Clear();
    const int serverVersion = server_ != nullptr ? server_->GetServerVer() : 0;
    for (int k = 0; k < FieldInfoCount(); ++k) {
        const TFieldInfo& info = FieldInfo(k);
        TFieldDef* def = defs.AddFieldDef();
        def->SetName(FieldInfoKey(k));
        def->SetFieldNo(k + 1);
        TFieldAttributes attributes;
        if (info.Table.empty() && !options_.Contains(doEditCalcFields)) {
            attributes.Include(faReadonly);
            def->SetInternalCalcField(true);
        }
        auto [type, size] = FieldTypeOf(info, options_, serverVersion);
        if (!options_.Contains(doFieldsAsString) && (info.Flags & column::kAutoIncrement)) {
            attributes.Include(faReadonly);
            type = ftAutoInc;
        }
        const bool required = (info.Flags & column::kNotNull) && type != ftAutoInc && !attributes.Contains(faReadonly);
        if (required) attributes.Include(faRequired);
        def->SetDataType(type);
        def->SetSize(size);
        def->SetAttributes(attributes);
    }
}

TFieldClass TMySQLDatasetBase::GetFieldClass(TFieldType FieldType) { return DefaultFieldClasses(FieldType); }

bool TMySQLDatasetBase::GetIsIndexField(TField* Field) {
    return Upper(indexKeys_).find(Upper(Field->FieldName())) != std::string::npos;
}

int TMySQLDatasetBase::GetStringType(TField* Field) {
    const TFieldInfo* info = ColumnOf(Field);
    if (info == nullptr) return 0;
    if (info->FieldType == column::kEnumType) return stEnum;
    if (info->FieldType == column::kSetType) return stSet;
    return stNormal;
}

std::string TMySQLDatasetBase::GetStringValues(TField* Field) {
    const TFieldInfo* info = ColumnOf(Field);
    return info != nullptr ? info->EnumValues : std::string();
}

const TFieldInfo* TMySQLDatasetBase::ColumnOf(const TField* Field) const {
    const int number = Field->FieldNo();
    if (number <= 0 || number > FieldInfoCount()) return nullptr;
    return &FieldInfo(number - 1);
}

// ---------------------------------------------------------------- after the last row

void TMySQLDatasetBase::AfterLastRow() {
    if (options_.Contains(doRetrieveFieldValues)) RetrieveFieldValues();
    RetrieveIndexDefs();
}

namespace {
// Reads every row of a catalogue statement on the connection; Visit gets the values of
// each row (null for NULL) until it answers false or the rows end.
template <class F>
void ForEachCatalogueRow(TMySQLBase& driver, MySQLConnectionHandle* handle, const std::string& statement, F&& Visit) {
    MySQLResultHandle* result = driver.OpenQuery(handle, statement);
    if (result == nullptr) return;
    const unsigned columns = driver.RetrieveColCount(result);
    try {
        bool more = true;
        while (MySQLRow row = driver.RetrieveRow(result)) {
            if (!more) continue;  // the rest is read and dropped
            auto value = [&](unsigned i) -> const char* { return i < columns ? row[i] : nullptr; };
            more = Visit(value);
        }
    } catch (...) {
        driver.CloseQuery(result);
        throw;
    }
    driver.CloseQuery(result);
}
}  // namespace

void TMySQLDatasetBase::RetrieveFieldValues() {
    TMySQLBase* driver = server_->GetDriver();
    for (const auto& entry : tableInfos_) {
        const std::string& alias = entry.first;
        ForEachCatalogueRow(*driver, handle_, "show columns from " + entry.second.QuotedName, [&](auto value) {
            const char* field = value(0);
            if (field == nullptr) return false;
            int column = FindFieldInfo(alias + "." + field);
            if (column < 0) column = FindFieldInfo(field);
            if (column < 0) return true;
            TFieldInfo& info = fieldInfos_[static_cast<size_t>(column)].info;
            const char* type = value(1);
            const char* def = value(4);
            if ((info.FieldType != column::kEnumType && info.FieldType != column::kSetType) || type == nullptr) {
                if (def != nullptr && info.Default.empty()) info.Default = def;
                return true;
            }
            info.EnumValues = MembersOfType(type);
            if (options_.Contains(doSetToWord) && info.FieldType == column::kSetType) {
                ConvertSetValues(column);
                info.Default = def != nullptr ? std::to_string(SetMask(def, EnumMembers(info.EnumValues))) : "0";
            }
            return true;
        });
    }
}

void TMySQLDatasetBase::ConvertSetValues(int Column) {
    const std::vector<std::string> members = EnumMembers(FieldInfo(Column).EnumValues);
    for (int64_t r = rowCount_ - 1; r >= firstRow_; --r) {
        TRowValues* row = MutableRow(r);
        if (row == nullptr || row->IsNull(Column)) continue;
        row->Set(Column, std::to_string(SetMask(std::string(row->Value(Column)), members)));
    }
}

void TMySQLDatasetBase::RetrieveIndexDefs() {
    indexDefs_->Clear();
    if (!options_.Contains(doRetrieveIndexDefs) || fieldInfos_.empty() || tableInfos_.size() != 1) return;
    TMySQLBase* driver = server_->GetDriver();
    ForEachCatalogueRow(*driver, handle_, "show index from " + tableInfos_.begin()->second.QuotedName, [&](auto value) {
        const char* nonUnique = value(1);
        const char* keyName = value(2);
        const char* columnName = value(4);
        if (nonUnique == nullptr || keyName == nullptr || columnName == nullptr) return true;
        TIndexDef* index = nullptr;
        const int at = indexDefs_->IndexOf(keyName);
        if (at >= 0) {
            index = indexDefs_->Items(at);
        } else {
            index = indexDefs_->AddIndexDef();
            index->SetName(keyName);
        }
        index->SetFields(index->Fields().empty() ? std::string(columnName) : index->Fields() + ";" + columnName);
        TIndexOptions options = index->Options();
        if (SameText(keyName, "PRIMARY")) options.Include(ixPrimary);
        if (std::string(nonUnique) == "0") options.Include(ixUnique);
        index->SetOptions(options);
        return true;
    });
}

}  // namespace velmysql
