// What a form stores of the dataset components and of TMySQLStringField, and their
// registration for form streaming.

#include <mutex>

#include "velmysql/dataset/mysql_dataset.h"
#include "velmysql/dataset/mysql_string_field.h"
#include "velmysql/rtl/formstream.h"
#include "velmysql/rtl/typinfo.h"

namespace velmysql {

namespace {

const std::vector<std::string> kOptionNames{
    "doShareConnection", "doTransactions",     "doRecursiveUpdates", "doCachedUpdates",       "doThreadedUpdate",
    "doAutoCreate",      "doCreateTemp",       "doDropIfExists",     "doFieldsAsString",      "doRetrieveFieldValues",
    "doRetrieveIndexDefs", "doMacrosEnabled",  "doMacroCheck",       "do2KStrToMemo",         "doSmallMemoToStr",
    "doEnumToBool",      "doTinyIntToBool",    "doSetToWord",        "doEditCalcFields",      "doUseCursor",
    "doSingleSQL"};

// Which of the three component classes persists a property.
enum Persisted { D = 1, Q = 2, T = 4 };

bool FormTrue(const TFormValue& v) { return v.Kind == TFormValue::fvIdent ? SameText(v.Text, "True") : v.Integer != 0; }

// An obsolete boolean key that switches one option.
template <class C>
auto OptionSwitch(TMySQLDatasetOption option) {
    return [option](C& ds, const TFormValue& v) {
        TMySQLDatasetOptions options = ds.Options();
        if (FormTrue(v))
            options.Include(option);
        else
            options.Exclude(option);
        ds.SetOptions(options);
    };
}

// The persisted properties of a component class, in the order a form stores them.
template <class C>
const TClassInfo& Describe(const char* name, int who) {
    using B = TMySQLDatasetBase;
    TClassBuilder<C> b(name, &TMySQLDatasetBase::ClassInfo());
    auto has = [who](int classes) { return (who & classes) != 0; };
    auto defs = [](const C& ds) {
        const B& base = ds;
        return base.Options().Contains(doAutoCreate) && !base.TableName().empty();
    };
    b.Boolean("CachedUpdates", &B::CachedUpdates, &B::SetCachedUpdates);
    b.Collection("Constraints", [](C& ds) -> TCollection* { return &ds.Constraints(); })
        .Stored([](const C& ds) { return const_cast<C&>(ds).Constraints().Count() > 0; });
    if (has(D)) b.template Integer<int>("Cursor", &B::Cursor, &B::SetCursor);
    if (has(D))
        b.Collection("CustomFieldDefs", [](C& ds) -> TCollection* { return &ds.CustomFieldDefs(); })
            .Stored([](const C& ds) { return const_cast<C&>(ds).CustomFieldDefs().Count() > 0; });
    if (has(D | T))
        b.Collection("FieldDefs", [](C& ds) -> TCollection* { return &ds.FieldDefs(); })
            .Stored([defs](const C& ds) { return defs(ds) && const_cast<C&>(ds).FieldDefs().Count() > 0; });
    if (has(D | T)) b.String(has(T) ? "IndexFieldNames" : "FieldName", &B::FieldName, &B::SetFieldName, std::string());
    if (has(D | T))
        b.Collection("IndexDefs", [](C& ds) -> TCollection* { return &ds.IndexDefs(); })
            .Stored([defs](const C& ds) { return defs(ds) && const_cast<C&>(ds).IndexDefs().Count() > 0; });
    if (has(D | Q))
        b.Collection(has(Q) ? "Params" : "Macros", [](C& ds) -> TCollection* { return &ds.Macros(); })
            .Stored([](const C& ds) {
                const TMySQLDatasetOptions o = ds.Options();
                return o.Contains(doMacrosEnabled) && !o.Contains(doMacroCheck) && const_cast<C&>(ds).Macros().Count() > 0;
            });
    if (has(D | T)) b.String("MasterFields", &B::MasterFields, &B::SetMasterFields);
    b.template Component<TDataSource>(
        has(Q) ? "DataSource" : "MasterSource", [](const C& ds) { return const_cast<C&>(ds).GetDataSource(); },
        &B::SetMasterSource);
    b.template Set<TMySQLDatasetOption>("Options", &B::Options, &B::SetOptions, kOptionNames);
    if (has(D | Q)) b.Boolean("ParamCheck", &B::ParamCheck, &B::SetParamCheck);
    if (has(D)) b.Boolean("RawData", &B::RawData, &B::SetRawData);
    b.Boolean("ReadOnly", &B::ReadOnly, &B::SetReadOnly);
    if (has(D | Q))
        b.template Enum<TMySQLResultOptions>("ResultType", &B::ResultType, &B::SetResultType,
                                             {"rtLocal", "rtIncremental", "rtUnidirectional"});
    if (has(D))
        b.Boolean("ShareConnection", &B::ShareConnection, &B::SetShareConnection);
    // A template is stored when it differs from its default under the delimiters in
    // force; the batch when it has lines; the cache always.
    using Setter = void (B::*)(const TStrings&);
    auto strings = [&b](const char* prop, TStringList& (B::*list)(), Setter set, std::string (B::*def)() const) {
        b.Strings(prop, [list](C& ds) -> TStrings* { return &(ds.*list)(); }, set);
        if (def != nullptr)
            b.Stored([list, def](const C& ds) {
                C& d = const_cast<C&>(ds);
                return !SameText((d.*list)().Text(), (d.*def)() + "\r\n");
            });
    };
    if (has(D | Q))
        b.String(has(Q) ? "ParamDelimiters" : "MacroDel", &B::GetMacroString, &B::SetMacroString, std::string("[,]"))
            .Stored([](const C& ds) { return !SameText(ds.GetMacroString(), "[,]"); });
    if (has(D | Q)) strings("SQL", &B::SQL, &B::SetSQL, &B::DefaultSelectSQL);
    if (has(D)) {
        strings("SQLBatch", &B::SQLBatch, &B::SetSQLBatch, nullptr);
        b.Stored([](const C& ds) { return const_cast<C&>(ds).SQLBatch().Count() > 0; });
    }
    if (has(D)) strings("SQLCached", &B::SQLCached, &B::SetSQLCached, nullptr);
    if (has(D | Q)) strings("SQLDelete", &B::SQLDelete, &B::SetSQLDelete, &B::DefaultDeleteSQL);
    if (has(D | Q)) strings("SQLInsert", &B::SQLInsert, &B::SetSQLInsert, &B::DefaultInsertSQL);
    if (has(D | Q)) strings("SQLUpdate", &B::SQLUpdate, &B::SetSQLUpdate, &B::DefaultUpdateSQL);
    b.String("TableName", &B::TableName, &B::SetTableName);
    if (has(D)) b.Boolean("UseCursor", &B::UseCursor, &B::SetUseCursor);
    b.template Event<TDataSetNotifyEvent>(
        "OnAfterAdd", [](const C& ds) { return ds.OnAfterAdd; }, [](C& ds, TDataSetNotifyEvent e) { ds.OnAfterAdd = std::move(e); });
    b.template Event<TMySQLEvent>(
        "OnExecSQL", [](const C& ds) { return ds.OnExecSQL; }, [](C& ds, TMySQLEvent e) { ds.OnExecSQL = std::move(e); });
    b.template Event<TMySQLMacroEvent>(
        "OnMacro", [](const C& ds) { return ds.OnMacro; }, [](C& ds, TMySQLMacroEvent e) { ds.OnMacro = std::move(e); });
    b.template Event<TMySQLFieldValue>(
        "OnDefaultValue", [](const C& ds) { return ds.OnDefaultValue; },
        [](C& ds, TMySQLFieldValue e) { ds.OnDefaultValue = std::move(e); });
    b.template Event<TNotifyEvent>(
        "OnThreadOpened", [](const C& ds) { return ds.OnThreadOpened; },
        [](C& ds, TNotifyEvent e) { ds.OnThreadOpened = std::move(e); });
    b.template Event<TNotifyEvent>(
        "OnThreadPosted", [](const C& ds) { return ds.OnThreadPosted; },
        [](C& ds, TNotifyEvent e) { ds.OnThreadPosted = std::move(e); });
    if (has(D))
        b.template Event<TMySQLFieldValue>(
            "OnCustomValue", [](const C& ds) { return ds.OnCustomValue; },
            [](C& ds, TMySQLFieldValue e) { ds.OnCustomValue = std::move(e); });
    b.Obsolete("AllFieldValues", OptionSwitch<C>(doRetrieveFieldValues));
    b.Obsolete("MacrosEnabled", OptionSwitch<C>(doMacrosEnabled));
    return b.Build();
}

}  // namespace

const TClassInfo& TMySQLDatasetBase::ClassInfo() {
    static const TClassInfo& info =
        TClassBuilder<TMySQLDatasetBase>("TMySQLDatasetBase", &TDataSet::ClassInfo())
            .String("DatabaseName", &TMySQLDatasetBase::DatabaseName, &TMySQLDatasetBase::SetDatabaseName)
            .Component<TMySQLServer>("Server", &TMySQLDatasetBase::Server, &TMySQLDatasetBase::SetServer)
            .Build();
    return info;
}

const TClassInfo& TMySQLDataset::ClassInfo() {
    static const TClassInfo& info = Describe<TMySQLDataset>("TMySQLDataset", D);
    return info;
}

const TClassInfo& TMySQLQuery::ClassInfo() {
    static const TClassInfo& info = Describe<TMySQLQuery>("TMySQLQuery", Q);
    return info;
}

const TClassInfo& TMySQLTable::ClassInfo() {
    static const TClassInfo& info = Describe<TMySQLTable>("TMySQLTable", T);
    return info;
}

const TClassInfo& TMySQLStringField::ClassInfo() {
    static const TClassInfo& info =
        TClassBuilder<TMySQLStringField>("TMySQLStringField", &TStringField::ClassInfo())
            .Enum<TMySQLStringTypes>("StringType", &TMySQLStringField::StringType, &TMySQLStringField::SetStringType,
                                     {"stNone", "stNormal", "stEnum", "stSet"}, stNormal)
            .Strings("StringValues",
                     [](TMySQLStringField& f) -> TStrings* { return const_cast<TStringList*>(&f.StringValues()); },
                     [](TMySQLStringField& f, const TStrings& v) { f.SetStringValues(v); })
            .Build();
    return info;
}

void RegisterDatasetClasses() {
    static std::once_flag once;
    std::call_once(once, [] {
        // A form of datasets holds their server too.
        RegisterClass<TMySQLServer>();
        RegisterClass<TMySQLDataset>();
        RegisterClass<TMySQLQuery>();
        RegisterClass<TMySQLTable>();
        RegisterClass<TMySQLStringField>();
    });
}

}  // namespace velmysql
