#pragma once
// TMySQLBase: the driver interface everything above the driver layer goes through. A driver
// owns a C-API operation table and wraps each entry in an operation that loads the driver on
// first use, answers a neutral value for an absent handle and raises EMySQLError when a
// status entry fails. Concrete drivers differ only in how they load and fill the table.

#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "velmysql/drivers/missing_entry.h"
#include "velmysql/drivers/mysql_api.h"
#include "velmysql/drivers/mysql_error.h"
#include "velmysql/rtl/persistent.h"
#include "velmysql/rtl/strings.h"
#include "velmysql/wire/mysql_capi.h"
#include "velmysql/wire/mysql_ct.h"

namespace velmysql {

// Persisted as the server's DriverProperties sub-object (Options; ClientDLL for the library
// drivers); the streaming of those properties belongs to the component layer.
class TMySQLBase : public TPersistent {
public:
    // optionText: the Options lines ("name=value"), separated by line breaks.
    explicit TMySQLBase(std::string_view optionText = {});
    virtual ~TMySQLBase();

    // The first connection this driver opened while it had none (may be null).
    virtual MySQLConnectionHandle* GetConnection() const { return ownConnection_; }
    // The option lines ("name=value"): connection keys for every driver, server arguments
    // for the embedded one.
    const TStringList& Options() const { return options_; }
    // Replaces the content of Options with a copy of the list.
    virtual void SetOptions(const TStrings& lines);
    void SetOptions(const std::vector<std::string>& lines);
    std::vector<std::string> OptionLines() const;

    virtual void Load();
    virtual void UnLoad();
    virtual void Bind();

    virtual int ErrorNo(MySQLConnectionHandle* handle);
    virtual std::string ErrorMsg(MySQLConnectionHandle* handle);
    // Opens a new connection; the caller owns it and gives it back through Close.
    virtual MySQLConnectionHandle* Open(const std::string& host, const std::string& user,
                                        const std::string& password, unsigned int port,
                                        std::uint32_t clientFlags, const std::string& database);
    virtual std::string Info();
    // Closing the own connection unloads the driver. The handle becomes null.
    virtual void Close(MySQLConnectionHandle*& handle);
    virtual std::string ClientInfo();
    virtual std::string HostInfo(MySQLConnectionHandle* handle);
    virtual std::string ServerInfo(MySQLConnectionHandle* handle);
    // The TLS cipher of the connection; empty when it is not encrypted (or the client
    // cannot tell).
    virtual std::string SslCipher(MySQLConnectionHandle* handle);
    virtual unsigned int ProtoInfo(MySQLConnectionHandle* handle);
    virtual bool Ping(MySQLConnectionHandle* handle);
    virtual unsigned long ThreadID(MySQLConnectionHandle* handle);
    virtual void Kill(MySQLConnectionHandle* handle, unsigned long threadId);
    virtual std::string QueryInfo(MySQLConnectionHandle* handle);
    virtual bool CreateDatabase(MySQLConnectionHandle* handle, const std::string& name);
    virtual bool SelectDatabase(MySQLConnectionHandle* handle, const std::string& name);
    virtual bool DropDatabase(MySQLConnectionHandle* handle, const std::string& name);
    // Sends the statement (all of its bytes) and starts reading its rows; null when the
    // statement produced none.
    // A text of several statements (or a procedure call) has several results: all of them
    // are read, the earlier ones freed, and the last result with rows is answered (read
    // whole when more results followed it, else streamed). A failure of any statement
    // raises once the results before it are read; the connection stays in step.
    virtual MySQLResultHandle* OpenQuery(MySQLConnectionHandle* handle, std::string_view sql);
    // Another result of the last statement text follows (for callers reading results
    // themselves); false without a handle or where the client has no such results.
    virtual bool MoreResults(MySQLConnectionHandle* handle);
    // Reads the next result's reply: true when one was read, false when none followed.
    // Raises on a failed statement.
    virtual bool NextResult(MySQLConnectionHandle* handle);
    virtual void CloseQuery(MySQLResultHandle*& result);
    virtual unsigned int RetrieveColCount(MySQLResultHandle* result);
    virtual std::uint64_t RetrieveRowCount(MySQLResultHandle* result);
    // The next column's descriptor, read in the layout of the client's series. Its texts
    // point into the client's memory and live until the result is freed. After the last
    // column (or without a result) only the name is set, to an empty text.
    virtual TMysql_FieldDef RetrieveField(MySQLResultHandle* result);
    virtual MySQLRow RetrieveRow(MySQLResultHandle* result);
    virtual MySQLLengths RetrieveRowFieldLenghts(MySQLResultHandle* result);
    virtual std::string EscapeStr(std::string_view text);
    virtual bool QuoteIdentifier(std::string_view name);
    virtual std::string FormatIdentifier(std::string_view name);
    virtual bool IsReservedWord(std::string_view word) const;
    virtual std::string LastInsertID(MySQLConnectionHandle* handle);
    virtual std::string AffectedRows(MySQLConnectionHandle* handle);
    virtual bool Refresh(MySQLConnectionHandle* handle, std::uint32_t options);

    bool Loaded() const { return loaded_; }
    // major * 10000 + minor * 100 + patch; 0 while not read.
    int ClientVersion() const { return clientVersion_; }
    int ServerVersion() const { return serverVersion_; }
    const std::string& ReservedWords() const { return *reservedWords_; }
    const MySQLApiTable& Api() const { return api_; }

protected:
    // Refers entry to the named function of module, or to the missing-entry operation.
    template <class R, class... A>
    static void BindProc(R (*&entry)(A...), void* module, const char* name) {
        void* found = FindProc(module, name);
        entry = found ? reinterpret_cast<R (*)(A...)>(found) : &MissingEntry<R, A...>;
    }
    static void* FindProc(void* module, const char* name);
    // Refers entry to the named function of module, or leaves it null when there is none.
    template <class R, class... A>
    static void BindOptionalProc(R (*&entry)(A...), void* module, const char* name) {
        void* found = FindProc(module, name);
        entry = found ? reinterpret_cast<R (*)(A...)>(found) : nullptr;
    }

    // The client version whose field structure layout RetrieveField reads.
    virtual int FieldLayoutVersion();
    // Runs after mysql_init and before the option keys are applied on every Open.
    virtual void PrepareConnection(MySQLConnectionHandle* handle);
    // Closes the own connection (which unloads) and unloads; for destructors, never throws.
    void Shutdown() noexcept;
    void EnsureLoaded() {
        if (!loaded_) Load();
    }
    // Raises through MySQLError with the handle's error.
    [[noreturn]] void RaiseHandleError(MySQLConnectionHandle* handle);

    MySQLApiTable api_;
    MySQLConnectionHandle* ownConnection_ = nullptr;
    bool loaded_ = false;
    int clientVersion_ = 0;
    int serverVersion_ = 0;

private:
    void ApplyConnectOptions(MySQLConnectionHandle* handle);

    // The connection each open result came from (OpenQuery to CloseQuery), for the error
    // of a row read that failed. Worker threads open results on their own connections.
    std::mutex resultsLock_;
    std::unordered_map<MySQLResultHandle*, MySQLConnectionHandle*> resultConnections_;

    const std::string* reservedWords_;
    TStringList options_;
};

// The text composed when mysql_real_connect fails.
std::string ConnectFailureText(const std::string& user, const std::string& host, unsigned int port,
                               const std::string& database);

}  // namespace velmysql
