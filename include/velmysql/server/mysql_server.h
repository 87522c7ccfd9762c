#pragma once
// TMySQLServer: the connection component. It keeps the connection settings, owns the
// driver its DriverKind selects, opens and closes its own connection through that driver
// and hands connections to datasets: its own one, shared, or private ones opened with the
// same settings. Beside connecting it runs server-level operations: statements and
// scripts without a dataset, catalogue lists, databases, named locks, quoting.
//
// The server's own connection (the server handle) is always the driver's own connection:
// the first handle the driver opens. Closing it unloads the driver, so every private
// connection is given back first; disconnecting tells the registered datasets before the
// server handle closes.
//
// Layering. The dataset classes live in the area above this one, so the server knows a
// dataset only as the framework's TDataSet plus the TMySQLServerClient interface below.
// The operations that must create TMySQLDataset objects (the dataset factory: NewDataset,
// Dataset, DatasetFrom, FreeDataset, Link, UnLink) are members of this class declared
// here but defined in the dataset area's own source, which includes this header; no
// source of the server area includes a dataset header. What they keep lives here: the
// named datasets, owned by the server, each with the data source Link made for it.
//
// Clients. A registered client that is a component is linked with the server by free
// notification: when the client goes away, the server forgets it; when the server goes
// away, the client hears opRemove for it and must forget the server. Datasets that
// implement TMySQLServerClient are detached explicitly (DetachFromServer).

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "velmysql/db/custom_connection.h"
#include "velmysql/db/data_source.h"
#include "velmysql/drivers/mysql_base.h"
#include "velmysql/rtl/strings.h"
#include "velmysql/server/server_types.h"

namespace velmysql {

class TDataSet;
class TMySQLDataset;
class TMySQLServer;

// Called before every connect with the server and its Params list, which the handler may
// change (for example the "client" section's user and password).
using TMySQLServerLoginEvent = std::function<void(TMySQLServer* Server, TStrings* LoginParams)>;

// What the server needs from a dataset beyond the framework's TDataSet: the dataset side
// implements it. A dataset that does not leaves no table in the database script and is
// not detached by DisconnectClients.
class TMySQLServerClient {
public:
    virtual ~TMySQLServerClient() = default;
    // True when the dataset's options ask for its table in the database script.
    virtual bool AutoCreatesTable() const = 0;
    // The dataset's table-creation script, without running it.
    virtual std::string TableCreationScript() = 0;
    // Sets the dataset's Server to none (which unregisters it).
    virtual void DetachFromServer() = 0;
};

class TMySQLServer : public TCustomConnection {
public:
    explicit TMySQLServer(TComponent* AOwner);
    ~TMySQLServer() override;

    // The persisted properties, in the order a form stores them; building it also
    // describes the driver classes that DriverProperties holds. RegisterClass<TMySQLServer>()
    // lets a form reader create servers.
    static const TClassInfo& ClassInfo();

    void Assign(const TPersistent* Source) override;

    // --- read-only information
    std::string GetClientVersion();
    std::string GetServerVersion();
    int GetClientVer();
    int GetServerVer();
    std::string ClientVersion() { return GetClientVersion(); }
    std::string ServerVersion() { return GetServerVersion(); }
    int ClientVer() { return GetClientVer(); }
    int ServerVer() { return GetServerVer(); }

    // --- persisted properties
    TMySQLDriverType DriverKind() const { return driverKind_; }
    void SetDriverKind(TMySQLDriverType Value);
    TMySQLProtocolType Protocol() const { return protocol_; }
    void SetProtocol(TMySQLProtocolType Value);
    // The owned driver (DriverProperties); null only when a driver kind could not be
    // created. SetDriver takes ownership of a different driver and disconnects first.
    TMySQLBase* GetDriver() const { return driver_.get(); }
    TMySQLBase* DriverProperties() const { return GetDriver(); }
    void SetDriver(std::unique_ptr<TMySQLBase> Value);
    const std::string& DatabaseName() const { return databaseName_; }
    void SetDatabaseName(const std::string& Value);
    const std::string& Host() const { return host_; }
    void SetHost(const std::string& Value);
    std::uint16_t Port() const { return port_; }
    void SetPort(std::uint16_t Value);
    const std::string& UserName() const { return userName_; }
    void SetUserName(const std::string& Value);
    const std::string& Password() const { return password_; }
    void SetPassword(const std::string& Value);
    const TStringList& Params() const { return params_; }
    void SetParams(const TStrings& Value);
    // SetParams with the lines of a text.
    void SetParamsText(const std::string& Text);
    bool Compression() const { return options_.Contains(coCompress); }
    void SetCompression(bool Value);
    TMySQLServerOptions Options() const { return options_; }
    void SetOptions(TMySQLServerOptions Value);

