#pragma once
// TMySQLStringField: the string field of the dataset components, which also tells
// whether its column is an enum or a set and lists the members.

#include <string>

#include "velmysql/db/fields.h"
#include "velmysql/rtl/strings.h"

namespace velmysql {

enum TMySQLStringTypes { stNone, stNormal, stEnum, stSet };

class TMySQLStringField : public TStringField {
public:
    static const TClassInfo& ClassInfo();
    explicit TMySQLStringField(TComponent* AOwner);

    // The dataset's answer when it has one (a field of a result column), else the kind
    // stored last.
    TMySQLStringTypes StringType() const;
    void SetStringType(TMySQLStringTypes Value) { stringType_ = Value; }
    // The enum or set members (without their quotes), refreshed from the dataset.
    const TStringList& StringValues() const;
    // Copies Value when its text differs.
    void SetStringValues(const TStrings& Value);
    // True when S (letter case ignored) occurs in the field's edit text.
    bool StrInValue(const std::string& S) const;

protected:
    // Any size: string columns may be longer than the framework's own limit.
    void CheckTypeSize(int) override {}

private:
    mutable TMySQLStringTypes stringType_ = stNormal;
    mutable TStringList stringValues_;
};

// The field class the dataset components create for a field type: the framework's
// standard class, TMySQLStringField for strings; null where there is none.
TFieldClass DefaultFieldClasses(TFieldType FieldType);

}  // namespace velmysql
