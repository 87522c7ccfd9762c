// TMySQLDatasetBase: following a master dataset, the filter, and the select list. Both
// the master values and the filter become one condition that the server evaluates: the
// expansion of the select statement puts it in, and the dataset runs its statements again
// whenever the master moves or the filter changes.

#include "velmysql/dataset/mysql_dataset.h"
#include "velmysql/drivers/mysql_error.h"

namespace velmysql {

// ---------------------------------------------------------------- the master link

TDataSource* TMySQLDatasetBase::GetDataSource() { return masterLink_->DataSource(); }

void TMySQLDatasetBase::SetMasterSource(TDataSource* Value) {
    if (Value != nullptr && IsLinkedTo(Value)) MySQLError(nullptr, nullptr, -1, "Circular Reference");
    masterLink_->SetDataSource(Value);
}

void TMySQLDatasetBase::SetMasterFields(const std::string& Value) {
    if (Value == masterFields_.CommaText()) return;
    masterFields_.SetCommaText(Value);
    std::string names;
    for (int i = 0; i < masterFields_.Count(); ++i) {
        if (!names.empty()) names += ';';
        names += masterFields_.ValueFromIndex(i);
    }
    masterLink_->SetFieldNames(names);
    if (Active()) Refresh();
}

void TMySQLDatasetBase::MasterChanged() {
    if (!Active() || masterLink_->Editing()) return;
    DisableControls();
    try {
        Refresh();
    } catch (...) {
        EnableControls();
        throw;
    }
    EnableControls();
}

void TMySQLDatasetBase::MasterDisabled() {
    if (Active()) Refresh();
}

TField* TMySQLDatasetBase::MasterValueField(const std::string& Name) const {
    TDataSet* master = masterLink_->DataSet();
    if (master == nullptr || !masterLink_->Active() || !master->Active() || master->IsEmpty()) return nullptr;
    TField* field = master->FindField(Name);
    return field != nullptr && !field->IsNull() ? field : nullptr;
}

// ---------------------------------------------------------------- the condition

std::string TMySQLDatasetBase::GetMasterAndFilter() {
    const std::string filter = Filtered() && !Filter().empty() ? "(" + Filter() + ")" : std::string();
    if (masterLink_->DataSource() == nullptr || masterFields_.Count() == 0) return filter;
    std::string pairs;
    for (int i = 0; i < masterFields_.Count(); ++i) {
        TField* master = MasterValueField(masterFields_.ValueFromIndex(i));
        // Without a master value the comparison with NULL is never true: no detail rows.
        pairs += "(" + FormatIdentifier(masterFields_.Names(i)) + "=" +
                 (master != nullptr ? QEscFieldValue(master, nullptr) : std::string("NULL")) + ") AND ";
    }
    if (filter.empty()) {
        pairs.resize(pairs.size() - 5);
        return pairs;
    }
    return pairs + filter;
}

void TMySQLDatasetBase::SetFiltered(bool Value) {
    if (Value == Filtered()) return;
    TDataSet::SetFiltered(Value);
    if (Active()) Refresh();
}

void TMySQLDatasetBase::SetFilterText(const std::string& Value) {
    if (Value == Filter()) return;
    ParseSQL(Value);
    TDataSet::SetFilterText(Value);
    if (Active() && Filtered()) Refresh();
}

// ---------------------------------------------------------------- the select list

std::string TMySQLDatasetBase::GetSelectFields() {
    if (dynamic_cast<TMySQLTable*>(this) != nullptr || DefaultFields() || Fields().Count() == 0) return "*";
    std::string list;
    for (TField* field : Fields()) {
        if (field->FieldKind() != fkData) continue;
        if (!list.empty()) list += ',';
        list += FormatIdentifier(field->FieldName());
    }
    return list.empty() ? "*" : list;
}

}  // namespace velmysql