    TMySQLServerLoginEvent OnLogin;

    // --- connecting and connection sharing
    void Connect() { SetConnected(true); }
    void Disconnect() { SetConnected(false); }
    // Connects when there is no server handle.
    void ActivateConnection();
    bool GetConnected() override;
    void SetConnected(bool Value) override;
    // The server's own connection; null while disconnected.
    MySQLConnectionHandle* ServerHandle() const { return serverHandle_; }
    // A new connection with the current settings; the caller owns it and gives it back
    // with FreeConnection. Raises EMySQLError when the connection fails.
    MySQLConnectionHandle* AllocConnection();
    // Closes a private connection, forgets the shared one; always leaves Handle null.
    // With soCloseOnChildren the server disconnects when no dataset is active any more.
    void FreeConnection(MySQLConnectionHandle*& Handle);
    bool CheckChildrenAllClosed();
    void CloseClients();
    void DisconnectClients();
    void RegisterClient(TObject* Client, TConnectChangeEvent Event = nullptr) override;
    void UnRegisterClient(TObject* Client) override;

    // --- statements
    // Runs one statement on the server handle, discarding any rows. False when the server
    // cannot be connected; a server error raises EMySQLError.
    bool ExecSQL(const std::string& SQL);
    // Splits the lines into statements (comments dropped) and runs them in order; false
    // when there is none or one answers false.
    bool ExecSQLBatch(const TStrings& Lines);
    bool Ping();

    // --- databases; a null Handle means the server handle
    bool SelectDatabase(const std::string& Name, MySQLConnectionHandle* Handle = nullptr);
    void CreateDatabase(const std::string& Name, MySQLConnectionHandle* Handle = nullptr);
    void CreateDatabase(const char* Name, MySQLConnectionHandle* Handle = nullptr) {
        CreateDatabase(std::string(Name), Handle);
    }
    void DropDatabase(const std::string& Name, MySQLConnectionHandle* Handle = nullptr);
    // The database script of DatabaseName (create, use, the tables of the datasets that ask
    // for them); runs it through ExecSQLBatch when Execute is set.
    std::string CreateDatabase(bool Execute);
    // The database selected on Handle (or the server handle); empty without a connection.
    std::string ConnectionDatabase(MySQLConnectionHandle* Handle = nullptr);

    // --- catalogue lists
    void GetDatabaseNames(TStrings& List);
    void GetTableNames(const std::string& Database, TStrings& List, MySQLConnectionHandle* Handle = nullptr);
    void GetFieldNames(const std::string& Database, const std::string& Table, TStrings& List);

    // --- named locks: the server's answer, -1 without a connection, a result or a number.
    // The lock name is a value: it is escaped through the driver before it goes between
    // the statement's quotes, so any name (quotes included) names that lock.
    int GetLock(const std::string& Name, int TimeOut);
    int ReleaseLock(const std::string& Name);

    // --- quoting through the driver; the argument unchanged without a driver
    std::string EscapeStr(std::string_view Text);
    std::string FormatIdentifier(std::string_view Name);

