#include "velmysql/wire/mysql_client.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <unistd.h>

#include "velmysql/wire/auth_plugins.h"
#include "velmysql/wire/mysql_errors.h"
#include "velmysql/wire/new_password.h"
#include "velmysql/wire/packet_reader.h"
#include "velmysql/wire/protocol.h"

namespace velmysql {

namespace {
constexpr std::size_t kMaxUserName = 80;  // the server's limit for user names
constexpr std::size_t kMaxDbName = 64;
constexpr const char* kNative = "mysql_native_password";
constexpr const char* kOld = "mysql_old_password";
constexpr const char* kCachingSha2 = "caching_sha2_password";
constexpr const char* kEd25519 = "client_ed25519";
constexpr const char* kClear = "mysql_clear_password";
// Capability bits of protocol extensions this client does not speak: a caller's flags
// never announce them (the server would then send what no reader here understands).
constexpr std::uint32_t kUnspokenFlags =
    CLIENT_CONNECT_ATTRS | CLIENT_PLUGIN_AUTH_LENENC_CLIENT_DATA | CLIENT_SESSION_TRACK | CLIENT_DEPRECATE_EOF;

std::unique_ptr<TMysqlResult> defaultResult(TMysqlClient* session, TResultType kind) {
    return std::make_unique<TMysqlResult>(session, kind);
}

void put4(std::string& s, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) s.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}
}  // namespace

// Holds the session's lock, when there is one, for the rest of a scope.
class TMysqlClient::Guard {
public:
    explicit Guard(TMysqlClient& c) : m_(c.lock_.get()) {
        if (m_) m_->lock();
    }
    ~Guard() {
        if (m_) m_->unlock();
    }

private:
    std::recursive_mutex* m_;
};

TMysqlClient::TMysqlClient()
    : connectTimeout_(static_cast<std::uint32_t>(NET_READ_TIMEOUT)),
      lock_(std::make_unique<std::recursive_mutex>()),
      resultClass_(&defaultResult) {}

TMysqlClient::~TMysqlClient() {
    Guard g(*this);
    close();
}

void TMysqlClient::setError(int number, const std::string& text) {
    net_.Setlast_errorno(number);
    net_.Setlast_error(text);
}

void TMysqlClient::clearError() { setError(0, std::string()); }

// --- parameters -------------------------------------------------------------------

#define VELMYSQL_SETTER(NAME, TYPE, MEMBER)          \
    void TMysqlClient::NAME(TYPE v) {                \
        if (v != MEMBER && GetConnected()) net_.net_close(); \
        MEMBER = v;                                  \
    }
VELMYSQL_SETTER(SetHost, const std::string&, host_)
VELMYSQL_SETTER(SetUser, const std::string&, user_)
VELMYSQL_SETTER(SetPasswd, const std::string&, passwd_)
VELMYSQL_SETTER(SetPort, std::uint32_t, port_)
VELMYSQL_SETTER(SetClientFlag, std::uint32_t, clientFlag_)
VELMYSQL_SETTER(SetNamedPipe, bool, namedPipe_)
VELMYSQL_SETTER(setfcompress, bool, compress_)
VELMYSQL_SETTER(setfsecureauth, bool, secureAuth_)
#undef VELMYSQL_SETTER

void TMysqlClient::SetUnixSocket(const std::string& v) {
    if (v != unixSocket_ && namedPipe_ && GetConnected()) net_.net_close();
    unixSocket_ = v;
}

void TMysqlClient::SetUseSSL(bool v) {
    if (!v)
        tls_.mode = smDisabled;
    else if (tls_.mode < smRequired)
        tls_.mode = smRequired;
}

void TMysqlClient::SetDb(const std::string& v) {
    db_ = v;
    if (GetConnected()) select_db(v);
}

// --- connecting -------------------------------------------------------------------

bool TMysqlClient::connect() {
    return connect(host_, user_, passwd_, db_, port_, unixSocket_, trySock_, clientFlag_);
}

