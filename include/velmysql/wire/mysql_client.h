#pragma once
// One connection to a MySQL server spoken in the server's own protocol: parameters,
// handshake and authentication, commands, the reply to a query, local file upload,
// change of user, reconnecting. Never raises: failures are reported by results and
// leave their number and text in the channel.

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "velmysql/wire/mysql_ct.h"
#include "velmysql/wire/mysql_net.h"
#include "velmysql/wire/mysql_result.h"

namespace velmysql {

class TMysqlClient {
public:
    TMysqlClient();
    virtual ~TMysqlClient();
    TMysqlClient(const TMysqlClient&) = delete;
    TMysqlClient& operator=(const TMysqlClient&) = delete;

    // Parameters and flags. Changing a connection parameter closes an open channel.
    void SetHost(const std::string& v);
    void SetUser(const std::string& v);
    void SetPasswd(const std::string& v);
    void SetPort(std::uint32_t v);
    void SetClientFlag(std::uint32_t v);
    void SetNamedPipe(bool v);
    void setfcompress(bool v);
    void setfsecureauth(bool v);
    void SetUnixSocket(const std::string& v);
    void SetDb(const std::string& v);
    void SetTrySock(bool v) { trySock_ = v; }
    // false: never TLS; true: TLS or no connection (ssl-mode REQUIRED unless stricter).
    void SetUseSSL(bool v);
    void SetNoTimeOut(bool v) { net_.SetNoTimeOut(v); }
    bool GetNoTimeOut() const { return net_.GetNoTimeOut(); }
    bool GetConnected() const { return net_.GetNetConnected(); }
    std::int32_t GetLastErrorNo() const { return net_.Getlast_errorno(); }
    const std::string& GetLastError() const { return net_.Getlast_error(); }
    static const char* GetClientInfo() { return MYSQL_CLIENT_VERSION; }
    std::int32_t GetProtocol_version() const { return net_.protocol_version; }

    const std::string& Host() const { return host_; }
    const std::string& User() const { return user_; }
    const std::string& Passwd() const { return passwd_; }
    const std::string& UnixSocket() const { return unixSocket_; }
    const std::string& Db() const { return db_; }
    std::uint32_t Port() const { return port_; }
    const std::string& Scramble() const { return scramble_; }
    std::uint32_t ThreadId() const { return threadId_; }
    std::uint64_t AffectedRows() const { return affectedRows_; }
    std::uint64_t InsertId() const { return insertId_; }
    TMysql_Status Status() const { return status_; }
    bool Reconnect() const { return reconnect_; }
    void SetReconnect(bool v) { reconnect_ = v; }
    bool NamedPipe() const { return namedPipe_; }
    bool TrySock() const { return trySock_; }
    std::uint32_t ConnectTimeout() const { return connectTimeout_; }
    void SetConnectTimeout(std::uint32_t seconds) { connectTimeout_ = seconds; }
    bool SecureAuth() const { return secureAuth_; }
    bool Compress() const { return compress_; }
    std::uint32_t ClientFlag() const { return clientFlag_; }
    const std::string& ServerVersion() const { return serverVersion_; }
    std::uint32_t ServerCapabilities() const { return serverCapabilities_; }
    std::uint32_t ServerStatus() const { return serverStatus_; }
    std::uint32_t ServerLanguage() const { return serverLanguage_; }
    std::uint64_t ExtraInfo() const { return extraInfo_; }
    const std::string& Info() const { return info_; }
    unsigned FieldCount() const { return fieldCount_; }
    TMysqlResult* CurrentResult() const { return currentResult_; }
    // Whether the open connection is encrypted.
    bool UseSSL() const { return net_.GetNetConnected() && net_.vio().IsTls(); }
    // TLS settings of the next connect (ssl-mode, ssl-ca, ... tls-version).
    const TMysqlTlsSettings& TlsSettings() const { return tls_; }
    void SetTlsSettings(const TMysqlTlsSettings& v) { tls_ = v; }
    // The cipher and protocol of the open connection's TLS session; empty without TLS.
    std::string SslCipher() const { return UseSSL() ? net_.vio().TlsCipher() : std::string(); }
    std::string SslVersion() const { return UseSSL() ? net_.vio().TlsVersion() : std::string(); }
    // caching_sha2_password's full authentication on an unencrypted TCP/IP connection
    // encrypts the password with the server's RSA key: read from this PEM file, or, only
    // when allowed, asked of the server (which a server in the middle could answer).
    const std::string& ServerPublicKeyPath() const { return serverPublicKeyPath_; }
    void SetServerPublicKeyPath(const std::string& v) { serverPublicKeyPath_ = v; }
    bool GetServerPublicKey() const { return getServerPublicKey_; }
    void SetGetServerPublicKey(bool v) { getServerPublicKey_ = v; }
    // The login method of the last authentication exchange.
    const std::string& AuthPlugin() const { return authPlugin_; }
    std::uint32_t NullLength() const { return nullLength_; }
    void SetResultClass(TMysqlResultClass factory) { resultClass_ = factory; }
    TMysqlNet& Net() { return net_; }
    const TMysqlNet& Net() const { return net_; }
    // The largest packet payload this session sends or accepts (default 1 GB).
    std::size_t MaxAllowedPacket() const { return net_.GetMaxAllowedPacket(); }
    void SetMaxAllowedPacket(std::size_t bytes) { net_.SetMaxAllowedPacket(bytes); }

