#include "velmysql/dataset/mysql_string_field.h"

#include "dataset/dataset_text.h"
#include "velmysql/dataset/mysql_dataset.h"

namespace velmysql {

TMySQLStringField::TMySQLStringField(TComponent* AOwner) : TStringField(AOwner) {}

TMySQLStringTypes TMySQLStringField::StringType() const {
    if (auto* ds = dynamic_cast<TMySQLDatasetBase*>(DataSet())) {
        const int kind = ds->GetStringType(const_cast<TMySQLStringField*>(this));
        if (kind != 0) stringType_ = static_cast<TMySQLStringTypes>(kind);
    }
    return stringType_;
}

const TStringList& TMySQLStringField::StringValues() const {
    if (auto* ds = dynamic_cast<TMySQLDatasetBase*>(DataSet())) {
        const std::string members = ds->GetStringValues(const_cast<TMySQLStringField*>(this));
        if (!members.empty()) {
            stringValues_.Clear();
            stringValues_.SetCommaText(members);
        }
    }
    return stringValues_;
}

void TMySQLStringField::SetStringValues(const TStrings& Value) {
    if (Value.Text() != stringValues_.Text()) stringValues_.Assign(Value);
}

bool TMySQLStringField::StrInValue(const std::string& S) const {
    return datasettext::Upper(EditText()).find(datasettext::Upper(S)) != std::string::npos;
}

TFieldClass DefaultFieldClasses(TFieldType FieldType) {
    if (FieldType == ftString) return &CreateFieldOfClass<TMySQLStringField>;
    return DefaultFieldClass(FieldType);
}

}  // namespace velmysql
