// The persisted properties of the data-access component classes, and their registration.

#include <mutex>

#include "velmysql/db/custom_connection.h"
#include "velmysql/db/data_source.h"
#include "velmysql/db/dataset.h"
#include "velmysql/db/db_register.h"
#include "velmysql/db/fields.h"
#include "velmysql/db/index_defs.h"
#include "velmysql/db/params.h"
#include "velmysql/rtl/typinfo.h"

namespace velmysql {

namespace {
template <class C, class Ev, Ev C::*Member>
struct EventAccess {
    static Ev Get(const C& c) { return c.*Member; }
    static void Set(C& c, Ev e) { c.*Member = std::move(e); }
};
#define VEL_EVENT(Cls, Ev, Name) \
    Event<Ev>(#Name, &EventAccess<Cls, Ev, &Cls::Name>::Get, &EventAccess<Cls, Ev, &Cls::Name>::Set)
}  // namespace

// The dataset publishes what every dataset stores: Active, the filter and the events.
// A dataset class describes only its own properties after these.
const TClassInfo& TDataSet::ClassInfo() {
    static const TClassInfo& info =
        TClassBuilder<TDataSet>("TDataSet", &TComponent::ClassInfo())
            .Boolean("Active", &TDataSet::Active, &TDataSet::SetActive, false)
            .String("Filter", &TDataSet::Filter, &TDataSet::SetFilter, std::string())
            .Boolean("Filtered", &TDataSet::Filtered, &TDataSet::SetFilteredValue, false)
            .VEL_EVENT(TDataSet, TDataSetNotifyEvent, BeforeOpen)
            .VEL_EVENT(TDataSet, TDataSetNotifyEvent, AfterOpen)
            .VEL_EVENT(TDataSet, TDataSetNotifyEvent, BeforeClose)
            .VEL_EVENT(TDataSet, TDataSetNotifyEvent, AfterClose)
            .VEL_EVENT(TDataSet, TDataSetNotifyEvent, BeforeInsert)
            .VEL_EVENT(TDataSet, TDataSetNotifyEvent, AfterInsert)
            .VEL_EVENT(TDataSet, TDataSetNotifyEvent, BeforeEdit)
            .VEL_EVENT(TDataSet, TDataSetNotifyEvent, AfterEdit)
            .VEL_EVENT(TDataSet, TDataSetNotifyEvent, BeforePost)
            .VEL_EVENT(TDataSet, TDataSetNotifyEvent, AfterPost)
            .VEL_EVENT(TDataSet, TDataSetNotifyEvent, BeforeCancel)
            .VEL_EVENT(TDataSet, TDataSetNotifyEvent, AfterCancel)
            .VEL_EVENT(TDataSet, TDataSetNotifyEvent, BeforeDelete)
            .VEL_EVENT(TDataSet, TDataSetNotifyEvent, AfterDelete)
            .VEL_EVENT(TDataSet, TDataSetNotifyEvent, BeforeScroll)
            .VEL_EVENT(TDataSet, TDataSetNotifyEvent, AfterScroll)
            .VEL_EVENT(TDataSet, TDataSetNotifyEvent, BeforeRefresh)
            .VEL_EVENT(TDataSet, TDataSetNotifyEvent, AfterRefresh)
            .VEL_EVENT(TDataSet, TDataSetNotifyEvent, OnCalcFields)
            .VEL_EVENT(TDataSet, TDataSetErrorEvent, OnDeleteError)
            .VEL_EVENT(TDataSet, TDataSetErrorEvent, OnEditError)
            .VEL_EVENT(TDataSet, TFilterRecordEvent, OnFilterRecord)
            .VEL_EVENT(TDataSet, TDataSetNotifyEvent, OnNewRecord)
            .VEL_EVENT(TDataSet, TDataSetErrorEvent, OnPostError)
            .Build();
    return info;
}

// Connections publish their own properties in their own order.

const TClassInfo& TCustomConnection::ClassInfo() {
    static const TClassInfo& info =
        TClassBuilder<TCustomConnection>("TCustomConnection", &TComponent::ClassInfo()).Build();
    return info;
}

const TClassInfo& TDataSource::ClassInfo() {
    static const TClassInfo& info =
        TClassBuilder<TDataSource>("TDataSource", &TComponent::ClassInfo())
            .Boolean("AutoEdit", &TDataSource::AutoEdit, &TDataSource::SetAutoEdit, true)
            .Component<TDataSet>("DataSet", &TDataSource::DataSet, &TDataSource::SetDataSet)
            .Boolean("Enabled", &TDataSource::Enabled, &TDataSource::SetEnabled, true)
            .VEL_EVENT(TDataSource, TDataChangeEvent, OnDataChange)
            .VEL_EVENT(TDataSource, TNotifyEvent, OnStateChange)
            .VEL_EVENT(TDataSource, TNotifyEvent, OnUpdateData)
            .Build();
    return info;
}

const TClassInfo& TField::ClassInfo() {
    static const TClassInfo& info =
        TClassBuilder<TField>("TField", &TComponent::ClassInfo())
            .String("ConstraintErrorMessage", &TField::ConstraintErrorMessage, &TField::SetConstraintErrorMessage,
                    std::string())
            .String("CustomConstraint", &TField::CustomConstraint, &TField::SetCustomConstraint, std::string())
            .Component<TDataSet>("DataSet", &TField::DataSet, &TField::SetDataSet)
            .String("DefaultExpression", &TField::DefaultExpression, &TField::SetDefaultExpression, std::string())
            .String("DisplayLabel", &TField::DisplayLabel, &TField::SetDisplayLabel)
            .Stored([](const TField& f) { return f.DisplayLabel() != f.FieldName(); })
            .Enum<TFieldKind>("FieldKind", &TField::FieldKind, &TField::SetFieldKind,
                              {"fkData", "fkCalculated", "fkLookup", "fkInternalCalc", "fkAggregate"}, fkData)
            .String("FieldName", &TField::FieldName, &TField::SetFieldName)
            .String("KeyFields", &TField::KeyFields, &TField::SetKeyFields, std::string())
            .Component<TDataSet>("LookupDataSet", &TField::LookupDataSet, &TField::SetLookupDataSet)
            .String("LookupKeyFields", &TField::LookupKeyFields, &TField::SetLookupKeyFields, std::string())
            .String("LookupResultField", &TField::LookupResultField, &TField::SetLookupResultField, std::string())
            .String("Origin", &TField::Origin, &TField::SetOrigin, std::string())
            .Set<TProviderFlag>("ProviderFlags", &TField::ProviderFlags, &TField::SetProviderFlags,
                                {"pfInUpdate", "pfInWhere", "pfInKey", "pfHidden"},
                                TProviderFlags{pfInUpdate, pfInWhere})
            .Boolean("ReadOnly", &TField::ReadOnly, &TField::SetReadOnly, false)
            .Boolean("Required", &TField::Required, &TField::SetRequired, false)
            .Boolean("Visible", &TField::Visible, &TField::SetVisible, true)
            .VEL_EVENT(TField, TFieldNotifyEvent, OnChange)
            .VEL_EVENT(TField, TFieldGetTextEvent, OnGetText)
            .VEL_EVENT(TField, TFieldSetTextEvent, OnSetText)
            .VEL_EVENT(TField, TFieldNotifyEvent, OnValidate)
            .Build();
    return info;
}

const TClassInfo& TStringField::ClassInfo() {
    static const TClassInfo& info =
        TClassBuilder<TStringField>("TStringField", &TField::ClassInfo())
            .Boolean("FixedChar", &TStringField::FixedChar, &TStringField::SetFixedChar, false)
            .Integer<int>("Size", &TStringField::Size, &TStringField::SetSize, 20)
            .Build();
    return info;
}

const TClassInfo& TNumericField::ClassInfo() {
    static const TClassInfo& info =
        TClassBuilder<TNumericField>("TNumericField", &TField::ClassInfo())
            .String("DisplayFormat", &TNumericField::DisplayFormat, &TNumericField::SetDisplayFormat, std::string())
            .Build();
    return info;
}

const TClassInfo& TIntegerField::ClassInfo() {
    static const TClassInfo& info =
        TClassBuilder<TIntegerField>("TIntegerField", &TNumericField::ClassInfo())
            .Integer<int32_t>("MaxValue", &TIntegerField::MaxValue, &TIntegerField::SetMaxValue, 0)
            .Integer<int32_t>("MinValue", &TIntegerField::MinValue, &TIntegerField::SetMinValue, 0)
            .Build();
    return info;
}

const TClassInfo& TSmallintField::ClassInfo() {
    static const TClassInfo& info = TClassBuilder<TSmallintField>("TSmallintField", &TIntegerField::ClassInfo()).Build();
    return info;
}

const TClassInfo& TWordField::ClassInfo() {
    static const TClassInfo& info = TClassBuilder<TWordField>("TWordField", &TIntegerField::ClassInfo()).Build();
    return info;
}

const TClassInfo& TAutoIncField::ClassInfo() {
    static const TClassInfo& info = TClassBuilder<TAutoIncField>("TAutoIncField", &TIntegerField::ClassInfo()).Build();
    return info;
}

const TClassInfo& TLargeintField::ClassInfo() {
    static const TClassInfo& info =
        TClassBuilder<TLargeintField>("TLargeintField", &TNumericField::ClassInfo()).Build();
    return info;
}

const TClassInfo& TFloatField::ClassInfo() {
    static const TClassInfo& info =
        TClassBuilder<TFloatField>("TFloatField", &TNumericField::ClassInfo())
            .Boolean("Currency", &TFloatField::Currency, &TFloatField::SetCurrency, false)
            .Integer<int>("Precision", &TFloatField::Precision, &TFloatField::SetPrecision, 15)
            .Build();
    return info;
}

const TClassInfo& TBooleanField::ClassInfo() {
    static const TClassInfo& info =
        TClassBuilder<TBooleanField>("TBooleanField", &TField::ClassInfo())
            .String("DisplayValues", &TBooleanField::DisplayValues, &TBooleanField::SetDisplayValues, std::string())
            .Build();
    return info;
}

const TClassInfo& TDateTimeField::ClassInfo() {
    static const TClassInfo& info =
        TClassBuilder<TDateTimeField>("TDateTimeField", &TField::ClassInfo())
            .String("DisplayFormat", &TDateTimeField::DisplayFormat, &TDateTimeField::SetDisplayFormat, std::string())
            .Build();
    return info;
}

const TClassInfo& TDateField::ClassInfo() {
    static const TClassInfo& info = TClassBuilder<TDateField>("TDateField", &TDateTimeField::ClassInfo()).Build();
    return info;
}

const TClassInfo& TTimeField::ClassInfo() {
    static const TClassInfo& info = TClassBuilder<TTimeField>("TTimeField", &TDateTimeField::ClassInfo()).Build();
    return info;
}

const TClassInfo& TBlobField::ClassInfo() {
    static const TClassInfo& info =
        TClassBuilder<TBlobField>("TBlobField", &TField::ClassInfo())
            .Integer<int>("Size", &TBlobField::Size, &TBlobField::SetSize, 0)
            .Build();
    return info;
}

const TClassInfo& TMemoField::ClassInfo() {
    static const TClassInfo& info = TClassBuilder<TMemoField>("TMemoField", &TBlobField::ClassInfo()).Build();
    return info;
}

const TClassInfo& TVariantField::ClassInfo() {
    static const TClassInfo& info = TClassBuilder<TVariantField>("TVariantField", &TField::ClassInfo()).Build();
    return info;
}

void RegisterDataAccessClasses() {
    static std::once_flag once;
    std::call_once(once, [] {
        // The descriptions are built on first use; the writer looks them up by type, so
        // the collections' and the abstract classes' must exist before a form is written.
        TDataSet::ClassInfo();
        TCustomConnection::ClassInfo();
        TFieldDef::ClassInfo();
        TFieldDefs::ClassInfo();
        TIndexDef::ClassInfo();
        TIndexDefs::ClassInfo();
        TParam::ClassInfo();
        TParams::ClassInfo();
        TCheckConstraint::ClassInfo();
        TCheckConstraints::ClassInfo();
        RegisterClass<TDataSource>();
        RegisterClass<TStringField>();
        RegisterClass<TIntegerField>();
        RegisterClass<TSmallintField>();
        RegisterClass<TWordField>();
        RegisterClass<TAutoIncField>();
        RegisterClass<TLargeintField>();
        RegisterClass<TFloatField>();
        RegisterClass<TBooleanField>();
        RegisterClass<TDateTimeField>();
        RegisterClass<TDateField>();
        RegisterClass<TTimeField>();
        RegisterClass<TBlobField>();
        RegisterClass<TMemoField>();
        RegisterClass<TVariantField>();
    });
}

}  // namespace velmysql
