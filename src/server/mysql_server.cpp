// TMySQLServer: properties, connecting and disconnecting, connection sharing.

#include "velmysql/server/mysql_server.h"

#include <charconv>
#include <utility>

#include "server/driver_factory.h"
#include "velmysql/drivers/connect_options.h"
#include "velmysql/db/dataset.h"
#include "velmysql/drivers/mysql_library.h"
#include "velmysql/rtl/dialogs.h"
#include "velmysql/rtl/strings.h"
#include "velmysql/server/login_dialog.h"
#include "velmysql/textutil/inistrings.h"

namespace velmysql {

namespace {

constexpr const char* kBasedirWarning =
    "You have not specified a \"basedir\" in either the TMySQLServer's [embedded] Options, nor in the driver's "
    "Options! Click Yes if you wish to proceed to enable this server, and you are sure you have an [embedded] or "
    "[server] group in your my.cnf file. Click Abort if you want to abort this connecting request.  If you don't "
    "specify a basedir to a valid mysql database for the embedded server, your application my become unstable, "
    "in this case your application will be your IDE. See the component helpfile on Embeddeding mysql server for "
    "more information.";

// Reads a port text; false when it is not a whole number a port can hold.
bool ParsePort(const std::string& text, std::uint16_t& port) {
    unsigned value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || text.empty() || value > 65535) return false;
    port = static_cast<std::uint16_t>(value);
    return true;
}

}  // namespace

TMySQLServer::TMySQLServer(TComponent* AOwner) : TCustomConnection(AOwner) { driver_ = MakeDriver(dtDirect); }

TMySQLServer::~TMySQLServer() {
    Destroying();
    try {
        SetConnected(false);
    } catch (...) {
        // The rest of the teardown runs whatever the disconnect reported.
    }
    try {
        DisconnectClients();
    } catch (...) {
    }
    // DisconnectClients raised half-way: free what is left without asking anyone.
    while (!namedDatasets_.empty()) {
        NamedEntry entry = std::move(namedDatasets_.back());
        namedDatasets_.pop_back();
        entry.linkSource.reset();
        UnRegisterClient(entry.dataset.get());
    }
    driver_.reset();
}

std::unique_ptr<TMySQLBase> TMySQLServer::MakeDriver(TMySQLDriverType kind) const {
    return CreateMySQLDriver(kind, SectionText(kind));
}

std::string TMySQLServer::SectionText(TMySQLDriverType kind) const {
    return ReadIniSection(params_.Text(), DriverSection(kind), "");
}

void TMySQLServer::ReloadDriverOptions() {
    if (!driver_) return;
    TStringList lines;
    lines.SetText(SectionText(driverKind_));
    driver_->SetOptions(lines);
}

void TMySQLServer::WriteProtocolKey() {
    params_.SetText(WriteIniString(params_.Text(), DriverSection(driverKind_), "protocol", ProtocolText(protocol_)));
}

void TMySQLServer::Assign(const TPersistent* Source) {
    const auto* source = dynamic_cast<const TMySQLServer*>(Source);
    if (source == nullptr) {
        TCustomConnection::Assign(Source);
        return;
    }
    SetConnected(false);
    SetLoginPrompt(source->LoginPrompt());
    SetOptions(source->options_);
    params_.SetText(source->params_.Text());
    SetDriverKind(source->driverKind_);
    if (driverKind_ == dtEmbedded || driverKind_ == dtLibrary) {
        auto* mine = dynamic_cast<TMySQLLibrary*>(driver_.get());
        const auto* theirs = dynamic_cast<const TMySQLLibrary*>(source->driver_.get());
        if (mine != nullptr && theirs != nullptr) mine->SetClientDLL(theirs->GetClientDLL());
    }
    SetHost(source->host_);
    SetPort(source->port_);
    SetUserName(source->userName_);
    SetPassword(source->password_);
    SetDatabaseName(source->databaseName_);
}

// --- read-only information

std::string TMySQLServer::GetClientVersion() { return driver_ ? driver_->ClientInfo() : std::string(); }
std::string TMySQLServer::GetServerVersion() { return driver_ ? driver_->ServerInfo(serverHandle_) : "-1"; }
int TMySQLServer::GetClientVer() { return driver_ ? driver_->ClientVersion() : 0; }
int TMySQLServer::GetServerVer() { return driver_ ? driver_->ServerVersion() : 0; }

// --- property changes

void TMySQLServer::DisconnectForSwitch() {
    if (GetConnected()) {
        SetConnected(false);
    } else {
        SendConnectEvent(false);
        DoDisconnect();
    }
}

void TMySQLServer::SetDriverKind(TMySQLDriverType Value) {
    if (Value == driverKind_) {
        if (driver_ && Value == dtDirect) ReloadDriverOptions();
        return;
    }
    DisconnectForSwitch();
    driver_.reset();
    driver_ = MakeDriver(Value);
    driverKind_ = Value;
    // The new driver keeps the text it was created with; the line reaches it at the next
    // reload.
    WriteProtocolKey();
}