bool TMysqlClient::connect(const std::string& host, const std::string& user, const std::string& passwd,
                           const std::string& db, std::uint32_t port, const std::string& unixSocket,
                           bool trySock, std::uint32_t clientFlag) {
    Guard g(*this);
    if (GetConnected()) return true;
    if (host.empty() && host_.empty()) return false;
    if (!host.empty()) host_ = host;
    user_ = user;
    passwd_ = passwd;
    db_ = db;
    port_ = port;
    unixSocket_ = unixSocket;
    clientFlag_ = clientFlag;
    secureAuth_ = (clientFlag & CLIENT_SECURE_CONNECTION) != 0;
    trySock_ = trySock;

    if (namedPipe_) {
        net_.net_open(VIO_TYPE_NAMEDPIPE, host_, unixSocket_, static_cast<std::int32_t>(port_), connectTimeout_,
                      trySock_);
        if (net_.GetVioType() == VIO_TYPE_NAMEDPIPE) {
            host_ = LOCAL_HOST_NAMEDPIPE;
            unixSocket_ = MYSQL_NAMEDPIPE;
        } else if (GetConnected()) {
            namedPipe_ = false;
            unixSocket_.clear();
        }
    } else {
        net_.net_open(VIO_TYPE_TCPIP, host_, unixSocket_, static_cast<std::int32_t>(port_), connectTimeout_, true);
        unixSocket_.clear();
    }
    if (!GetConnected()) return false;

    auto fail = [this] {
        net_.net_close();
        return false;
    };

    // Greeting.
    std::int32_t len = net_.net_safe_read();
    if (len < 0) return fail();
    const std::string_view greetingBytes = net_.payload(len);
    const int proto = *GreetingProtocol(greetingBytes);
    net_.protocol_version = proto;
    if (proto != 10 && proto != 9) {
        setError(CR_VERSION_ERROR, FormatClientError(ClientErrorText(CR_VERSION_ERROR), proto, PROTOCOL_VERSION));
        return fail();
    }
    std::optional<Greeting> gr = ParseGreeting(greetingBytes);
    if (!gr) {
        setError(CR_SERVER_HANDSHAKE_ERR, ClientErrorText(CR_SERVER_HANDSHAKE_ERR));
        return fail();
    }
    serverVersion_ = gr->serverVersion;
    threadId_ = gr->threadId;
    scramble_ = gr->scramble;
    serverCapabilities_ = gr->hasCapabilities ? gr->serverCapabilities : 0;
    if (gr->hasStatus) {
        serverLanguage_ = gr->serverLanguage;
        serverStatus_ = gr->serverStatus;
    }
    if (!gr->hasSecondScramble) serverCapabilities_ &= ~CLIENT_SECURE_CONNECTION;
    serverStatus_ &= ~SERVER_MORE_RESULTS_EXISTS;  // nothing of an earlier connection is pending

    if (secureAuth_ && !passwd_.empty() && !(serverCapabilities_ & CLIENT_SECURE_CONNECTION)) {
        setError(CR_SECURE_AUTH, SECURE_AUTH_TEXT);
        return fail();
    }

    // Capabilities: the always-sent set; those the server must share kept only when
    // it does; compression only when offered and wanted.
    std::uint32_t flags = clientFlag_ | CLIENT_ALWAYS_FLAGS;
    if (flags & CLIENT_MULTI_STATEMENTS) flags |= CLIENT_MULTI_RESULTS;
    if (!db_.empty()) flags |= CLIENT_CONNECT_WITH_DB;
    const std::uint32_t shared = CLIENT_COMPRESS | CLIENT_PROTOCOL_41 | CLIENT_SSL | CLIENT_SECURE_CONNECTION;
    flags = (flags & ~shared) | (flags & shared & serverCapabilities_);
    const bool wantCompress = compress_ || (clientFlag_ & CLIENT_COMPRESS);
    if ((serverCapabilities_ & CLIENT_COMPRESS) && wantCompress)
        flags |= CLIENT_COMPRESS;
    else
        flags &= ~CLIENT_COMPRESS;

    // TLS: announced exactly when this client goes on to the handshake. A mode that
    // requires it never falls back to a connection in clear.
    if (tls_.modeInvalid) {
        setError(CR_SSL_CONNECTION_ERROR, FormatClientError(SSL_CONNECTION_TEXT, "ssl-mode names no known mode"));
        return fail();
    }
    const bool serverTls = (serverCapabilities_ & CLIENT_SSL) && (serverCapabilities_ & CLIENT_PROTOCOL_41);
    bool useTls = false;
    if (tls_.mode >= smRequired) {
        if (!serverTls) {
            setError(CR_SSL_CONNECTION_ERROR,
                     FormatClientError(SSL_CONNECTION_TEXT,
                                       (std::string("ssl-mode is ") + SslModeText(tls_.mode) +
                                        " but the server does not offer TLS")
                                           .c_str()));
            return fail();
        }
        useTls = true;
    } else if (tls_.mode == smPreferred) {
        // The local socket is as private as TLS would make it.
        useTls = serverTls && net_.GetVioType() != VIO_TYPE_NAMEDPIPE;
    }
    flags &= ~(CLIENT_SSL | CLIENT_PLUGIN_AUTH | kUnspokenFlags);
    if (useTls) flags |= CLIENT_SSL;
    // Login methods by name, when the server names them and the 4.1 login is in use.
    const bool pluginAuth = (serverCapabilities_ & CLIENT_PLUGIN_AUTH) && (flags & CLIENT_PROTOCOL_41) &&
                            (flags & CLIENT_SECURE_CONNECTION);
    if (pluginAuth) flags |= CLIENT_PLUGIN_AUTH;
    clientFlag_ = flags;

    // Login packet. The user name travels whole up to the server's limit, so a long
    // name can never log in as the account of its prefix.
    std::string login;
    login.reserve(32 + kMaxUserName + 1 + 21 + kMaxDbName + 1);
    if (flags & CLIENT_PROTOCOL_41) {
        put4(login, flags);
        put4(login, static_cast<std::uint32_t>(std::min<std::size_t>(net_.GetMaxAllowedPacket(), 0xFFFFFFFFu)));
        login.push_back('\0');
        login.append(23, '\0');
    } else {
        login.push_back(static_cast<char>(flags & 0xFF));
        login.push_back(static_cast<char>((flags >> 8) & 0xFF));
        login.append(3, '\0');
    }
    if (useTls && !startTls(flags)) return fail();
    login.append(user_.substr(0, std::min(kMaxUserName, user_.find('\0'))));
    login.push_back('\0');
    authPlugin_ = (flags & CLIENT_SECURE_CONNECTION) ? kNative : kOld;
    if (pluginAuth) {
        // The first answer is for the method the greeting names when this client knows
        // it and can answer without further data; otherwise the native one, and the
        // server asks for its own method with a switch request.
        if (gr->authPlugin == kCachingSha2) authPlugin_ = kCachingSha2;
        const std::string token = authPlugin_ == kCachingSha2 ? caching_sha2_scramble(passwd_, scramble_)
                                  : passwd_.empty()           ? std::string()
                                                              : mysql_scramble411(passwd_, scramble_).value_or(std::string(20, '\0'));
        login.push_back(static_cast<char>(token.size()));
        login.append(token);
    } else if (passwd_.empty()) {
        login.push_back('\0');
    } else if (flags & CLIENT_SECURE_CONNECTION) {
        login.push_back(20);
        login.append(mysql_scramble411(passwd_, scramble_).value_or(std::string(20, '\0')));
    } else {
        login.append(mysql_scramble(passwd_, scramble_.substr(0, 8)).value_or(std::string()));
        login.push_back('\0');
    }
    if (!pluginAuth && !db_.empty() && (serverCapabilities_ & CLIENT_CONNECT_WITH_DB)) {
        login.append(db_.substr(0, std::min(kMaxDbName, db_.find('\0'))));
        login.push_back('\0');
    }
    if (pluginAuth) {
        // The server reads a database name exactly when the flags announce one, and the
        // method's name after it.
        if (flags & CLIENT_CONNECT_WITH_DB) {
            login.append(db_.substr(0, std::min(kMaxDbName, db_.find('\0'))));
            login.push_back('\0');
        }
        login.append(authPlugin_);
        login.push_back('\0');
    }
    if (net_.my_net_write(login.data(), login.size()) != 0 || net_.net_flush() != 0) return fail();

    if (!mysql_autenticate()) return fail();

    net_.setcompress((flags & CLIENT_COMPRESS) != 0);
    status_ = MYSQL_STATUS_READY;
    if (!db_.empty() && !(serverCapabilities_ & CLIENT_CONNECT_WITH_DB)) {
        if (!select_db(db_)) return fail();
    }
    return true;
}

