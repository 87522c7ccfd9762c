#include "velmysql/drivers/mysql_base.h"

#include <dlfcn.h>

#include "velmysql/drivers/connect_options.h"
#include "velmysql/drivers/identifiers.h"
#include "velmysql/drivers/version_number.h"
#include "drivers/text_helpers.h"
#include "velmysql/wire/mysql_tls.h"

namespace velmysql {

namespace {

std::string Text(const char* s) { return s ? std::string(s) : std::string(); }

}  // namespace

std::string ConnectFailureText(const std::string& user, const std::string& host, unsigned int port,
                               const std::string& database) {
    return "Could not connect to mysql server using:\r\nUser: " + user + "\r\nHost:" + host + "\r\n" +
           "Port:" + std::to_string(port) + "\r\nDB:" + database + "\r\n" +
           "Please check the following:\r\n" +
           "> MySQL Server is running on the host and port specified and that you can access it through "
           "possible firewalls\r\n" +
           "> If the server is available and on a remote machine, check that this username (with password) "
           "may access it from a remote IP, see MySQL Manual (Security)";
}

TMySQLBase::TMySQLBase(std::string_view optionText) : reservedWords_(&MySQLReservedWordText()) {
    SetOptions(drivers_detail::SplitLines(optionText));
}

TMySQLBase::~TMySQLBase() { Shutdown(); }

void TMySQLBase::Shutdown() noexcept {
    try {
        if (ownConnection_ != nullptr) {
            MySQLConnectionHandle* own = ownConnection_;
            Close(own);
        }
        if (loaded_) UnLoad();
    } catch (...) {
        // A destructor cannot report; the state is cleared below either way.
    }
    ownConnection_ = nullptr;
    loaded_ = false;
}

void TMySQLBase::SetOptions(const TStrings& lines) { options_.Assign(lines); }

void TMySQLBase::SetOptions(const std::vector<std::string>& lines) {
    TStringList list;
    for (const std::string& line : lines) list.Add(line);
    SetOptions(list);
}

std::vector<std::string> TMySQLBase::OptionLines() const {
    std::vector<std::string> lines;
    lines.reserve(static_cast<std::size_t>(options_.Count()));
    for (int i = 0; i < options_.Count(); ++i) lines.push_back(options_.Line(i));
    return lines;
}

void* TMySQLBase::FindProc(void* module, const char* name) { return module ? dlsym(module, name) : nullptr; }

void TMySQLBase::Load() {
    if (loaded_) UnLoad();
    loaded_ = true;
    Bind();
}

void TMySQLBase::UnLoad() {
    if (!loaded_) return;
    // A connection still held here would otherwise be lost with its socket and memory.
    if (ownConnection_ != nullptr && api_.mysql_close != nullptr) {
        MySQLConnectionHandle* own = ownConnection_;
        ownConnection_ = nullptr;
        api_.mysql_close(own);
    }
    loaded_ = false;
    ownConnection_ = nullptr;
    clientVersion_ = 0;
}

void TMySQLBase::Bind() { clientVersion_ = 0; }

void TMySQLBase::PrepareConnection(MySQLConnectionHandle*) {}

void TMySQLBase::RaiseHandleError(MySQLConnectionHandle* handle) { MySQLError(this, handle, -1, "", -1, -1); }

int TMySQLBase::ErrorNo(MySQLConnectionHandle* handle) {
    EnsureLoaded();
    if (handle == nullptr) return 0;
    return static_cast<int>(api_.mysql_errno(handle));
}

std::string TMySQLBase::ErrorMsg(MySQLConnectionHandle* handle) {
    EnsureLoaded();
    if (handle == nullptr) return {};
    return Text(api_.mysql_error(handle));
}

void TMySQLBase::ApplyConnectOptions(MySQLConnectionHandle* handle) {
    MySQLConnectOptions o = ParseConnectOptions(OptionLines());
    if (o.connectTimeout) api_.mysql_options(handle, MYSQL_OPT_CONNECT_TIMEOUT, &*o.connectTimeout);
    if (o.readTimeout) api_.mysql_options(handle, MYSQL_OPT_READ_TIMEOUT, &*o.readTimeout);
    if (o.writeTimeout) api_.mysql_options(handle, MYSQL_OPT_WRITE_TIMEOUT, &*o.writeTimeout);
    if (o.pipe) {
        std::uint32_t zero = 0;
        api_.mysql_options(handle, MYSQL_OPT_NAMED_PIPE, &zero);
    }
    if (o.reconnect) {
        // Passed as 0 or 1: client libraries read this option as a one-byte Boolean, so any
        // other non-zero number could read as 0.
        std::uint32_t on = *o.reconnect != 0 ? 1 : 0;
        api_.mysql_options(handle, MYSQL_OPT_RECONNECT, &on);
    }
    if (o.maxAllowedPacket) {
        // Passed as an unsigned long, the width the client library reads.
        unsigned long bytes = static_cast<unsigned long>(*o.maxAllowedPacket);
        api_.mysql_options(handle, MYSQL_OPT_MAX_ALLOWED_PACKET, &bytes);
    }
    const struct {
        int option;
        const std::optional<std::string>& value;
    } texts[] = {{MYSQL_OPT_SSL_CA, o.sslCa},         {MYSQL_OPT_SSL_CAPATH, o.sslCapath},
                 {MYSQL_OPT_SSL_CERT, o.sslCert},     {MYSQL_OPT_SSL_KEY, o.sslKey},
                 {MYSQL_OPT_SSL_CIPHER, o.sslCipher}, {MARIADB_OPT_TLS_VERSION, o.tlsVersion},
                 {MYSQL_SERVER_PUBLIC_KEY, o.serverPublicKey}};
    for (const auto& t : texts)
        if (t.value) api_.mysql_options(handle, t.option, t.value->c_str());
    if (o.getServerPublicKey) {
        const unsigned char on = *o.getServerPublicKey ? 1 : 0;
        api_.mysql_options(handle, VELMYSQL_OPT_GET_SERVER_PUBLIC_KEY, &on);
    }
    if (o.sslMode) {
        // Client libraries know enforcement and verification as two Booleans (the
        // verification checks the name too); the wire client takes the mode itself,
        // last, so that it stands as given.
        const unsigned char on = 1;
        if (*o.sslMode >= smRequired) api_.mysql_options(handle, MYSQL_OPT_SSL_ENFORCE, &on);
        if (*o.sslMode >= smVerifyCa) api_.mysql_options(handle, MYSQL_OPT_SSL_VERIFY_SERVER_CERT, &on);
        const std::int32_t mode = *o.sslMode;
        api_.mysql_options(handle, VELMYSQL_OPT_SSL_MODE, &mode);
    }
}

MySQLConnectionHandle* TMySQLBase::Open(const std::string& host, const std::string& user,
                                        const std::string& password, unsigned int port,
                                        std::uint32_t clientFlags, const std::string& database) {
    EnsureLoaded();
    MySQLConnectionHandle* handle = api_.mysql_init(nullptr);
    if (handle == nullptr) MySQLError(this, nullptr, -1, "Could not initialize mysql driver.", -1, -1);
    if (ownConnection_ == nullptr) ownConnection_ = handle;
    try {
        if (clientVersion_ == 0) clientVersion_ = MySQLVersionNumber(ClientInfo());
        PrepareConnection(handle);
        ApplyConnectOptions(handle);
        if (api_.mysql_real_connect(handle, host.c_str(), user.c_str(), password.c_str(), database.c_str(), port,
                                    nullptr, clientFlags) == nullptr)
            MySQLError(this, handle, -1, ConnectFailureText(user, host, port, database), -1, -1);
        serverVersion_ = MySQLVersionNumber(ServerInfo(ownConnection_));
    } catch (...) {
        if (ownConnection_ == handle) ownConnection_ = nullptr;
        try {
            api_.mysql_close(handle);
        } catch (...) {
            // A library without mysql_close: the first failure is the one to report.
        }
        throw;
    }
    return handle;
}

std::string TMySQLBase::Info() { return ClientInfo(); }

void TMySQLBase::Close(MySQLConnectionHandle*& handle) {
    if (handle == nullptr || !loaded_) return;
    api_.mysql_close(handle);
    if (handle == ownConnection_) {
        ownConnection_ = nullptr;
        UnLoad();
        serverVersion_ = 0;
    }
    handle = nullptr;
}

std::string TMySQLBase::ClientInfo() {
    EnsureLoaded();
    return Text(api_.mysql_get_client_info());
}

std::string TMySQLBase::HostInfo(MySQLConnectionHandle* handle) {
    EnsureLoaded();
    if (handle == nullptr) return "No server connection";
    return Text(api_.mysql_get_host_info(handle));
}

std::string TMySQLBase::ServerInfo(MySQLConnectionHandle* handle) {
    if (handle == nullptr || !loaded_) return "-1";
    return Text(api_.mysql_get_server_info(handle));
}

std::string TMySQLBase::SslCipher(MySQLConnectionHandle* handle) {
    if (handle == nullptr || !loaded_ || api_.mysql_get_ssl_cipher == nullptr) return {};
    return Text(api_.mysql_get_ssl_cipher(handle));
}

unsigned int TMySQLBase::ProtoInfo(MySQLConnectionHandle* handle) {
    EnsureLoaded();
    if (handle == nullptr) return 0;
    return api_.mysql_get_proto_info(handle);
}

bool TMySQLBase::Ping(MySQLConnectionHandle* handle) {
    EnsureLoaded();
    if (handle == nullptr) return false;
    if (api_.mysql_ping(handle) != 0) RaiseHandleError(handle);
    return true;
}

unsigned long TMySQLBase::ThreadID(MySQLConnectionHandle* handle) {
    EnsureLoaded();
    if (handle == nullptr) return 0;
    return api_.mysql_thread_id(handle);
}

void TMySQLBase::Kill(MySQLConnectionHandle* handle, unsigned long threadId) {
    EnsureLoaded();
    if (handle == nullptr) return;
    if (api_.mysql_kill(handle, threadId) != 0) RaiseHandleError(handle);
}

std::string TMySQLBase::QueryInfo(MySQLConnectionHandle* handle) {
    if (handle == nullptr || !loaded_) return "-1";
    return Text(api_.mysql_info(handle));
}

bool TMySQLBase::CreateDatabase(MySQLConnectionHandle* handle, const std::string& name) {
    EnsureLoaded();
    if (handle == nullptr) return false;
    if (api_.mysql_create_db(handle, name.c_str()) != 0) RaiseHandleError(handle);
    return true;
}

bool TMySQLBase::SelectDatabase(MySQLConnectionHandle* handle, const std::string& name) {
    EnsureLoaded();
    if (handle == nullptr) return false;
    if (api_.mysql_select_db(handle, name.c_str()) != 0) RaiseHandleError(handle);
    return true;
}

bool TMySQLBase::DropDatabase(MySQLConnectionHandle* handle, const std::string& name) {
    EnsureLoaded();
    if (handle == nullptr) return false;
    if (api_.mysql_drop_db(handle, name.c_str()) != 0) RaiseHandleError(handle);
    return true;
}

MySQLResultHandle* TMySQLBase::OpenQuery(MySQLConnectionHandle* handle, std::string_view sql) {
    EnsureLoaded();
    if (handle == nullptr) return nullptr;
    if (api_.mysql_real_query(handle, sql.data(), static_cast<unsigned long>(sql.size())) != 0)
        RaiseHandleError(handle);
    // Results followed by more are read whole: the connection reaches the next one only
    // after the rows of this one. The last result with rows is kept.
    MySQLResultHandle* kept = nullptr;
    auto dropKept = [&] {
        if (kept != nullptr) api_.mysql_free_result(kept);
        kept = nullptr;
    };
    while (MoreResults(handle) && api_.mysql_store_result != nullptr && api_.mysql_next_result != nullptr) {
        MySQLResultHandle* stored = api_.mysql_store_result(handle);
        if (stored == nullptr && api_.mysql_errno(handle) != 0) {
            dropKept();
            RaiseHandleError(handle);
        }
        if (stored != nullptr) {
            dropKept();
            kept = stored;
        }
        if (api_.mysql_next_result(handle) > 0) {
            dropKept();
            RaiseHandleError(handle);
        }
    }
    MySQLResultHandle* result = api_.mysql_use_result(handle);
    // No result and an error: reading the rows could not start (the statement itself
    // succeeded); that is a failure, not a statement without rows.
    if (result == nullptr && api_.mysql_errno(handle) != 0) {
        dropKept();
        RaiseHandleError(handle);
    }
    if (result == nullptr) result = kept;
    else dropKept();
    if (result != nullptr) {
        std::lock_guard<std::mutex> lock(resultsLock_);
        resultConnections_[result] = handle;
    }
    return result;
}

bool TMySQLBase::MoreResults(MySQLConnectionHandle* handle) {
    EnsureLoaded();
    if (handle == nullptr || api_.mysql_more_results == nullptr) return false;
    return api_.mysql_more_results(handle) != 0;
}

bool TMySQLBase::NextResult(MySQLConnectionHandle* handle) {
    EnsureLoaded();
    if (handle == nullptr || api_.mysql_next_result == nullptr) return false;
    const int r = api_.mysql_next_result(handle);
    if (r > 0) RaiseHandleError(handle);
    return r == 0;
}

void TMySQLBase::CloseQuery(MySQLResultHandle*& result) {
    if (result == nullptr) return;
    EnsureLoaded();
    {
        std::lock_guard<std::mutex> lock(resultsLock_);
        resultConnections_.erase(result);
    }
    api_.mysql_free_result(result);
    result = nullptr;
}

unsigned int TMySQLBase::RetrieveColCount(MySQLResultHandle* result) {
    EnsureLoaded();
    if (result == nullptr) return 0;
    return api_.mysql_num_fields(result);
}

std::uint64_t TMySQLBase::RetrieveRowCount(MySQLResultHandle* result) {
    EnsureLoaded();
    if (result == nullptr) return 0;
    return api_.mysql_num_rows(result);
}

MySQLRow TMySQLBase::RetrieveRow(MySQLResultHandle* result) {
    EnsureLoaded();
    if (result == nullptr) return nullptr;
    MySQLRow row = api_.mysql_fetch_row(result);
    if (row != nullptr) return row;
    // No row: the end of the result, or a read that failed (an error packet from the
    // server in the middle of the rows, a lost connection). The C API tells the two apart
    // only through the connection's error number.
    MySQLConnectionHandle* handle = nullptr;
    {
        std::lock_guard<std::mutex> lock(resultsLock_);
        auto it = resultConnections_.find(result);
        if (it != resultConnections_.end()) handle = it->second;
    }
    if (handle != nullptr && api_.mysql_errno(handle) != 0) RaiseHandleError(handle);
    return nullptr;
}

MySQLLengths TMySQLBase::RetrieveRowFieldLenghts(MySQLResultHandle* result) {
    EnsureLoaded();
    if (result == nullptr) return nullptr;
    return api_.mysql_fetch_lengths(result);
}

std::string TMySQLBase::EscapeStr(std::string_view text) {
    EnsureLoaded();
    std::string buffer(2 * text.size() + 1, '\0');
    unsigned long n = api_.mysql_real_escape_string(ownConnection_, buffer.data(), text.data(),
                                                    static_cast<unsigned long>(text.size()));
    // The returned length counts every byte written, so a zero byte that a mode copies
    // unescaped stays in; a library that reports an error (all bits set) falls back to
    // the text before the first zero byte.
    if (n > 2 * text.size()) n = static_cast<unsigned long>(buffer.find('\0'));
    buffer.resize(n);
    return buffer;
}

bool TMySQLBase::QuoteIdentifier(std::string_view name) {
    EnsureLoaded();
    return NeedsIdentifierQuotes(name);
}

std::string TMySQLBase::FormatIdentifier(std::string_view name) {
    EnsureLoaded();
    return FormatMySQLIdentifier(name);
}

bool TMySQLBase::IsReservedWord(std::string_view word) const { return IsMySQLReservedWord(word); }

std::string TMySQLBase::LastInsertID(MySQLConnectionHandle* handle) {
    EnsureLoaded();
    if (handle == nullptr) return {};
    return std::to_string(static_cast<std::int64_t>(api_.mysql_insert_id(handle)));
}

std::string TMySQLBase::AffectedRows(MySQLConnectionHandle* handle) {
    EnsureLoaded();
    if (handle == nullptr) return {};
    return std::to_string(static_cast<std::int64_t>(api_.mysql_affected_rows(handle)));
}

bool TMySQLBase::Refresh(MySQLConnectionHandle* handle, std::uint32_t options) {
    EnsureLoaded();
    if (handle == nullptr) return false;
    if (api_.mysql_refresh(handle, options) != 0) RaiseHandleError(handle);
    return true;
}

}  // namespace velmysql