void TMySQLServer::SetProtocol(TMySQLProtocolType Value) {
    if (Value == protocol_) return;
    DisconnectForSwitch();
    protocol_ = Value;
    WriteProtocolKey();
    ReloadDriverOptions();
}

void TMySQLServer::SetDriver(std::unique_ptr<TMySQLBase> Value) {
    if (Value.get() == driver_.get()) {
        // Already ours: a second owner must not come into being.
        (void)Value.release();
        return;
    }
    SetConnected(false);
    driver_ = std::move(Value);
}

void TMySQLServer::SetDatabaseName(const std::string& Value) {
    if (Value != databaseName_) databaseName_ = Value;
    if (ComponentState().Contains(csLoading) || ComponentState().Contains(csReading)) return;
    if (GetConnected()) SelectDatabase(databaseName_, serverHandle_);
}

void TMySQLServer::SetHost(const std::string& Value) {
    if (Value == host_) return;
    SetConnected(false);
    host_ = Value;
}

void TMySQLServer::SetPort(std::uint16_t Value) {
    if (Value == port_) return;
    SetConnected(false);
    port_ = Value;
}

void TMySQLServer::SetUserName(const std::string& Value) {
    if (Value == userName_) return;
    SetConnected(false);
    userName_ = Value;
}

void TMySQLServer::SetPassword(const std::string& Value) {
    if (Value == password_) return;
    SetConnected(false);
    password_ = Value;
}

void TMySQLServer::SetParams(const TStrings& Value) {
    if (Value.Text() == params_.Text()) return;
    SetConnected(false);
    params_.Assign(Value);
    ReloadDriverOptions();
}

void TMySQLServer::SetParamsText(const std::string& Text) {
    TStringList lines;
    lines.SetText(Text);
    SetParams(lines);
}

void TMySQLServer::SetCompression(bool Value) {
    if (Value == options_.Contains(coCompress)) return;
    SetConnected(false);
    if (Value)
        options_.Include(coCompress);
    else
        options_.Exclude(coCompress);
}

void TMySQLServer::SetOptions(TMySQLServerOptions Value) {
    if (Value == options_) return;
    SetConnected(false);
    options_ = Value;
}

// --- connecting

bool TMySQLServer::GetConnected() { return driver_ != nullptr && serverHandle_ != nullptr; }

void TMySQLServer::ActivateConnection() {
    if (serverHandle_ == nullptr) SetConnected(true);
}

void TMySQLServer::SetConnected(bool Value) {
    const bool reading = ComponentState().Contains(csReading) || ComponentState().Contains(csLoading);
    if (Value && !reading && !GetConnected() && ComponentState().Contains(csDesigning) && driverKind_ == dtEmbedded &&
        driver_ && !FindOptionValue(driver_->OptionLines(), "basedir")) {
        if (!WarningYesAbort(kBasedirWarning)) return;
    }
    if (Value || reading || !GetConnected()) {
        TCustomConnection::SetConnected(Value);
        return;
    }
    // Telling the clients closes datasets, which give their connections back; that must
    // not start a second disconnect (close-on-children) inside this one.
    const bool wasDisconnecting = std::exchange(disconnecting_, true);
    try {
        TCustomConnection::SetConnected(false);
    } catch (...) {
        disconnecting_ = wasDisconnecting;
        throw;
    }
    disconnecting_ = wasDisconnecting;
}

void TMySQLServer::DoConnect() {
    if (serverHandle_ != nullptr) DoDisconnect();
    if (OnLogin) OnLogin(this, &params_);

    const std::string params = params_.Text();
    host_ = ReadIniString(params, "client", "host", host_);
    userName_ = ReadIniString(params, "client", "user", userName_);
    password_ = ReadIniString(params, "client", "password", password_);
    std::string portText = ReadIniString(params, "client", "port", std::to_string(port_));

    if (LoginPrompt() && !MySQLLoginDialog(host_, portText, userName_, password_)) return;
    std::uint16_t port = port_;
    if (ParsePort(portText, port)) port_ = port;

    // The database may not exist yet: connect without it and create it below.
    const bool autoCreate = options_.Contains(soAutoCreate);
    std::string remembered;
    if (autoCreate) remembered = std::exchange(databaseName_, std::string());
    try {
        serverHandle_ = AllocConnection();
    } catch (...) {
        // A failed connect must not lose the name the application set.
        if (autoCreate) databaseName_ = remembered;
        throw;
    }
    // The name goes back at once (nothing below connects again); the database script
    // creates it before it is selected.
    if (autoCreate) databaseName_ = remembered;

    // The operations run below must not close the connection that is being made.
    connecting_ = true;
    try {
        const int serverVersion = driver_->ServerVersion();
        if (serverVersion < 32100) {
            DoDisconnect();
            MySQLError(driver_.get(), nullptr, -1,
                       "Only compatible with MySQL Server 3.21.xx and higher. Your version: " +
                           std::to_string(serverVersion),
                       -1, -1);
        }
        if (autoCreate) CreateDatabase(true);
        if (!options_.Contains(coConnectWithDB) && !databaseName_.empty()) SetDatabaseName(databaseName_);
    } catch (...) {
        connecting_ = false;
        if (driver_ && serverHandle_ != nullptr) driver_->Close(serverHandle_);
        serverHandle_ = nullptr;
        throw;
    }
    connecting_ = false;
}