bool TMysqlClient::startTls(std::uint32_t flags) {
    // The request is the start of the 4.1 login packet: flags, packet size, character
    // set and the zero filler; everything after it travels encrypted.
    std::string request;
    put4(request, flags);
    put4(request, static_cast<std::uint32_t>(std::min<std::size_t>(net_.GetMaxAllowedPacket(), 0xFFFFFFFFu)));
    request.append(24, '\0');
    if (net_.my_net_write(request.data(), request.size()) != 0 || net_.net_flush() != 0) {
        setError(CR_SERVER_LOST, ClientErrorText(CR_SERVER_LOST));
        return false;
    }
    std::string reason;
    const std::string verifyHost = net_.GetVioType() == VIO_TYPE_NAMEDPIPE ? std::string(LOCAL_HOST) : host_;
    if (!net_.vio().vio_start_tls(tls_, verifyHost, reason)) {
        setError(CR_SSL_CONNECTION_ERROR, FormatClientError(SSL_CONNECTION_TEXT, reason.c_str()));
        return false;
    }
    return true;
}

bool TMysqlClient::secureTransport() const {
    return net_.GetVioType() == VIO_TYPE_NAMEDPIPE || net_.vio().IsTls();
}

bool TMysqlClient::authFailure(int number, const std::string& text) {
    setError(number, text);
    net_.net_close();
    return false;
}