    // --- the dataset factory (defined in the dataset area: dataset_factory.cpp)
    // A new TMySQLDataset without owner, taken into the named list under Name (a second
    // one of the same name is added too), its Server this server, without
    // doRetrieveFieldValues and doRetrieveIndexDefs, its TableName set when TableName is
    // not empty.
    TMySQLDataset* NewDataset(const std::string& Name, const std::string& TableName);
    // The named dataset, or a new one (an existing one keeps its table name); linked to
    // the named dataset MasterName by MasterFields when MasterName is not empty; opened
    // when Open is set. A name held by a dataset of another class raises EMySQLError.
    TMySQLDataset* Dataset(const std::string& Name, const std::string& TableName, bool Open = false,
                           const std::string& MasterName = std::string(),
                           const std::string& MasterFields = std::string());
    // As Dataset, the new one without a table name; its SQL becomes Statement unless the
    // text of its lines already equals it, letter case ignored (so an open dataset asked
    // for the same statement is left as it is).
    TMySQLDataset* DatasetFrom(const std::string& Statement, const std::string& Name, bool Open = false,
                               const std::string& MasterName = std::string(),
                               const std::string& MasterFields = std::string());
    // Closes, unlinks, detaches and frees the named dataset; nothing when the name is absent.
    void FreeDataset(const std::string& Name);
    // Makes the named dataset Detail follow the named dataset Master: a data source of the
    // server's on Master becomes Detail's MasterSource and MasterFields (pairs
    // detail=master, comma text) its MasterFields. Nothing changes when Detail already
    // follows Master with those fields (letter case ignored). A name not in the list
    // raises EMySQLError 'Master dataset "NAME" not found.' or 'Detail dataset "NAME" not
    // found.' (composed with the server handle's last error); a master that leads back to
    // Detail raises "Circular Reference" and leaves Detail unlinked.
    void Link(const std::string& Detail, const std::string& Master, const std::string& MasterFields);
    // Frees the data source Link made for Detail and leaves Detail without MasterSource
    // and MasterFields. (A data source the application set is only let go, not freed.)
    void UnLink(const std::string& Detail);

    // --- datasets the server owns by name (filled by the dataset factory)
    // Index of the first entry with that name, letter case ignored; -1 when absent.
    int FindDataset(const std::string& Name) const;
    int NamedDatasetCount() const { return static_cast<int>(namedDatasets_.size()); }
    TDataSet* NamedDataset(int Index) const { return namedDatasets_.at(static_cast<size_t>(Index)).dataset.get(); }
    // Takes a dataset into the named list (a second one of the same name is added too;
    // lookups find the first). The server frees it in FreeNamedDataset, DisconnectClients
    // or when it goes. The dataset factory builds on this.
    void AdoptNamedDataset(const std::string& Name, std::unique_ptr<TDataSet> Dataset);
    // Closes the named dataset at Index, frees the data source Link made for it,
    // detaches it from the server, frees it and removes its entry.
    void FreeNamedDataset(int Index);
    // The data source the server made to link the named dataset at Index to its master
    // (null when none). SetLinkSource hands the server such a data source, freeing the
    // previous one; a data source the application made is never given to the server and
    // so never freed by it.
    TDataSource* LinkSource(int Index) const { return namedDatasets_.at(static_cast<size_t>(Index)).linkSource.get(); }
    void SetLinkSource(int Index, std::unique_ptr<TDataSource> Source);

protected:
    void DoConnect() override;
    void DoDisconnect() override;
    void Notification(TComponent* AComponent, TOperation Operation) override;
    void HandleDesignException() override;

private:
    std::unique_ptr<TMySQLBase> MakeDriver(TMySQLDriverType kind) const;
    // The lines of Params' section for a driver kind, as a driver's option text.
    std::string SectionText(TMySQLDriverType kind) const;
    void ReloadDriverOptions();
    void WriteProtocolKey();
    // Disconnects through the framework's sequence when connected; otherwise tells the
    // clients and runs DoDisconnect, as a driver change needs.
    void DisconnectForSwitch();
    void CloseOnChildrenTest();
    // Reads the first column of every row of a statement into List.
    void FillList(const std::string& Statement, TStrings& List, MySQLConnectionHandle* Handle);
    // "create database NAME" or "drop database NAME" (the name formatted by the driver).
    void DatabaseStatement(const std::string& Verb, const std::string& Name, MySQLConnectionHandle* Handle);

    TMySQLDriverType driverKind_ = dtDirect;
    TMySQLProtocolType protocol_ = ptTCP;
    std::unique_ptr<TMySQLBase> driver_;
    MySQLConnectionHandle* serverHandle_ = nullptr;
    TMySQLServerOptions options_ = kDefaultServerOptions;
    std::string host_ = "localhost";
    std::string userName_ = "root";
    std::string password_;
    std::uint16_t port_ = 3306;
    TStringList params_;
    std::string databaseName_;
    int LockQuery(const std::string& Name, std::optional<int> TimeOut);

    bool connecting_ = false;     // inside DoConnect: no close-on-children test
    bool disconnecting_ = false;  // inside the disconnect sequence: no close-on-children test
    struct NamedEntry {
        std::string name;
        std::unique_ptr<TDataSet> dataset;
        std::unique_ptr<TDataSource> linkSource;  // made by Link; freed before the dataset
    };
    std::vector<NamedEntry> namedDatasets_;
};

}  // namespace velmysql
