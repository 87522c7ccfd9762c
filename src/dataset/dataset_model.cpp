// TMySQLDatasetBase: construction, properties and their side effects, the server and the
// connection.

#include <cctype>

#include "velmysql/dataset/mysql_dataset.h"
#include "velmysql/dataset/mysql_string_field.h"
#include "velmysql/drivers/mysql_error.h"
#include "velmysql/parser/basic_parser.h"
#include "velmysql/rtl/strings.h"

namespace velmysql {

bool TNameLess::operator()(const std::string& a, const std::string& b) const {
    const size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        const int x = std::tolower(static_cast<unsigned char>(a[i]));
        const int y = std::tolower(static_cast<unsigned char>(b[i]));
        if (x != y) return x < y;
    }
    return a.size() < b.size();
}

TMySQLDatasetBase::TMySQLDatasetBase(TComponent* AOwner)
    : TDataSet(AOwner),
      masterLink_(std::make_unique<TMasterDataLink>(this)),
      macros_(std::make_unique<TParams>(this)),
      customFieldDefs_(std::make_unique<TFieldDefs>(this)),
      indexDefs_(std::make_unique<TIndexDefs>(this)) {
    RegisterDatasetClasses();
    masterLink_->OnMasterChange = [this](TObject*) { MasterChanged(); };
    masterLink_->OnMasterDisable = [this](TObject*) { MasterDisabled(); };
    InitTemplates();
}

TMySQLDatasetBase::~TMySQLDatasetBase() {
    // Closing frees the rows and gives the connection back; the server then forgets us.
    CloseOnDestroy();
    try {
        DeactivateConnection();
    } catch (...) {
    }
    if (server_ != nullptr) {
        server_->UnRegisterClient(this);
        server_ = nullptr;
    }
}

// ---------------------------------------------------------------- server and connection

void TMySQLDatasetBase::SetServer(TMySQLServer* Value) {
    if (Value == server_) return;
    if (IsCursorOpen()) Close();
    if (server_ != nullptr) {
        // A private connection belongs to the old server's driver.
        DeactivateConnection();
        server_->UnRegisterClient(this);
        RemoveFreeNotification(server_);
    }
    server_ = Value;
    if (server_ != nullptr) {
        FreeNotification(server_);
        server_->RegisterClient(this, [this](TObject* Sender, bool Connecting) { ConnectEvent(Sender, Connecting); });
    }
}

void TMySQLDatasetBase::ConnectEvent(TObject*, bool Connecting) {
    // The connection goes away under the dataset: close while it still exists.
    if (!Connecting && Active()) Close();
}

void TMySQLDatasetBase::Notification(TComponent* AComponent, TOperation Operation) {
    TDataSet::Notification(AComponent, Operation);
    if (Operation == opRemove && AComponent == server_ && AComponent->ComponentState().Contains(csDestroying)) {
        // The server is being freed: its driver, and every handle and result of it, go
        // with it, so there is nothing to give back.
        result_ = nullptr;
        handle_ = nullptr;
        server_ = nullptr;
        try {
            Close();
        } catch (...) {
        }
    }
}

void TMySQLDatasetBase::ActivateConnection() {
    if (Active()) return;
    if (server_ == nullptr) MySQLError(nullptr, nullptr, -1, "No dataset server selected for open");
    if (!server_->Connected()) server_->Connect();
    if (!server_->Connected()) MySQLError(server_->GetDriver(), nullptr, -1, "Dataset server could not connect");
    if (ShareConnection()) {
        handle_ = server_->GetDriver()->GetConnection();
    } else if (handle_ == nullptr) {
        handle_ = server_->AllocConnection();
    }
    if (handle_ == nullptr) MySQLError(server_->GetDriver(), nullptr, -1, "No server connection");
    if (!IsCursorOpen()) server_->SelectDatabase(databaseName_, handle_);
}

void TMySQLDatasetBase::DeactivateConnection() {
    if (server_ == nullptr || handle_ == nullptr) return;
    try {
        ClearRest();
    } catch (...) {
        // The connection is given back whatever the rest of the result did.
        server_->FreeConnection(handle_);
        throw;
    }
    server_->FreeConnection(handle_);
}

void TMySQLDatasetBase::Execute(bool) {
    if (options_.Contains(doThreadedUpdate))
        MySQLError(nullptr, nullptr, -1, "Opening on a worker thread is not available in this build");
    Open();
    if (OnThreadOpened) OnThreadOpened(this);
}

// ---------------------------------------------------------------- property setters

void TMySQLDatasetBase::SetDatabaseName(const std::string& Value) {
    if (IsCursorOpen()) Close();
    databaseName_ = Value;
}

void TMySQLDatasetBase::SetTableName(const std::string& Value) {
    if (IsCursorOpen()) Close();
    tableName_ = Value;
}

void TMySQLDatasetBase::SetFieldName(const std::string& Value) {
    if (!SameText(Value, fieldName_)) fieldName_ = Value;
}

void TMySQLDatasetBase::SetOptions(TMySQLDatasetOptions Value) {
    if (IsCursorOpen()) Close();
    if (Value.Contains(doSetToWord)) Value.Include(doRetrieveFieldValues);
    options_ = Value;
}

void TMySQLDatasetBase::SetResultType(TMySQLResultOptions Value) {
    if (IsCursorOpen()) Close();
    resultType_ = Value;
    // A result that streams keeps its connection busy: it cannot be the shared one.
    if (Value != rtLocal) options_.Exclude(doShareConnection);
}

void TMySQLDatasetBase::SetShareConnection(bool Value) {
    if (IsCursorOpen()) Close();
    if (Value) {
        options_.Include(doShareConnection);
        resultType_ = rtLocal;
    } else {
        options_.Exclude(doShareConnection);
    }
}

void TMySQLDatasetBase::SetRawData(bool Value) {
    if (IsCursorOpen()) Close();
    FieldDefs().Clear();
    DestroyFields();
    if (Value)
        options_.Include(doFieldsAsString);
    else
        options_.Exclude(doFieldsAsString);
}

void TMySQLDatasetBase::SetReadOnly(bool Value) {
    if (Value == readOnly_) return;
    readOnly_ = Value;
    DataEvent(deDataSetChange, 0);
}

void TMySQLDatasetBase::SetCachedUpdates(bool Value) {
    if (Value) {
        options_.Include(doCachedUpdates);
    } else {
        // Switching off applies what was collected and reads the rows again; a closed
        // dataset has nothing to refresh.
        if (Active()) InternalRefresh();
        options_.Exclude(doCachedUpdates);
    }
    DataEvent(deDataSetChange, 0);
}

void TMySQLDatasetBase::SetParamCheck(bool Value) {
    if (Value)
        options_.Include(doMacroCheck);
    else
        options_.Exclude(doMacroCheck);
}

void TMySQLDatasetBase::SetUseCursor(bool Value) {
    if (Value)
        options_.Include(doUseCursor);
    else
        options_.Exclude(doUseCursor);
}

}  // namespace velmysql