bool TMysqlClient::writeAuth(const std::string& bytes) {
    return net_.my_net_write(bytes.data(), bytes.size()) == 0 && net_.net_flush() == 0;
}

std::optional<std::string> TMysqlClient::authAnswer(const std::string& method, const std::string& data) {
    // Methods that take the switch request's bytes as text see them without the
    // trailing 0; a binary nonce is taken as sent.
    std::string salt = data;
    if (!salt.empty() && salt.back() == '\0') salt.pop_back();
    auto refuse = [&](int number, const std::string& text) -> std::optional<std::string> {
        authFailure(number, text);
        return std::nullopt;
    };
    auto pluginError = [&](const char* why) {
        return refuse(CR_AUTH_PLUGIN_ERR, FormatClientError(AUTH_PLUGIN_ERR_TEXT, method.c_str(), why));
    };
    if (method == kNative || method == kCachingSha2) {
        if (salt.size() < 20) return refuse(CR_SERVER_HANDSHAKE_ERR, ClientErrorText(CR_SERVER_HANDSHAKE_ERR));
        scramble_ = salt.substr(0, 20);
        if (method == kCachingSha2) return caching_sha2_scramble(passwd_, scramble_);
        if (passwd_.empty()) return std::string();
        return mysql_scramble411(passwd_, scramble_).value_or(std::string());
    }
    if (method == kOld) {
        // Asked by name, the pre-4.1 token is given only where the settings allow it.
        if (secureAuth_) return refuse(CR_SECURE_AUTH, SECURE_AUTH_TEXT);
        if (salt.size() < 8) return refuse(CR_SERVER_HANDSHAKE_ERR, ClientErrorText(CR_SERVER_HANDSHAKE_ERR));
        scramble_ = salt.substr(0, 8);
        std::string token = mysql_scramble(passwd_, scramble_).value_or(std::string());
        token.push_back('\0');
        return token;
    }
    if (method == kEd25519) {
        if (data.size() < 32) return refuse(CR_SERVER_HANDSHAKE_ERR, ClientErrorText(CR_SERVER_HANDSHAKE_ERR));
        std::string signature = ed25519_password_sign(passwd_, std::string_view(data).substr(0, 32));
        if (signature.size() != 64) return pluginError("the signature could not be computed");
        return signature;
    }
    if (method == kClear) {
        // A server that asks for the password itself gets it only where nobody else can
        // read it: a rogue server on a plain connection would otherwise learn it.
        if (!secureTransport()) return pluginError("the password is sent in clear only over TLS or the local socket");
        return passwd_ + std::string(1, '\0');
    }
    return refuse(CR_AUTH_PLUGIN_CANNOT_LOAD, FormatClientError(AUTH_PLUGIN_CANNOT_LOAD_TEXT, method.c_str()));
}

