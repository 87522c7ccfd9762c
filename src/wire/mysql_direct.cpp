#include "velmysql/wire/mysql_direct.h"

#include <cstring>

#include "velmysql/wire/mysql_helpers.h"

namespace velmysql {

namespace {

TMySQLDirectClient* Client(MySQLConnectionHandle* h) { return reinterpret_cast<TMySQLDirectClient*>(h); }
MySQLConnectionHandle* Handle(TMySQLDirectClient* c) { return reinterpret_cast<MySQLConnectionHandle*>(c); }
TMySQLDirectResult* Result(MySQLResultHandle* h) { return reinterpret_cast<TMySQLDirectResult*>(h); }

std::string Text(const char* s) { return s ? std::string(s) : std::string(); }

std::unique_ptr<TMysqlResult> DirectResult(TMysqlClient* session, TResultType kind) {
    return std::make_unique<TMySQLDirectResult>(session, kind);
}

std::uint32_t Read32(const void* arg) {
    std::uint32_t v = 0;
    if (arg != nullptr) std::memcpy(&v, arg, sizeof v);
    return v;
}

int Status(bool ok) { return ok ? 0 : 1; }

bool Flag(const void* arg) {
    unsigned char on = 0;
    if (arg != nullptr) std::memcpy(&on, arg, 1);
    return on != 0;
}

}  // namespace

TMySQLDirectClient::TMySQLDirectClient() {
    SetResultClass(&DirectResult);
    SetReconnect(false);
    setfcompress(false);
}

std::string EscapeForServerStatus(std::string_view text, std::uint32_t serverStatus) {
    if ((serverStatus & SERVER_STATUS_NO_BACKSLASH_ESCAPES) == 0) return EscapeStr(text);
    std::string out;
    out.reserve(text.size() + 8);
    for (char c : text) {
        out += c;
        if (c == '\'') out += '\'';
    }
    return out;
}

MySQLConnectionHandle* mysql_init(MySQLConnectionHandle*) { return Handle(new TMySQLDirectClient()); }

int mysql_options(MySQLConnectionHandle* mysql, int option, const void* arg) {
    if (mysql == nullptr) return 0;
    TMySQLDirectClient* c = Client(mysql);
    switch (option) {
        case MYSQL_OPT_CONNECT_TIMEOUT:
            c->SetConnectTimeout(Read32(arg));
            break;
        case MYSQL_OPT_COMPRESS:
            c->setfcompress(true);
            break;
        case MYSQL_OPT_NAMED_PIPE:
            c->SetTrySock(true);
            c->SetNamedPipe(true);
            break;
        case MYSQL_OPT_READ_TIMEOUT:
        case MYSQL_OPT_WRITE_TIMEOUT:
            NET_READ_TIMEOUT = static_cast<std::int32_t>(Read32(arg));
            break;
        case MYSQL_OPT_RECONNECT: {
            // The C API passes a one-byte Boolean here; 0 turns reconnecting off.
            unsigned char on = 0;
            if (arg != nullptr) std::memcpy(&on, arg, 1);
            c->SetReconnect(on != 0);
            break;
        }
        case MYSQL_OPT_SSL_KEY:
        case MYSQL_OPT_SSL_CERT:
        case MYSQL_OPT_SSL_CA:
        case MYSQL_OPT_SSL_CAPATH:
        case MYSQL_OPT_SSL_CIPHER:
        case MARIADB_OPT_TLS_VERSION: {
            TMysqlTlsSettings t = c->TlsSettings();
            std::string& field = option == MYSQL_OPT_SSL_KEY      ? t.key
                                 : option == MYSQL_OPT_SSL_CERT   ? t.cert
                                 : option == MYSQL_OPT_SSL_CA     ? t.ca
                                 : option == MYSQL_OPT_SSL_CAPATH ? t.capath
                                 : option == MYSQL_OPT_SSL_CIPHER ? t.cipher
                                                                  : t.tlsVersion;
            field = Text(static_cast<const char*>(arg));
            c->SetTlsSettings(t);
            break;
        }
        case MYSQL_OPT_SSL_ENFORCE:
        case MYSQL_OPT_SSL_VERIFY_SERVER_CERT: {
            // Raise the mode only: a stricter mode set before stays.
            TMysqlTlsSettings t = c->TlsSettings();
            const TSslMode wanted = option == MYSQL_OPT_SSL_ENFORCE ? smRequired : smVerifyIdentity;
            if (Flag(arg) && t.mode < wanted) t.mode = wanted;
            c->SetTlsSettings(t);
            break;
        }
        case VELMYSQL_OPT_SSL_MODE: {
            std::int32_t mode = 0;
            if (arg != nullptr) std::memcpy(&mode, arg, sizeof mode);
            TMysqlTlsSettings t = c->TlsSettings();
            t.modeInvalid = mode < smDisabled || mode > smVerifyIdentity;
            if (!t.modeInvalid) t.mode = static_cast<TSslMode>(mode);
            c->SetTlsSettings(t);
            break;
        }
        case MYSQL_SERVER_PUBLIC_KEY:
            c->SetServerPublicKeyPath(Text(static_cast<const char*>(arg)));
            break;
        case VELMYSQL_OPT_GET_SERVER_PUBLIC_KEY:
            c->SetGetServerPublicKey(Flag(arg));
            break;
        case MYSQL_OPT_MAX_ALLOWED_PACKET: {
            unsigned long bytes = 0;
            if (arg != nullptr) std::memcpy(&bytes, arg, sizeof bytes);
            if (bytes != 0) c->SetMaxAllowedPacket(bytes);
            break;
        }
        default:
            break;
    }
    return 0;
}

MySQLConnectionHandle* mysql_real_connect(MySQLConnectionHandle* mysql, const char* host, const char* user,
                                          const char* passwd, const char* db, unsigned int port,
                                          const char* unix_socket, unsigned long client_flag) {
    if (mysql == nullptr) return nullptr;
    TMySQLDirectClient* c = Client(mysql);
    bool ok = c->connect(Text(host), Text(user), Text(passwd), Text(db), port, Text(unix_socket), c->TrySock(),
                         static_cast<std::uint32_t>(client_flag));
    return ok ? mysql : nullptr;
}

void mysql_close(MySQLConnectionHandle* mysql) { delete Client(mysql); }

unsigned int mysql_errno(MySQLConnectionHandle* mysql) {
    if (mysql == nullptr) return 1;
    return static_cast<unsigned int>(Client(mysql)->GetLastErrorNo());
}

const char* mysql_error(MySQLConnectionHandle* mysql) {
    if (mysql == nullptr) return nullptr;
    TMySQLDirectClient* c = Client(mysql);
    c->errorText = c->GetLastError();
    return c->errorText.c_str();
}

const char* mysql_get_host_info(MySQLConnectionHandle*) { return nullptr; }

const char* mysql_get_client_info() { return TMysqlClient::GetClientInfo(); }

const char* mysql_get_server_info(MySQLConnectionHandle* mysql) {
    if (mysql == nullptr) return nullptr;
    return Client(mysql)->ServerVersion().c_str();
}

unsigned int mysql_get_proto_info(MySQLConnectionHandle* mysql) {
    if (mysql == nullptr) return 0;
    return static_cast<unsigned int>(Client(mysql)->GetProtocol_version());
}

const char* mysql_get_ssl_cipher(MySQLConnectionHandle* mysql) {
    if (mysql == nullptr) return nullptr;
    TMySQLDirectClient* c = Client(mysql);
    if (!c->UseSSL()) return nullptr;
    c->cipherText = c->SslCipher();
    return c->cipherText.c_str();
}

int mysql_ping(MySQLConnectionHandle* mysql) {
    if (mysql == nullptr) return 1;
    return Status(Client(mysql)->ping());
}

unsigned long mysql_thread_id(MySQLConnectionHandle* mysql) {
    if (mysql == nullptr) return 0;
    return Client(mysql)->ThreadId();
}

int mysql_kill(MySQLConnectionHandle* mysql, unsigned long pid) {
    if (mysql == nullptr) return 1;
    return Status(Client(mysql)->kill(static_cast<std::uint32_t>(pid)));
}

const char* mysql_info(MySQLConnectionHandle* mysql) {
    if (mysql == nullptr) return nullptr;
    return Client(mysql)->Info().c_str();
}

int mysql_create_db(MySQLConnectionHandle* mysql, const char* db) {
    if (mysql == nullptr) return 1;
    return Status(Client(mysql)->create_db(Text(db)));
}

int mysql_select_db(MySQLConnectionHandle* mysql, const char* db) {
    if (mysql == nullptr) return 1;
    return Status(Client(mysql)->select_db(Text(db)));
}

int mysql_drop_db(MySQLConnectionHandle* mysql, const char* db) {
    if (mysql == nullptr) return 1;
    return Status(Client(mysql)->drop_db(Text(db)));
}

int mysql_real_query(MySQLConnectionHandle* mysql, const char* q, unsigned long length) {
    if (mysql == nullptr) return 1;
    if (q == nullptr || length == 0) return 0;
    return Client(mysql)->realquery(std::string_view(q, length)) == 0 ? 0 : 1;
}

MySQLResultHandle* mysql_store_result(MySQLConnectionHandle* mysql) {
    if (mysql == nullptr) return nullptr;
    TMySQLDirectClient* c = Client(mysql);
    std::unique_ptr<TMysqlResult> res = c->store_result();
    c->Net().net_pack();
    if (!res) return nullptr;
    auto* direct = static_cast<TMySQLDirectResult*>(res.release());
    direct->fieldCursor = -1;
    return reinterpret_cast<MySQLResultHandle*>(direct);
}

char mysql_more_results(MySQLConnectionHandle* mysql) {
    if (mysql == nullptr) return 0;
    return Client(mysql)->more_results() ? 1 : 0;
}

int mysql_next_result(MySQLConnectionHandle* mysql) {
    if (mysql == nullptr) return -1;
    return Client(mysql)->next_result();
}

MySQLResultHandle* mysql_use_result(MySQLConnectionHandle* mysql) {
    if (mysql == nullptr) return nullptr;
    std::unique_ptr<TMysqlResult> res = Client(mysql)->use_result();
    if (!res) return nullptr;
    // Every result of a TMySQLDirectClient is made by DirectResult.
    auto* direct = static_cast<TMySQLDirectResult*>(res.release());
    direct->fieldCursor = -1;
    return reinterpret_cast<MySQLResultHandle*>(direct);
}

void mysql_free_result(MySQLResultHandle* result) { delete Result(result); }

unsigned int mysql_num_fields(MySQLResultHandle* result) {
    if (result == nullptr) return 0;
    return Result(result)->FieldCount();
}

std::uint64_t mysql_num_rows(MySQLResultHandle* result) {
    if (result == nullptr) return 0;
    return Result(result)->RowCount();
}

MySQLLengths mysql_fetch_lengths(MySQLResultHandle* result) {
    if (result == nullptr) return nullptr;
    TMySQLDirectResult* r = Result(result);
    r->SetHasLengths(true);
    return r->Lengths();
}

const TMysql_FieldDef* mysql_fetch_field(MySQLResultHandle* result) {
    if (result == nullptr) return nullptr;
    TMySQLDirectResult* r = Result(result);
    if (r->fieldCursor >= static_cast<std::int32_t>(r->FieldCount())) return nullptr;
    ++r->fieldCursor;
    return r->FieldDef(r->fieldCursor);
}

MySQLRow mysql_fetch_row(MySQLResultHandle* result) {
    if (result == nullptr) return nullptr;
    TMySQLDirectResult* r = Result(result);
    if (r->RowCount() == 0 || r->Eof()) return nullptr;
    // mysql_use_result has read the first row and left Bof set: it is answered without a read.
    if (!r->Bof()) r->Next();
    MySQLRow row = r->Eof() ? nullptr : r->CurrentRow();
    r->SetBof(false);
    return row;
}

unsigned long mysql_real_escape_string(MySQLConnectionHandle* mysql, char* to, const char* from,
                                       unsigned long length) {
    std::uint32_t status = mysql != nullptr ? Client(mysql)->ServerStatus() : 0;
    std::string escaped = EscapeForServerStatus(std::string_view(from != nullptr ? from : "", from ? length : 0), status);
    std::memcpy(to, escaped.data(), escaped.size());
    to[escaped.size()] = '\0';
    return static_cast<unsigned long>(escaped.size());
}

std::uint64_t mysql_insert_id(MySQLConnectionHandle* mysql) {
    if (mysql == nullptr) return 0;
    return Client(mysql)->InsertId();
}

int mysql_refresh(MySQLConnectionHandle*, unsigned int) { return 0; }

std::uint64_t mysql_affected_rows(MySQLConnectionHandle* mysql) {
    if (mysql == nullptr) return 0;
    return Client(mysql)->AffectedRows();
}

}  // namespace velmysql
