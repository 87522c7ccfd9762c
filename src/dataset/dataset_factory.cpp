// TMySQLServer's dataset factory (declared with the server, defined here in the dataset
// area because it creates TMySQLDataset objects): named datasets the server owns, and
// the master/detail links between them through data sources the server owns.

#include <memory>
#include <string>

#include "velmysql/dataset/mysql_dataset.h"
#include "velmysql/drivers/mysql_error.h"
#include "velmysql/rtl/strings.h"
#include "velmysql/server/mysql_server.h"

namespace velmysql {

namespace {

// The text of a statement's lines, as SQL holds them once set from it.
std::string LinesText(const std::string& Text) {
    TStringList lines;
    lines.SetText(Text);
    return lines.Text();
}

// MasterFields as a dataset holds them once set from Text.
std::string PairsText(const std::string& Text) {
    TStringList pairs;
    pairs.SetCommaText(Text);
    return pairs.CommaText();
}

}  // namespace

TMySQLDataset* TMySQLServer::NewDataset(const std::string& Name, const std::string& TableName) {
    auto dataset = std::make_unique<TMySQLDataset>(nullptr);
    dataset->SetServer(this);
    dataset->SetOptions(dataset->Options() - TMySQLDatasetOptions{doRetrieveFieldValues, doRetrieveIndexDefs});
    if (!TableName.empty()) dataset->SetTableName(TableName);
    TMySQLDataset* result = dataset.get();
    AdoptNamedDataset(Name, std::move(dataset));
    return result;
}

TMySQLDataset* TMySQLServer::Dataset(const std::string& Name, const std::string& TableName, bool Open,
                                     const std::string& MasterName, const std::string& MasterFields) {
    const int index = FindDataset(Name);
    TMySQLDataset* dataset = nullptr;
    if (index < 0) {
        dataset = NewDataset(Name, TableName);
    } else {
        dataset = dynamic_cast<TMySQLDataset*>(NamedDataset(index));
        if (dataset == nullptr)
            MySQLError(GetDriver(), ServerHandle(), 1, "Dataset \"" + Name + "\" is not a TMySQLDataset.");
    }
    if (!MasterName.empty()) Link(Name, MasterName, MasterFields);
    if (Open) dataset->Open();
    return dataset;
}

TMySQLDataset* TMySQLServer::DatasetFrom(const std::string& Statement, const std::string& Name, bool Open,
                                         const std::string& MasterName, const std::string& MasterFields) {
    // The named dataset without its linking and opening, which follow the new SQL.
    TMySQLDataset* dataset = Dataset(Name, std::string());
    if (!SameText(dataset->SQL().Text(), LinesText(Statement))) dataset->SQL().SetText(Statement);
    if (!MasterName.empty()) Link(Name, MasterName, MasterFields);
    if (Open) dataset->Open();
    return dataset;
}

void TMySQLServer::FreeDataset(const std::string& Name) {
    const int index = FindDataset(Name);
    if (index < 0) return;
    // Closes, frees the link's data source (which unlinks), detaches and frees.
    FreeNamedDataset(index);
}

void TMySQLServer::Link(const std::string& Detail, const std::string& Master, const std::string& MasterFields) {
    const int master = FindDataset(Master);
    if (master < 0) MySQLError(GetDriver(), ServerHandle(), 1, "Master dataset \"" + Master + "\" not found.");
    const int detail = FindDataset(Detail);
    if (detail < 0) MySQLError(GetDriver(), ServerHandle(), 1, "Detail dataset \"" + Detail + "\" not found.");
    auto* follower = dynamic_cast<TMySQLDatasetBase*>(NamedDataset(detail));
    if (follower == nullptr)
        MySQLError(GetDriver(), ServerHandle(), 1, "Detail dataset \"" + Detail + "\" cannot follow a master.");
    TDataSet* leader = NamedDataset(master);
    if (TDataSource* current = follower->GetDataSource();
        current != nullptr && current->DataSet() == leader && SameText(follower->MasterFields(), PairsText(MasterFields)))
        return;
    UnLink(Detail);
    auto source = std::make_unique<TDataSource>(nullptr);
    source->SetDataSet(leader);
    follower->SetMasterFields(MasterFields);
    try {
        // Refused for a master that leads back to the detail: the detail stays unlinked,
        // and the data source goes.
        follower->SetMasterSource(source.get());
    } catch (...) {
        try {
            follower->SetMasterFields(std::string());
        } catch (...) {
        }
        throw;
    }
    SetLinkSource(detail, std::move(source));
}

void TMySQLServer::UnLink(const std::string& Detail) {
    const int detail = FindDataset(Detail);
    if (detail < 0) MySQLError(GetDriver(), ServerHandle(), 1, "Detail dataset \"" + Detail + "\" not found.");
    // Freeing the server's data source detaches it from the master and from the detail.
    SetLinkSource(detail, nullptr);
    if (auto* follower = dynamic_cast<TMySQLDatasetBase*>(NamedDataset(detail))) {
        follower->SetMasterSource(nullptr);
        follower->SetMasterFields(std::string());
    }
}

}  // namespace velmysql