bool TMysqlClient::cachingSha2FullAuth() {
    auto refuse = [&](const std::string& why) {
        return authFailure(CR_AUTH_PLUGIN_ERR, FormatClientError(AUTH_PLUGIN_ERR_TEXT, kCachingSha2, why.c_str()));
    };
    if (secureTransport()) return writeAuth(passwd_ + std::string(1, '\0'));
    std::string key;
    if (!serverPublicKeyPath_.empty()) {
        std::ifstream in(serverPublicKeyPath_, std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        if (!in) return refuse("cannot read the server's public key from '" + serverPublicKeyPath_ + "'");
        key = text.str();
    } else if (getServerPublicKey_) {
        // Asked of the server: byte 2; the reply is 1 and the key in PEM.
        if (!writeAuth(std::string(1, '\2'))) return false;
        const std::int32_t len = net_.net_safe_read();
        if (len < 0) return false;
        std::string_view reply = net_.payload(len);
        if (reply.size() < 2 || reply[0] != '\1')
            return authFailure(CR_SERVER_HANDSHAKE_ERR, ClientErrorText(CR_SERVER_HANDSHAKE_ERR));
        key.assign(reply.substr(1));
    } else {
        return refuse("Authentication requires secure connection (TLS, the local socket, or the server's public key)");
    }
    std::string why;
    std::optional<std::string> sealed = caching_sha2_encrypt_password(passwd_, scramble_, key, why);
    if (!sealed) return refuse(why);
    return writeAuth(*sealed);
}

// The login exchange after the login packet (or COM_CHANGE_USER): answers the server's
// requests until it accepts (OK) or refuses (an error packet). Every request is answered
// or the connection is given up: a reply taken for success while the server waits would
// leave both sides out of step.
bool TMysqlClient::mysql_autenticate() {
    std::int32_t len = net_.net_safe_read();
    if (len < 0) return false;
    // A single 254 asks for the pre-4.1 token (the account has an old password).
    if (len == 1 && net_.read_pos()[0] == 254 && (serverCapabilities_ & CLIENT_SECURE_CONNECTION)) {
        scramble_ = scramble_.substr(0, 8);
        std::string token = mysql_scramble(passwd_, scramble_).value_or(std::string());
        token.push_back('\0');
        if (!writeAuth(token)) return false;
        authPlugin_ = kOld;
        len = net_.net_safe_read();
        if (len < 0) return false;
    }
    int switches = 0;
    bool fastAuthSeen = false;
    for (;;) {
        const unsigned char first = net_.read_pos()[0];
        if (first == 0) return true;
        if (first == 254 && len > 1) {
            // A switch request names the method the server wants next and brings its data
            // (servers send one, for example, after a first token did not match). Two are
            // answered; a server that keeps switching is out of step.
            if (++switches > 2) return authFailure(CR_SERVER_HANDSHAKE_ERR, ClientErrorText(CR_SERVER_HANDSHAKE_ERR));
            std::optional<AuthSwitch> sw = ParseAuthSwitch(net_.payload(len));
            if (!sw) {
                net_.net_malformed();
                return false;
            }
            std::optional<std::string> answer = authAnswer(sw->method, sw->data);
            if (!answer) return false;
            authPlugin_ = sw->method;
            fastAuthSeen = false;
            if (!writeAuth(*answer)) return false;
        } else if (first == 1 && authPlugin_ == kCachingSha2 && len == 2 && !fastAuthSeen) {
            // More data of caching_sha2_password: 3, the scramble matched the server's
            // cache and an OK follows; 4, the server wants the password itself.
            const unsigned char what = net_.read_pos()[1];
            if (what == 3) {
                fastAuthSeen = true;
            } else if (what == 4) {
                if (!cachingSha2FullAuth()) return false;
                fastAuthSeen = true;  // only the verdict may follow
            } else {
                return authFailure(CR_SERVER_HANDSHAKE_ERR, ClientErrorText(CR_SERVER_HANDSHAKE_ERR));
            }
        } else {
            // Anything else (more data for a method that takes none, a second request
            // for the password) leaves the server in a state this client does not know.
            return authFailure(CR_SERVER_HANDSHAKE_ERR, ClientErrorText(CR_SERVER_HANDSHAKE_ERR));
        }
        len = net_.net_safe_read();
        if (len < 0) return false;
    }
}

bool TMysqlClient::reconnect() {
    if (reconnect_ && !(serverStatus_ & SERVER_STATUS_IN_TRANS)) return connect();
    serverStatus_ &= ~SERVER_STATUS_IN_TRANS;
    return false;
}

void TMysqlClient::close() {
    Guard g(*this);
    scramble_.clear();
    threadId_ = 0;
    affectedRows_ = insertId_ = 0;
    serverCapabilities_ = serverLanguage_ = 0;
    extraInfo_ = 0;
    status_ = MYSQL_STATUS_READY;
    serverVersion_.clear();
    info_.clear();
    // An open transaction is remembered across the close: the work it held is gone with
    // the connection, so the next command must not reconnect and carry on as if nothing
    // was lost (reconnect refuses once and forgets it).
    serverStatus_ = SERVER_STATUS_AUTOCOMMIT | (serverStatus_ & SERVER_STATUS_IN_TRANS);
    if (GetConnected()) {
        free_old_query();
        const bool saved = reconnect_;
        reconnect_ = false;
        simple_command(COM_QUIT, nullptr, 0, true, false);
        reconnect_ = saved;
        net_.net_close();
    }
    if (currentResult_ != nullptr) {
        currentResult_->session_ = nullptr;
        currentResult_ = nullptr;
    }
}

// --- commands ---------------------------------------------------------------------

bool TMysqlClient::refusesSize(std::size_t argumentLength) {
    // The command byte makes the payload one longer than the argument.
    if (argumentLength < net_.GetMaxAllowedPacket()) return false;
    setError(ER_NET_PACKET_TOO_LARGE, PACKET_TOO_LARGE_TEXT);
    return true;
}

int TMysqlClient::simple_command(TEnumServerCommand command, const void* argument, std::size_t length,
                                 bool skipCheck, bool retry) {
    // Refused before anything is sent: the connection stays as it is.
    if (refusesSize(length)) return -1;
    if (!GetConnected()) {
        // A connection that is gone and may not be made again is reported as gone; a
        // reconnect that was tried and failed leaves the connect's own error.
        const bool tries = reconnect_ && !(serverStatus_ & SERVER_STATUS_IN_TRANS);
        if (!reconnect()) {
            if (!tries) setError(CR_SERVER_GONE_ERROR, ClientErrorText(CR_SERVER_GONE_ERROR));
            return -1;
        }
    }
    // A result set still being read, or results of the last text still to come: the
    // server would answer this command only after them.
    if (status_ != MYSQL_STATUS_READY || more_results()) {
        setError(CR_COMMANDS_OUT_OF_SYNC, ClientErrorText(CR_COMMANDS_OUT_OF_SYNC));
        return -1;
    }
    clearError();
    info_.clear();
    affectedRows_ = insertId_ = 0;
    net_.net_clear();
    if (net_.net_write_command(command, argument, length) != 0) {
        net_.net_close();
        free_old_query();
        bool resent = false;
        if (reconnect()) {
            net_.net_clear();
            resent = net_.net_write_command(command, argument, length) == 0;
        }
        if (!resent) {
            setError(CR_SERVER_GONE_ERROR, ClientErrorText(CR_SERVER_GONE_ERROR));
            return -1;
        }
    }
    if (skipCheck) return 0;
    if (net_.net_safe_read() >= 0) return 0;
    // Only a lost connection repeats the command: a server that refused it has seen
    // it once and must not see it twice.
    const bool lost = net_.Getlast_errorno() == CR_SERVER_LOST;
    if (lost) close();
    // The repeat goes to a new connection only where reconnecting loses nothing; inside
    // a transaction the loss itself (2013) is the answer.
    if (retry && lost && reconnect()) return simple_command(command, argument, length, skipCheck, false);
    return -1;
}

bool TMysqlClient::commandWithName(TEnumServerCommand command, const std::string& name) {
    if (name.empty()) return false;
    Guard g(*this);
    return simple_command(command, name.data(), name.size(), false, reconnect_) == 0;
}

bool TMysqlClient::commandWith32(TEnumServerCommand command, std::uint32_t value) {
    Guard g(*this);
    std::string arg;
    put4(arg, value);
    return simple_command(command, arg.data(), arg.size(), false, reconnect_) == 0;
}

bool TMysqlClient::commandEmpty(TEnumServerCommand command) {
    Guard g(*this);
    return simple_command(command, nullptr, 0, false, reconnect_) == 0;
}

bool TMysqlClient::select_db(const std::string& name) {
    Guard g(*this);
    if (!commandWithName(COM_INIT_DB, name)) return false;
    db_ = name;
    return true;
}

bool TMysqlClient::create_db(const std::string& name) { return commandWithName(COM_CREATE_DB, name); }
bool TMysqlClient::drop_db(const std::string& name) { return commandWithName(COM_DROP_DB, name); }
bool TMysqlClient::refresh(std::uint32_t options) { return commandWith32(COM_REFRESH, options); }
bool TMysqlClient::kill(std::uint32_t threadId) { return commandWith32(COM_PROCESS_KILL, threadId); }
bool TMysqlClient::ping() { return commandEmpty(COM_PING); }
bool TMysqlClient::dump_debug_info() { return commandEmpty(COM_DEBUG); }

bool TMysqlClient::shutdown() {
    bool ok;
    {
        Guard g(*this);
        ok = simple_command(COM_SHUTDOWN, nullptr, 0, false, reconnect_) == 0;
    }
    close();
    return ok;
}

std::string TMysqlClient::stat() {
    Guard g(*this);
    if (simple_command(COM_STATISTICS, nullptr, 0, false, reconnect_) != 0) return std::string();
    if (net_.read_pos()[0] == 0) {
        setError(CR_WRONG_HOST_INFO, ClientErrorText(CR_WRONG_HOST_INFO));
        return std::string();
    }
    return std::string(reinterpret_cast<const char*>(net_.read_pos()));
}

std::unique_ptr<TMysqlResult> TMysqlClient::list_processes() {
    Guard g(*this);
    if (simple_command(COM_PROCESS_INFO, nullptr, 0, false, reconnect_) != 0) return nullptr;
    // The reply just read is the header of a result set.
    free_old_query();
    return readResultHeader(net_.payload(net_.last_length())) ? store_result() : nullptr;
}

bool TMysqlClient::change_user(const std::string& user, const std::string& passwd, const std::string& db) {
    Guard g(*this);
    std::string arg;
    arg.append(user.substr(0, std::min(kMaxUserName, user.find('\0'))));
    arg.push_back('\0');
    if (passwd.empty()) {
        arg.push_back('\0');
    } else if (clientFlag_ & CLIENT_SECURE_CONNECTION) {
        // A connection with 4.1 authentication answers with the 4.1 token.
        arg.push_back(20);
        arg.append(mysql_scramble411(passwd, scramble_).value_or(std::string(20, '\0')));
    } else {
        arg.append(mysql_scramble(passwd, scramble_.substr(0, 8)).value_or(std::string()));
        arg.push_back('\0');
    }
    arg.append(db.substr(0, std::min(kMaxDbName, db.find('\0'))));
    arg.push_back('\0');
    if (clientFlag_ & CLIENT_PLUGIN_AUTH) {
        // Character set (0: the server's default, as in the login), then the method of
        // the token above; the server switches to the account's own method if it differs.
        arg.append(2, '\0');
        arg.append(kNative);
        arg.push_back('\0');
    }
    if (simple_command(COM_CHANGE_USER, arg.data(), arg.size(), true, reconnect_) != 0) return false;
    std::string oldUser = user_, oldPasswd = passwd_, oldDb = db_;
    authPlugin_ = (clientFlag_ & CLIENT_SECURE_CONNECTION) ? kNative : kOld;
    user_ = user;
    passwd_ = passwd;
    db_ = db;
    if (mysql_autenticate()) return true;
    user_ = oldUser;
    passwd_ = oldPasswd;
    db_ = oldDb;
    return false;
}

// --- queries ----------------------------------------------------------------------

int TMysqlClient::realquery(std::string_view q) {
    if (q.empty()) return 0;
    if (refusesSize(q.size())) return 1;
    if (reconnect_ && !ping()) return 1;
    requestedFile_ = LocalInfileName(q);
    if (simple_command(COM_QUERY, q.data(), q.size(), true, reconnect_) != 0) {
        requestedFile_.reset();
        return 1;
    }
    int r = read_query_result();
    requestedFile_.reset();
    return r;
}

std::unique_ptr<TMysqlResult> TMysqlClient::query(std::string_view q, bool store, bool& done) {
    Guard g(*this);
    done = false;
    std::unique_ptr<TMysqlResult> result;
    if (realquery(q) == 0) {
        if (store) {
            result = store_result();
            net_.net_pack();
        } else {
            result = use_result();
        }
    }
    done = true;
    return result;
}

int TMysqlClient::next_result() {
    if (status_ != MYSQL_STATUS_READY) {
        setError(CR_COMMANDS_OUT_OF_SYNC, ClientErrorText(CR_COMMANDS_OUT_OF_SYNC));
        return 1;
    }
    if (!more_results()) return -1;
    clearError();
    info_.clear();
    affectedRows_ = insertId_ = 0;
    return read_query_result() == 0 ? 0 : 1;
}

int TMysqlClient::read_query_result() {
    // Known again from this reply's OK packet or its result's end; an error ends the text.
    serverStatus_ &= ~SERVER_MORE_RESULTS_EXISTS;
    std::int32_t len = net_.net_safe_read();
    if (len < 0) return -1;
    free_old_query();
    while (net_.read_pos()[0] == 251) {
        // The server asks for a local file.
        if (!serveFileRequest(net_.payload(len))) return -1;
        len = net_.net_safe_read();
        if (len < 0) return -1;
    }
    std::string_view payload = net_.payload(len);
    if (payload[0] == 0) {
        std::optional<OkPacket> ok = ParseOkPacket(payload, (serverCapabilities_ & CLIENT_TRANSACTIONS) != 0,
                                                   (clientFlag_ & CLIENT_PROTOCOL_41) != 0);
        if (!ok) {
            net_.net_malformed();
            return -1;
        }
        affectedRows_ = ok->affectedRows;
        insertId_ = ok->insertId;
        if (ok->hasStatus) serverStatus_ = ok->serverStatus;
        info_ = ok->info;
        return 0;
    }
    return readResultHeader(payload) ? 0 : -1;
}

// A result-set header (field count and extra info), then the descriptors.
bool TMysqlClient::readResultHeader(std::string_view payload) {
    PacketReader r(payload);
    std::uint64_t count = 0, extra = 0;
    bool isNull = false;
    if (!r.lengthCoded64(count, isNull) || isNull || count == 0 || count > 0xFFFF) {
        net_.net_malformed();
        return false;
    }
    if (r.left() > 0 && r.lengthCoded64(extra, isNull)) extraInfo_ = extra;
    if (!(serverStatus_ & SERVER_STATUS_AUTOCOMMIT)) serverStatus_ |= SERVER_STATUS_IN_TRANS;
    bool incomplete = true;
    const unsigned columns = (serverCapabilities_ & CLIENT_PROTOCOL_41) ? 7 : 5;
    std::unique_ptr<TMYSQL_DATA> rows = read_rows(nullptr, columns, incomplete);
    if (!rows) return false;
    if (rows->rows() != count) {
        // Descriptors that do not match the announced column count.
        net_.net_malformed();
        return false;
    }
    fields_ = unpack_fields(std::move(rows), static_cast<unsigned>(count),
                            (serverCapabilities_ & CLIENT_LONG_FLAG) != 0);
    if (!fields_) return false;
    status_ = MYSQL_STATUS_GET_RESULT;
    fieldCount_ = static_cast<unsigned>(count);
    return true;
}

}  // namespace velmysql
