#pragma once
// TMySQLLibrary: the driver over the MySQL client library, loaded at run time by file name
// and bound entry by entry; an entry the library lacks raises only when it is called.

#include <string>
#include <string_view>

#include "velmysql/drivers/mysql_base.h"

namespace velmysql {

// Where the client libraries come from, named in the load failure text.
inline constexpr const char* kMySQLClientVendorAddress = "https://dev.mysql.com/downloads/";

// "Could not load MySQL library FILE (available from ...). Please place FILE in ..."
std::string LibraryLoadFailureText(const std::string& file);

class TMySQLLibrary : public TMySQLBase {
public:
    explicit TMySQLLibrary(std::string_view optionText = {});
    ~TMySQLLibrary() override;

    void Load() override;
    void UnLoad() override;
    void Bind() override;
    // Without an own connection a client library cannot escape (it reads the connection's
    // character set), so this raises instead of handing it a null connection.
    std::string EscapeStr(std::string_view text) override;

    // ClientDLL when set, else the default file name of this driver.
    virtual std::string GetClientDLL() const;
    // Only stores the name: a loaded driver keeps its library until it is loaded again.
    void SetClientDLL(std::string file) { clientDLL_ = std::move(file); }
    void* Module() const { return module_; }

protected:
    // Loads the named library; null when it cannot be loaded. A name without a slash is
    // looked for in the program's directory first, then by the platform's search.
    virtual void* AcquireModule(const std::string& file);
    // False when the platform refuses to release it.
    virtual bool ReleaseModule(void* module);
    // MariaDB's Connector/C numbers its versions from 2.0 on, yet has the field structure of
    // the 4.1.1 series; read by its version number it would be taken for a 3.23 client.
    int FieldLayoutVersion() override;
    // Closes the own connection through the still bound table before the module goes.
    void CloseOwnConnection() noexcept;

    void* module_ = nullptr;
    std::string clientDLL_;
};

}  // namespace velmysql