    // Connection and commands.
    bool connect(const std::string& host, const std::string& user, const std::string& passwd,
                 const std::string& db, std::uint32_t port, const std::string& unixSocket, bool trySock,
                 std::uint32_t clientFlag);
    bool connect();
    bool reconnect();
    void close();
    // 0 or -1.
    int simple_command(TEnumServerCommand command, const void* argument, std::size_t length, bool skipCheck,
                       bool retry);
    bool mysql_autenticate();
    // 0 success, 1 or -1 failure.
    int realquery(std::string_view query);
    std::unique_ptr<TMysqlResult> query(std::string_view query, bool store, bool& done);
    std::unique_ptr<TMysqlResult> useresult() { return use_result(); }
    int read_query_result();
    // A statement text with several statements (or a procedure call) has several results;
    // true while another one follows the one just read to its end.
    bool more_results() const { return (serverStatus_ & SERVER_MORE_RESULTS_EXISTS) != 0; }
    // Reads the reply of the next result: 0 read (an OK or the header of a result set),
    // -1 no more results, 1 failure (the error stays; no result follows an error).
    int next_result();
    int send_file_to_server(const std::string& fileName);
    bool change_user(const std::string& user, const std::string& passwd, const std::string& db);
    bool select_db(const std::string& name);
    bool create_db(const std::string& name);
    bool drop_db(const std::string& name);
    bool refresh(std::uint32_t options);
    bool kill(std::uint32_t threadId);
    bool ping();
    bool dump_debug_info();
    bool shutdown();
    std::string stat();
    std::unique_ptr<TMysqlResult> list_processes();

    // Result reading.
    // Reads rows up to the end-of-data packet; descriptors (may be null) get their
    // max_length raised. Absent on failure; incomplete stays true then.
    std::unique_ptr<TMYSQL_DATA> read_rows(TMysqlFieldDefs* descriptors, unsigned columns, bool& incomplete);
    // 0 a row, 1 the end (the row keeps its values), -1 failure.
    int read_one_row(unsigned columns, std::vector<char*>& row, unsigned long* lengths, TMysqlRowStore& store);
    std::unique_ptr<TMysqlFieldDefs> unpack_fields(std::unique_ptr<TMYSQL_DATA> rows, unsigned fieldCount,
                                                   bool longFlags);
    void free_old_query();
    std::unique_ptr<TMysqlResult> store_result();
    std::unique_ptr<TMysqlResult> use_result();

private:
    friend class TMysqlResult;
    class Guard;
    void setError(int number, const std::string& text);
    void clearError();
    bool readResultHeader(std::string_view payload);
    // True (error 1153 set) when a command with this argument is longer than the session
    // sends.
    bool refusesSize(std::size_t argumentLength);
    bool serveFileRequest(std::string_view payload);
    bool commandWithName(TEnumServerCommand command, const std::string& name);
    bool commandWith32(TEnumServerCommand command, std::uint32_t value);
    bool commandEmpty(TEnumServerCommand command);
    void endUsedResult(TMysqlResult* result);
    // The end-of-data packet of the 4.1 protocol carries the server status: whether
    // another result follows.
    void noteEndOfData(std::string_view eof);
    // The login's TLS step: the short request, then the handshake. False with the error set.
    bool startTls(std::uint32_t flags);
    // TLS or the local socket: where a password may travel as it is.
    bool secureTransport() const;
    // The answer of a login method to its first data (a switch request's, or the
    // greeting's scramble); absent with the error set when the method cannot answer here.
    std::optional<std::string> authAnswer(const std::string& method, const std::string& data);
    // caching_sha2_password asked for the password itself: answers, false with the error set.
    bool cachingSha2FullAuth();
    bool authFailure(int number, const std::string& text);
    bool writeAuth(const std::string& bytes);

    TMysqlNet net_;
    std::string host_, user_, passwd_, unixSocket_, db_;
    std::uint32_t port_ = MYSQL_PORT;
    std::string scramble_;
    std::uint32_t threadId_ = 0;
    std::uint64_t affectedRows_ = 0;
    std::uint64_t insertId_ = 0;
    TMysql_Status status_ = MYSQL_STATUS_READY;
    bool reconnect_ = true;
    bool namedPipe_ = false;
    bool trySock_ = false;
    std::uint32_t connectTimeout_;
    bool secureAuth_ = false;
    bool compress_ = true;
    std::uint32_t clientFlag_ = CLIENT_ALWAYS_FLAGS;
    std::string serverVersion_;
    std::uint32_t serverCapabilities_ = 0;
    std::uint32_t serverStatus_ = SERVER_STATUS_AUTOCOMMIT;
    std::uint32_t serverLanguage_ = 0;
    std::uint64_t extraInfo_ = 0;
    std::string info_;
    unsigned fieldCount_ = 0;
    std::unique_ptr<TMysqlFieldDefs> fields_;
    TMysqlResult* currentResult_ = nullptr;
    TMysqlTlsSettings tls_;
    std::string serverPublicKeyPath_;
    bool getServerPublicKey_ = false;
    std::string authPlugin_;
    std::uint32_t nullLength_ = 0;
    std::unique_ptr<std::recursive_mutex> lock_;
    TMysqlResultClass resultClass_;
    // The file named by the LOAD DATA LOCAL statement in flight; only it is served.
    std::optional<std::string> requestedFile_;
    // Scratch for parsing one row: where each value lies in the packet.
    std::vector<const unsigned char*> rowData_;
    std::vector<std::size_t> rowLength_;
};

// The file name of a LOAD DATA ... LOCAL INFILE 'name' statement, unescaped; absent
// for any other statement.
std::optional<std::string> LocalInfileName(std::string_view query);

}  // namespace velmysql
