#pragma once
// TMySQLEmbedded: the driver over the embedded-server library, which runs the MySQL server
// inside this process.
//
// The embedded server can be started only once per process (the library crashes when it is
// started again after it was ended). So the server starts at the first Load in the process
// and ends when the process exits; the library stays loaded until then. Unloading the
// driver closes its own connection and clears its state, nothing more. The Options of a
// later Load (in this or another driver object) cannot change the running server: they only
// matter for the connections opened afterwards.

#include <string>
#include <string_view>
#include <vector>

#include "velmysql/drivers/mysql_library.h"

namespace velmysql {

struct EmbeddedLibraryState;

// The arguments the embedded server is started with: the program path, then "--" + line for
// every Options line in order, except the connection keys ("connect_timeout", "pipe", ...),
// which belong to the connections and which the server would refuse as unknown variables.
std::vector<std::string> EmbeddedServerArguments(const std::string& programPath,
                                                 const std::vector<std::string>& options);
// The option groups the embedded server reads: program path + "_SERVER", "embedded", "server".
std::vector<std::string> EmbeddedServerGroups(const std::string& programPath);

class TMySQLEmbedded : public TMySQLLibrary {
public:
    explicit TMySQLEmbedded(std::string_view optionText = {});
    ~TMySQLEmbedded() override;

    void Load() override;
    void UnLoad() override;
    void Bind() override;
    std::string GetClientDLL() const override;
    const MySQLEmbeddedApiTable& EmbeddedApi() const { return embeddedApi_; }

    // True once the embedded server of the named library runs in this process.
    static bool ServerStarted(const std::string& file);

protected:
    void* AcquireModule(const std::string& file) override;
    bool ReleaseModule(void* module) override;
    void PrepareConnection(MySQLConnectionHandle* handle) override;

private:
    void StartServer();
    int InitServer(EmbeddedLibraryState& lib, const std::vector<std::string>& options);

    MySQLEmbeddedApiTable embeddedApi_;
};

}  // namespace velmysql
