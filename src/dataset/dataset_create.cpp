// TMySQLDatasetBase: the table creation script built from FieldDefs and IndexDefs, and
// running it on the dataset's connection.

#include <string_view>

#include "dataset/dataset_text.h"
#include "velmysql/dataset/mysql_dataset.h"
#include "velmysql/drivers/identifiers.h"

namespace velmysql {

namespace {

constexpr const char* kRequired = "not null";

std::string Decimal(int Value) { return std::to_string(Value); }

// The text types by the largest value they hold; the smallest one is spelled out by the
// caller, since it has a length of its own.
const char* LongTextType(int Size) {
    if (Size < 65536) return " text ";
    if (Size < 16777216) return " mediumtext ";
    return " longtext ";
}

const char* BlobType(int Size) {
    if (Size < 256) return " tinyblob ";
    if (Size < 65536) return " blob ";
    if (Size < 16777216) return " mediumblob ";
    return " longblob ";
}

// The type of the kinds whose column type has no size.
const char* PlainType(TFieldType Type) {
    switch (Type) {
        case ftSmallint: return " smallint ";
        case ftInteger:
        case ftWord: return " int ";
        case ftBoolean: return " tinyint(1) ";
        case ftFloat: return " float ";
        case ftDate: return " date ";
        case ftTime: return " time ";
        case ftDateTime: return " datetime ";
        case ftLargeint: return " bigint ";
        case ftTimeStamp: return " timestamp ";
        default: return nullptr;
    }
}

// The column type of a definition, between blanks.
std::string ColumnType(const TFieldDef& Def) {
    const int size = Def.Size();
    switch (Def.DataType()) {
        case ftUnknown:
        case ftString:
        case ftMemo:
        case ftFmtMemo:
        case ftFixedChar:
        case ftWideString:
        case ftVariant:
            if (size < 256) {
                const bool fixed = Def.Attributes().Contains(faFixed) || Def.DataType() == ftFixedChar;
                return (fixed ? " char(" : " varchar(") + Decimal(size) + ") ";
            }
            return LongTextType(size);
        case ftCurrency:
            return " decimal(" + Decimal(Def.Precision()) + "," + Decimal(size) + ") ";
        case ftBytes:
        case ftVarBytes:
        case ftBlob:
        case ftGraphic:
            return BlobType(size);
        default:
            const char* plain = PlainType(Def.DataType());
            return plain != nullptr ? plain : " varchar(255) ";
    }
}

// The line that follows a column's name: its type, "not null" for a required column, and
// the "," that separates it from the next line.
std::string TypeLine(const TFieldDef& Def) {
    // An auto-increment column is always required, whatever the definition says.
    if (Def.DataType() == ftAutoInc) return " int not null auto_increment,";
    return ColumnType(Def) + (Def.Required() ? kRequired : "") + ",";
}

// Blanks around a name in a field list are not part of it.
std::string_view TrimBlanks(std::string_view Name) {
    while (!Name.empty() && static_cast<unsigned char>(Name.front()) <= ' ') Name.remove_prefix(1);
    while (!Name.empty() && static_cast<unsigned char>(Name.back()) <= ' ') Name.remove_suffix(1);
    return Name;
}

void DropLastCharacter(TStringList& Lines) {
    const int last = Lines.Count() - 1;
    std::string line = Lines.Line(last);
    if (!line.empty()) line.pop_back();
    Lines.SetStrings(last, line);
}

}  // namespace

std::string TMySQLDatasetBase::TableCreationScript() { return CreateTable(false); }

std::string TMySQLDatasetBase::CreateTable(bool Execute) {
    if (tableName_.empty()) return {};
    // Names are quoted by MySQL's rules also when there is no server to ask, so that a
    // script built without one is as safe to run as one built with it.
    auto quote = [this](std::string_view Name) {
        return server_ != nullptr ? server_->FormatIdentifier(Name) : FormatMySQLIdentifier(Name);
    };
    TStringList lines;
    if (!databaseName_.empty())
        lines.Add("use " + quote(databaseName_) + ";");
    else if (server_ != nullptr && !server_->DatabaseName().empty())
        lines.Add("use " + quote(server_->DatabaseName()) + ";");
    else
        return {};
    if (options_.Contains(doDropIfExists)) lines.Add("drop table if exists " + quote(tableName_) + ";");
    lines.Add(std::string("create ") + (options_.Contains(doCreateTemp) ? "temporary " : " ") + "table if not exists " +
              quote(tableName_) + " (");

    TFieldDefs& fieldDefs = FieldDefs();
    if (fieldDefs.Count() == 0) {
        lines.Add("ID int not null auto_increment,primary key (ID)");
    } else {
        for (int i = 0; i < fieldDefs.Count(); ++i) {
            const TFieldDef& def = *fieldDefs[i];
            lines.Add(quote(def.Name()));
            lines.Add(TypeLine(def));
        }
        const TIndexDefs& indexDefs = *indexDefs_;
        for (int i = 0; i < indexDefs.Count(); ++i) {
            const TIndexDef& index = *indexDefs[i];
            if (index.Options().Contains(ixPrimary))
                lines.Add(" primary key (");
            else if (index.Options().Contains(ixUnique))
                lines.Add(" unique index " + quote(index.Name()) + " (");
            else
                lines.Add(" index " + quote(index.Name()) + " (");
            // The names are separated by ";" or ","; a blank inside a name belongs to it.
            std::string fields;
            datasettext::ForEachName(index.Fields(), [&](const std::string& Name) {
                const std::string_view name = TrimBlanks(Name);
                if (name.empty()) return;
                if (!fields.empty()) fields += ',';
                fields += quote(name);
            });
            lines.Add(fields + "),");
        }
        // The last column or key line ends without its ",".
        DropLastCharacter(lines);
    }
    lines.Add(");");
    if (Execute) ExecSQLBatch(lines, false, false);
    return lines.Text();
}

}  // namespace velmysql
