// TMySQLServer: the server-level operations (statements, databases, catalogue lists,
// named locks, quoting).

#include <vector>

#include "velmysql/db/dataset.h"
#include "velmysql/parser/script.h"
#include "velmysql/server/mysql_server.h"
#include "velmysql/server/server_sql.h"

namespace velmysql {

namespace {

// Frees a result on every path out of a reading loop.
class ResultGuard {
public:
    ResultGuard(TMySQLBase& driver, MySQLResultHandle* result) : driver_(driver), result_(result) {}
    ~ResultGuard() {
        try {
            driver_.CloseQuery(result_);
        } catch (...) {
        }
    }
    ResultGuard(const ResultGuard&) = delete;
    ResultGuard& operator=(const ResultGuard&) = delete;
    MySQLResultHandle* get() const { return result_; }

private:
    TMySQLBase& driver_;
    MySQLResultHandle* result_;
};

// The first column of the current row; nullptr for NULL.
const char* FirstValue(MySQLRow row, MySQLLengths lengths, unsigned long& length) {
    length = 0;
    if (row == nullptr || row[0] == nullptr) return nullptr;
    length = lengths ? lengths[0] : std::char_traits<char>::length(row[0]);
    return row[0];
}

}  // namespace

bool TMySQLServer::ExecSQL(const std::string& SQL) {
    ActivateConnection();
    if (serverHandle_ == nullptr || !driver_) return false;
    MySQLResultHandle* result = driver_->OpenQuery(serverHandle_, StatementForServer(SQL, driver_->ServerVersion()));
    driver_->CloseQuery(result);
    CloseOnChildrenTest();
    return true;
}

bool TMySQLServer::ExecSQLBatch(const TStrings& Lines) {
    TStringList statements;
    statements.SetText(Lines.Text());
    ParseScript(statements, false);
    if (statements.Count() == 0) return false;
    for (int i = 0; i < statements.Count(); ++i)
        if (!ExecSQL(statements.Line(i))) return false;
    return true;
}

bool TMySQLServer::Ping() {
    if (!GetConnected()) return false;
    return driver_->Ping(serverHandle_);
}

bool TMySQLServer::SelectDatabase(const std::string& Name, MySQLConnectionHandle* Handle) {
    if (Name.empty()) return true;
    if (Handle == serverHandle_) ActivateConnection();
    if (!driver_) return false;
    return driver_->SelectDatabase(Handle != nullptr ? Handle : serverHandle_, Name);
}

// Databases are created and dropped with statements: current servers refuse the old
// create and drop commands (1047) and current client libraries no longer export them.
void TMySQLServer::DatabaseStatement(const std::string& Verb, const std::string& Name,
                                     MySQLConnectionHandle* Handle) {
    ActivateConnection();
    if (!driver_) return;
    MySQLConnectionHandle* handle = Handle != nullptr ? Handle : serverHandle_;
    if (handle == nullptr) return;
    MySQLResultHandle* result = driver_->OpenQuery(handle, Verb + " database " + FormatIdentifier(Name));
    driver_->CloseQuery(result);
    CloseOnChildrenTest();
}

void TMySQLServer::CreateDatabase(const std::string& Name, MySQLConnectionHandle* Handle) {
    DatabaseStatement("create", Name, Handle);
}

void TMySQLServer::DropDatabase(const std::string& Name, MySQLConnectionHandle* Handle) {
    DatabaseStatement("drop", Name, Handle);
}

std::string TMySQLServer::CreateDatabase(bool Execute) {
    const std::string name = databaseName_.empty() ? std::string() : FormatIdentifier(databaseName_);
    std::vector<std::string> tables;
    auto addTable = [&tables](TDataSet* dataset) {
        auto* client = dynamic_cast<TMySQLServerClient*>(dataset);
        if (client != nullptr && client->AutoCreatesTable()) tables.push_back(client->TableCreationScript());
    };
    for (const auto& named : namedDatasets_) addTable(named.dataset.get());
    // The factory's datasets are registered too (their Server is this server): their
    // table is in the script once, from the named list.
    auto isNamed = [this](TDataSet* dataset) {
        for (const auto& named : namedDatasets_)
            if (named.dataset.get() == dataset) return true;
        return false;
    };
    for (int i = 0; i < GetDataSetCount(); ++i)
        if (!isNamed(GetDataSet(i))) addTable(GetDataSet(i));
    std::string script = DatabaseScript(name, options_.Contains(soDropIfExists), tables);
    if (Execute) {
        TStringList lines;
        lines.SetText(script);
        ExecSQLBatch(lines);
    }
    return script;
}

std::string TMySQLServer::ConnectionDatabase(MySQLConnectionHandle* Handle) {
    MySQLConnectionHandle* handle = Handle != nullptr ? Handle : serverHandle_;
    if (handle == nullptr || !driver_) return {};
    ResultGuard result(*driver_, driver_->OpenQuery(handle, kConnectionDatabaseStatement));
    std::string database;
    // Every row is read so that the connection is free again afterwards.
    while (MySQLRow row = driver_->RetrieveRow(result.get())) {
        unsigned long length = 0;
        const char* value = FirstValue(row, driver_->RetrieveRowFieldLenghts(result.get()), length);
        if (database.empty() && value != nullptr && length > 0) database.assign(value, length);
    }
    return database;
}

void TMySQLServer::FillList(const std::string& Statement, TStrings& List, MySQLConnectionHandle* Handle) {
    bool filled = false;
    List.BeginUpdate();
    try {
        List.Clear();
        // The result is freed when this block ends, before the close-on-children test.
        ResultGuard result(*driver_, driver_->OpenQuery(Handle != nullptr ? Handle : serverHandle_, Statement));
        if (result.get() != nullptr) {
            filled = true;
            while (MySQLRow row = driver_->RetrieveRow(result.get())) {
                unsigned long length = 0;
                const char* value = FirstValue(row, driver_->RetrieveRowFieldLenghts(result.get()), length);
                List.Add(CatalogueName(value ? std::string(value, length) : std::string()));
            }
        }
    } catch (...) {
        List.EndUpdate();
        throw;
    }
    List.EndUpdate();
    // A statement without a result leaves the list empty and the connection as it is.
    if (filled) CloseOnChildrenTest();
}

void TMySQLServer::GetDatabaseNames(TStrings& List) {
    ActivateConnection();
    if (!GetConnected()) return;
    FillList("show databases", List, nullptr);
}

void TMySQLServer::GetTableNames(const std::string& Database, TStrings& List, MySQLConnectionHandle* Handle) {
    ActivateConnection();
    if (!GetConnected()) return;
    FillList(ShowTablesStatement(Database.empty() ? std::string() : FormatIdentifier(Database)), List, Handle);
}

void TMySQLServer::GetFieldNames(const std::string& Database, const std::string& Table, TStrings& List) {
    ActivateConnection();
    if (!GetConnected()) return;
    if (Database.empty() || Table.empty()) {
        List.BeginUpdate();
        List.Clear();
        List.EndUpdate();
        return;
    }
    FillList(ShowColumnsStatement(FormatIdentifier(Database), FormatIdentifier(Table)), List, nullptr);
}

int TMySQLServer::LockQuery(const std::string& Name, std::optional<int> TimeOut) {
    ActivateConnection();
    if (!GetConnected()) return -1;
    // Escaping goes through the connection, so it comes after connecting.
    const std::string name = EscapeStr(Name);
    const std::string statement = TimeOut ? GetLockStatement(name, *TimeOut) : ReleaseLockStatement(name);
    ResultGuard result(*driver_, driver_->OpenQuery(serverHandle_, statement));
    if (result.get() == nullptr) return -1;
    int answer = -1;
    while (MySQLRow row = driver_->RetrieveRow(result.get())) {
        unsigned long length = 0;
        const char* value = FirstValue(row, driver_->RetrieveRowFieldLenghts(result.get()), length);
        answer = LockAnswer(value, length);
    }
    return answer;
}

int TMySQLServer::GetLock(const std::string& Name, int TimeOut) { return LockQuery(Name, TimeOut); }

int TMySQLServer::ReleaseLock(const std::string& Name) { return LockQuery(Name, std::nullopt); }

std::string TMySQLServer::EscapeStr(std::string_view Text) {
    return driver_ ? driver_->EscapeStr(Text) : std::string(Text);
}

std::string TMySQLServer::FormatIdentifier(std::string_view Name) {
    return driver_ ? driver_->FormatIdentifier(Name) : std::string(Name);
}

}  // namespace velmysql