void TMySQLServer::DoDisconnect() {
    if (driver_ && serverHandle_ != nullptr) driver_->Close(serverHandle_);
    // A driver that was unloaded behind the server's back has forgotten the handle.
    serverHandle_ = nullptr;
}

void TMySQLServer::HandleDesignException() {
    // Called inside the handler of the connect error that Loaded caught.
    try {
        throw;
    } catch (const std::exception& e) {
        ShowErrorBox(e.what());
    } catch (...) {
    }
}

void TMySQLServer::Notification(TComponent* AComponent, TOperation Operation) {
    TCustomConnection::Notification(AComponent, Operation);
    // A client freed without unregistering must not stay in the lists.
    if (Operation == opRemove && AComponent->ComponentState().Contains(csDestroying)) UnRegisterClient(AComponent);
}

// --- connection sharing

MySQLConnectionHandle* TMySQLServer::AllocConnection() {
    if (!driver_) MySQLError(nullptr, nullptr, -1, "No MySQL driver for this driver kind", -1, -1);
    return driver_->Open(host_, userName_, password_, port_, ClientFlags(options_), databaseName_);
}

void TMySQLServer::FreeConnection(MySQLConnectionHandle*& Handle) {
    if (driver_ && serverHandle_ != nullptr && Handle != serverHandle_)
        driver_->Close(Handle);
    Handle = nullptr;
    CloseOnChildrenTest();
}

void TMySQLServer::CloseOnChildrenTest() {
    if (connecting_ || disconnecting_ || !options_.Contains(soCloseOnChildren) || serverHandle_ == nullptr) return;
    if (CheckChildrenAllClosed()) SetConnected(false);
}

bool TMySQLServer::CheckChildrenAllClosed() {
    for (const auto& named : namedDatasets_)
        if (named.dataset->Active()) return false;
    for (int i = 0; i < GetDataSetCount(); ++i)
        if (GetDataSet(i)->Active()) return false;
    return true;
}

void TMySQLServer::CloseClients() {
    for (const auto& named : namedDatasets_) named.dataset->Close();
    for (int i = 0; i < GetDataSetCount(); ++i) GetDataSet(i)->Close();
}

void TMySQLServer::DisconnectClients() {
    while (!namedDatasets_.empty()) FreeNamedDataset(0);
    // Detaching unregisters, which shrinks the list under the loop: always take the last.
    while (GetDataSetCount() > 0) {
        TDataSet* dataset = GetDataSet(GetDataSetCount() - 1);
        if (auto* client = dynamic_cast<TMySQLServerClient*>(dataset)) client->DetachFromServer();
        UnRegisterClient(dataset);
    }
}

void TMySQLServer::RegisterClient(TObject* Client, TConnectChangeEvent Event) {
    TCustomConnection::RegisterClient(Client, std::move(Event));
    // The link stays after unregistering: a client the server dropped still hears when
    // the server goes, so it never keeps a pointer to a freed server.
    if (auto* component = dynamic_cast<TComponent*>(Client); component != nullptr && component != this)
        FreeNotification(component);
}

void TMySQLServer::UnRegisterClient(TObject* Client) { TCustomConnection::UnRegisterClient(Client); }

// --- named datasets

int TMySQLServer::FindDataset(const std::string& Name) const {
    for (size_t i = 0; i < namedDatasets_.size(); ++i)
        if (SameText(namedDatasets_[i].name, Name)) return static_cast<int>(i);
    return -1;
}

void TMySQLServer::AdoptNamedDataset(const std::string& Name, std::unique_ptr<TDataSet> Dataset) {
    namedDatasets_.push_back({Name, std::move(Dataset), nullptr});
}

void TMySQLServer::SetLinkSource(int Index, std::unique_ptr<TDataSource> Source) {
    namedDatasets_.at(static_cast<size_t>(Index)).linkSource = std::move(Source);
}

void TMySQLServer::FreeNamedDataset(int Index) {
    NamedEntry& named = namedDatasets_.at(static_cast<size_t>(Index));
    TDataSet* dataset = named.dataset.get();
    // The entry leaves the list only once the dataset is closed: a close that raises
    // leaves everything as it was.
    dataset->Close();
    NamedEntry entry = std::move(named);
    namedDatasets_.erase(namedDatasets_.begin() + Index);
    // Freeing the link's data source detaches the dataset from its master.
    entry.linkSource.reset();
    if (auto* client = dynamic_cast<TMySQLServerClient*>(dataset)) client->DetachFromServer();
    UnRegisterClient(dataset);
}

}  // namespace velmysql
