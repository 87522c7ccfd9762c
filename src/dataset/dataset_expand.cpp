// TMySQLDatasetBase: expanding templates. Each placeholder of a statement is replaced by
// text computed from the dataset's state at that moment (names, the current record's
// values as SQL literals, conditions that identify the current row, the master and
// filter condition, or a macro's value), and a select gets the master/filter condition.

#include <cstdio>

#include "velmysql/dataset/mysql_dataset.h"
#include "velmysql/db/fields.h"
#include "velmysql/parser/basic_parser.h"
#include "velmysql/textutil/mysqldatetime.h"
#include "velmysql/textutil/strutils.h"
#include "dataset/dataset_template_parser.h"
#include "dataset/dataset_text.h"

namespace velmysql {

namespace {

// The separators of the names in FieldName and in the key lists.
constexpr const char* kNameSeparators = ",;";

// Fields compared by their exact text only: a float, blob or memo value does not name a
// row reliably.
bool IsInexact(const TField* Field) {
    const TFieldType type = Field->DataType();
    return type == ftFloat || type == ftBlob || type == ftMemo;
}

bool IsIntegerType(TFieldType Type) {
    return Type == ftSmallint || Type == ftInteger || Type == ftWord || Type == ftAutoInc || Type == ftLargeint;
}

// A decimal whole number, as the server writes integer columns. Anything else stored in
// an integer field (a value a handler or a hostile server supplied) goes out quoted.
bool IsWholeNumber(std::string_view Text) {
    if (!Text.empty() && (Text.front() == '-' || Text.front() == '+')) Text.remove_prefix(1);
    if (Text.empty()) return false;
    for (char c : Text)
        if (c < '0' || c > '9') return false;
    return true;
}

std::string DateText(TDateTime Value) {
    int y, m, d;
    DecodeDate(Value, y, m, d);
    char out[16];
    std::snprintf(out, sizeof out, "%04d-%02d-%02d", y, m, d);
    return out;
}

std::string TimeText(TDateTime Value) {
    int h, n, s, ms;
    DecodeTime(Value, h, n, s, ms);
    char out[16];
    std::snprintf(out, sizeof out, "%02d:%02d:%02d", h, n, s);
    return out;
}

// Appends Parts joined by ","; an empty list gives the empty text.
void Join(std::string& Out, const std::string& Part) {
    if (!Out.empty()) Out += ',';
    Out += Part;
}

// The first run of characters that are not separators (the name of a placeholder token).
std::string_view FirstWord(std::string_view Text, std::string_view Separators) {
    const std::size_t start = Text.find_first_not_of(Separators);
    if (start == std::string_view::npos) return {};
    const std::size_t end = Text.find_first_of(Separators, start);
    return Text.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
}

constexpr const char* kNoKey =
    "PleaseMakeSureYourTableHasAPrimaryKeyWhichIsPartOfTheSelectORSpecifyTheFieldNamePropertyForTheDataset";

}  // namespace

// ---------------------------------------------------------------- literals

std::string TMySQLDatasetBase::HexStr(std::string_view Bytes) {
    if (Bytes.empty()) return "NULL";
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(2 + 2 * Bytes.size());
    out += "0x";
    for (unsigned char c : Bytes) {
        out += kDigits[c >> 4];
        out += kDigits[c & 15];
    }
    return out;
}

std::string TMySQLDatasetBase::EscStr(std::string_view Text) const {
    return server_ != nullptr ? server_->EscapeStr(Text) : std::string(Text);
}

std::string TMySQLDatasetBase::QuoteStr(std::string_view Text) {
    std::string out;
    out.reserve(Text.size() + 2);
    out += '\'';
    out += Text;
    out += '\'';
    return out;
}

std::string TMySQLDatasetBase::FormatIdentifier(std::string_view Name) const {
    return server_ != nullptr ? server_->FormatIdentifier(Name) : std::string(Name);
}

std::string TMySQLDatasetBase::QEscFieldValue(TField* Field, const TRecInfo* Record) {
    return FieldLiteral(Field, Record != nullptr ? &Record->Values : nullptr);
}

std::string TMySQLDatasetBase::FieldLiteral(TField* Field, const TRowValues* Values) {
    std::string out;
    AppendFieldLiteral(out, Field, Values);
    return out;
}

void TMySQLDatasetBase::AppendFieldLiteral(std::string& Out, TField* Field, const TRowValues* Values) {
    if (Field == nullptr) return;
    auto quoted = [&](std::string_view text) {
        Out += '\'';
        Out += EscStr(text);
        Out += '\'';
    };
    const bool blob = Field->IsBlob();
    const int column = Field->FieldNo() - 1;
    // A calculated or lookup field has no slot in the record: its current value counts.
    if (Values == nullptr || column < 0 || column >= Values->Count()) {
        if (blob) {
            Out += HexStr(Field->AsString());
        } else if (Field->IsNull()) {
            Out += "NULL";
        } else {
            const std::string text = Field->AsString();
            if (IsIntegerType(Field->DataType()) && IsWholeNumber(text))
                Out += text;
            else
                quoted(text);
        }
        return;
    }
    if (blob) {
        Out += HexStr(Values->Value(column));
    } else if (Values->IsNull(column)) {
        Out += "NULL";
    } else if (const std::string_view text = Values->Value(column);
               column < FieldInfoCount() && FieldInfo(column).FieldType == column::kBit) {
        // BIT columns keep their bytes in the record: the server takes their number.
        Out += std::to_string(datasettext::BitValue(text));
    } else if (IsIntegerType(Field->DataType()) && IsWholeNumber(text)) {
        Out += text;
    } else {
        quoted(text);
    }
}

std::string TMySQLDatasetBase::MacroLiteral(const TParam& Param) {
    const bool parameter = Param.ParamType() == ptInput;
    if (Param.IsNull()) return parameter ? "NULL" : std::string();
    switch (Param.DataType()) {
        case ftString:
        case ftFixedChar:
        case ftWideString: return parameter ? QEscStr(Param.AsString()) : Param.AsString();
        case ftSmallint:
        case ftInteger:
        case ftWord:
        case ftAutoInc: return std::to_string(Param.AsInteger());
        case ftLargeint: return std::to_string(Param.AsLargeInt());
        case ftBoolean: return Param.AsBoolean() ? "1" : "0";
        case ftFloat: return MySQLFloatToStr(Param.AsFloat());
        case ftDate: return QuoteStr(DateText(Param.AsDateTime()));
        case ftTime: return QuoteStr(TimeText(Param.AsDateTime()));
        case ftDateTime: return QuoteStr(DateText(Param.AsDateTime()) + " " + TimeText(Param.AsDateTime()));
        case ftBlob:
        case ftGraphic:
        case ftFmtMemo:
        case ftParadoxOle:
        case ftDBaseOle:
        case ftTypedBinary:
        case ftOraBlob:
        case ftOraClob: return HexStr(Param.AsString());
        default: return QEscStr(Param.AsString());
    }
}

// ---------------------------------------------------------------- expansion

std::string TMySQLDatasetBase::SQLPopulate(const std::string& Text, bool MacroPass, bool FilterText,
                                           const std::string& DatabaseOverride,
                                           const std::string& TableRestriction) {
    ReaderLease lease(*this, Text);
    TBasicParser& parser = lease.Reader();
    const std::string separators = macroOpen_ + macroClose_ + ": \r\n";
    std::string out;
    out.reserve(2 * Text.size() + 256);
    int symbols = 0;
    bool injected = true;
    bool isSelect = false;
    std::string condition;
    for (;;) {
        const TTokenKind kind = parser.NextToken(false).Kind;
        const std::string_view token = parser.TokenView();
        // Only a blank after a token is kept; tabs and line breaks between tokens are not.
        const bool blankAfter = parser.TokenEnd() < Text.size() && Text[parser.TokenEnd()] == ' ';
        auto append = [&](std::string_view piece) {
            out += piece;
            if (blankAfter) out += ' ';
        };
        if (kind == ttBracket || kind == ttParameter) {
            append(GetMacroValue(std::string(FirstWord(token, separators)), DatabaseOverride, TableRestriction));
            continue;
        }
        if (kind != ttSymbol && kind != ttDelimiter && kind != ttEnd) {
            append(token);
            continue;
        }
        auto keyword = [&token](std::string_view word) { return SameText(token, word); };
        if (++symbols == 1) {
            isSelect = keyword("SELECT");
            condition = GetMasterAndFilter();
            injected = condition.empty();
        }
        if (FilterText || MacroPass || !isSelect || injected) {
            append(token);
        } else if (kind == ttEnd || kind == ttDelimiter || keyword("WHERE") || keyword("GROUP") ||
                   keyword("HAVING") || keyword("ORDER") || keyword("LIMIT") || keyword("PROCEDURE")) {
            injected = true;
            const std::string filter = SQLPopulate(condition, false, true);
            if (keyword("WHERE")) {
                // The statement's own condition follows.
                out += " where " + filter + " and ";
            } else {
                out += " where " + filter + " ";
                append(token);
            }
        } else {
            append(token);
        }
        if (kind == ttEnd) break;
    }
    // The first pass left the condition out: the second puts it in, and expands what the
    // first pass produced.
    if (MacroPass && !injected && !FilterText) return SQLPopulate(out, false, false);
    return out;
}

std::string TMySQLDatasetBase::GetMacroValue(const std::string& Name, const std::string& DatabaseOverride,
                                             const std::string& TableRestriction) {
    if (Name.empty()) return std::string();
    std::string result;
    bool useDefault = true;
    if (OnMacro) {
        OnMacro(this, Name, result, useDefault);
        if (!useDefault) return result;
    }
    if (Name[0] != '$') return NamedValue(Name, false, TableRestriction, std::move(result));

    const std::string& T = TableRestriction;
    const std::string_view n = Name;  // compares by length first
    if (n == "$DATABASENAME") return FormatIdentifier(DatabaseOverride.empty() ? databaseName_ : DatabaseOverride);
    if (n == "$TABLENAME") {
        if (!T.empty()) return T;
        if (!tableName_.empty()) return FormatIdentifier(tableName_);
        // The name is quoted already, and the driver leaves quoted parts as they are.
        if (!tableInfos_.empty()) return FormatIdentifier(tableInfos_.begin()->second.QuotedName);
        return "PleaseSpecifyATableNameProperty";
    }
    if (n == "$FIELDNAME") return FormatIdentifier(WordInStr(1, fieldName_, kNameSeparators));
    if (n == "$FIELDS") return GetSelectFields();
    if (n == "$WHERE") {
        const std::string filter = SQLPopulate(GetMasterAndFilter(), false, true);
        return filter.empty() ? std::string() : "where " + filter;
    }
    if (n == "$MODIFIED$FIELDS&VALUES") return ModifiedColumns(true, ColumnList::FieldsAndValues, T);
    if (n == "$UNMODIFIED$FIELDS&VALUES") return ModifiedColumns(false, ColumnList::FieldsAndValues, T);
    if (n == "$MODIFIED$FIELD$NAMES") return ModifiedColumns(true, ColumnList::Names, T);
    if (n == "$UNMODIFIED$FIELD$NAMES") return ModifiedColumns(false, ColumnList::Names, T);
    if (n == "$MODIFIED$FIELD$VALUES") return ModifiedColumns(true, ColumnList::Values, T);
    if (n == "$UNMODIFIED$FIELD$VALUES") return ModifiedColumns(false, ColumnList::Values, T);
    if (n == "$OLD$FIELDS&VALUES") return RowCondition(T, false);
    if (n == "$PRIMARYFIELDS&VALUES") {
        if (!primaryKeys_.empty()) return KeyCondition(primaryKeys_, T);
        if (!fieldName_.empty()) return KeyCondition(fieldName_, T);
        return RowCondition(T, true);
    }
    if (n == "$UNIQUEFIELDS&VALUES") return KeyCondition(uniqueKeys_, T);
    if (n == "$MULTIFIELDS&VALUES") return KeyCondition(indexKeys_, T);
    if (n == "$FIELDNAMES&VALUES") return KeyCondition(fieldName_, T);
    if (n == "$FIELDNAMES&VALUES$COMMA") {
        const TRowValues* values = ActiveValues();
        if (values == nullptr) return std::string();
        std::string list;
        datasettext::ForEachName(fieldName_, [&](const std::string& name) {
            if (TField* field = FindField(name)) Join(list, field->Origin() + "=" + FieldLiteral(field, values));
        });
        return list;
    }
    if (n == "$FIELDNAME$VALUE")
        return NamedValue(WordInStr(1, fieldName_, kNameSeparators), false, T, std::move(result));
    // "$OLD$NAME" is the value the field had before the edit.
    if (WordInStr(1, Name, "$") == "OLD") return NamedValue(WordInStr(2, Name, "$"), true, T, std::move(result));
    return NamedValue(Name, false, T, std::move(result));
}

std::string TMySQLDatasetBase::NamedValue(const std::string& Name, bool Old, const std::string& TableRestriction,
                                          std::string Result) {
    if (TField* field = FindField(Name)) {
        const TRowValues* values = ActiveValues();
        if (values == nullptr) return Result;
        if (!TableRestriction.empty() && !BelongsToTable(field, TableRestriction)) return Result;
        if (Old && editCopy_ != nullptr) values = editCopy_.get();
        return FieldLiteral(field, values);
    }
    if (TDataSet* master = masterLink_->DataSet(); master != nullptr && master->FindField(Name) != nullptr) {
        TField* field = MasterValueField(Name);
        return field != nullptr ? FieldLiteral(field, nullptr) : std::string("NULL");
    }
    if (const TParam* param = macros_->FindParam(Name)) return MacroLiteral(*param);
    return std::string();
}

// ---------------------------------------------------------------- columns and conditions

const TRowValues* TMySQLDatasetBase::ActiveValues() {
    TRecInfo* buffer = nullptr;
    return GetActiveRecBuf(buffer) ? &buffer->Values : nullptr;
}

bool TMySQLDatasetBase::BelongsToTable(const TField* Field, const std::string& TableRestriction) const {
    // The column's qualified name must begin with the table's: in a join of a and ba the
    // columns of ba do not belong to a.
    const std::string& origin = Field->Origin();
    return origin.size() > TableRestriction.size() && origin.compare(0, TableRestriction.size(), TableRestriction) == 0 &&
           origin[TableRestriction.size()] == '.';
}

std::vector<TField*> TMySQLDatasetBase::ColumnFields() {
    std::vector<TField*> fields(fieldInfos_.size(), nullptr);
    for (size_t i = 0; i < fieldInfos_.size(); ++i) {
        // The field of a column carries its number; any other field of that name too.
        TField* field = i < static_cast<size_t>(Fields().Count()) ? Fields()[static_cast<int>(i)] : nullptr;
        if (field == nullptr || field->FieldNo() != static_cast<int>(i) + 1) field = FindField(fieldInfos_[i].key);
        fields[i] = field;
    }
    return fields;
}

std::string TMySQLDatasetBase::ModifiedColumns(bool Modified, ColumnList What, const std::string& TableRestriction) {
    const TRowValues* values = nullptr;
    if (What != ColumnList::Names) {
        values = ActiveValues();
        if (values == nullptr) return std::string();
    }
    std::string list;
    const std::vector<TField*> fields = ColumnFields();
    for (size_t i = 0; i < fields.size(); ++i) {
        TField* field = fields[i];
        if (field == nullptr || fieldInfos_[i].info.Modified != Modified || field->ReadOnly()) continue;
        if (!TableRestriction.empty() && !BelongsToTable(field, TableRestriction)) continue;
        switch (What) {
            case ColumnList::FieldsAndValues:
                Join(list, field->Origin());
                list += '=';
                AppendFieldLiteral(list, field, values);
                break;
            case ColumnList::Names: Join(list, FormatIdentifier(field->Origin())); break;
            case ColumnList::Values:
                if (!list.empty()) list += ',';
                AppendFieldLiteral(list, field, values);
                break;
        }
    }
    return list;
}

namespace {

std::string EndCondition(std::string Condition) {
    if (Condition.empty()) return kNoKey;
    Condition.resize(Condition.size() - 5);  // the last " AND "
    return Condition;
}

}  // namespace

std::string TMySQLDatasetBase::Comparison(TField* Field, const TRowValues* Values) {
    const int column = Field->FieldNo() - 1;
    const bool hasSlot = Values != nullptr && column >= 0 && column < Values->Count();
    const bool null = hasSlot ? Values->IsNull(column) : Field->IsNull();
    // A column without value is compared with IS NULL, so that the condition still names
    // the row; an empty blob (written as NULL) with the empty string.
    if (null) return "(" + Field->Origin() + " IS NULL) AND ";
    std::string out = "(" + Field->Origin() + "=";
    const size_t start = out.size();
    AppendFieldLiteral(out, Field, Values);
    if (out.compare(start, std::string::npos, "NULL") == 0) out.replace(start, 4, "''");
    out += ") AND ";
    return out;
}

std::string TMySQLDatasetBase::KeyCondition(const std::string& Names, const std::string& TableRestriction) {
    const TRowValues* values = editCopy_ != nullptr ? editCopy_.get() : ActiveValues();
    if (ActiveValues() == nullptr) return std::string();
    std::string condition;
    datasettext::ForEachName(Names, [&](const std::string& name) {
        TField* field = FindField(name);
        if (field == nullptr || IsInexact(field)) return;
        if (!TableRestriction.empty() && !BelongsToTable(field, TableRestriction)) return;
        condition += Comparison(field, values);
    });
    return EndCondition(std::move(condition));
}

std::string TMySQLDatasetBase::RowCondition(const std::string& TableRestriction, bool SkipInexact) {
    const TRowValues* values = editCopy_ != nullptr ? editCopy_.get() : ActiveValues();
    std::string condition;
    for (TField* field : ColumnFields()) {
        if (field == nullptr || (SkipInexact && IsInexact(field))) continue;
        if (!TableRestriction.empty() && !BelongsToTable(field, TableRestriction)) continue;
        condition += Comparison(field, values);
    }
    return EndCondition(std::move(condition));
}

}  // namespace velmysql
