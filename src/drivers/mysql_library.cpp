#include "velmysql/drivers/mysql_library.h"

#include <dlfcn.h>
#include <sys/stat.h>

#include "velmysql/drivers/version_number.h"
#include "velmysql/rtl/exception.h"
#include "drivers/program_path.h"

namespace velmysql {

std::string LibraryLoadFailureText(const std::string& file) {
    return "Could not load MySQL library " + file + " (available from " + kMySQLClientVendorAddress +
           "). Please place " + file +
           " in your program's directory or alternatively in your system32 folder or a system folder "
           "(included in your PATH).";
}

TMySQLLibrary::TMySQLLibrary(std::string_view optionText) : TMySQLBase(optionText) {}

TMySQLLibrary::~TMySQLLibrary() {
    Shutdown();
    module_ = nullptr;
}

std::string TMySQLLibrary::GetClientDLL() const { return clientDLL_.empty() ? "libmysqlclient.so" : clientDLL_; }

void* TMySQLLibrary::AcquireModule(const std::string& file) {
    if (file.empty()) return nullptr;
    // RTLD_NODELETE: releasing the module forgets it but leaves the library mapped. The
    // client libraries set up process-wide state on first use that they never free, so an
    // unmapped library would lose it on every disconnect and a reload would start over.
    constexpr int kFlags = RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE;
    if (file.find('/') == std::string::npos) {
        std::string local = drivers_detail::ProgramDirectory() + "/" + file;
        struct stat st {};
        if (stat(local.c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
            if (void* m = dlopen(local.c_str(), kFlags)) return m;
        }
    }
    return dlopen(file.c_str(), kFlags);
}

bool TMySQLLibrary::ReleaseModule(void* module) { return module == nullptr || dlclose(module) == 0; }

void TMySQLLibrary::Load() {
    if (loaded_) UnLoad();
    std::string file = GetClientDLL();
    void* module = AcquireModule(file);
    if (module == nullptr) throw Exception(LibraryLoadFailureText(file));
    module_ = module;
    loaded_ = true;
    Bind();
}

void TMySQLLibrary::Bind() {
    TMySQLBase::Bind();
    void* m = module_;
    BindProc(api_.mysql_init, m, "mysql_init");
    BindProc(api_.mysql_options, m, "mysql_options");
    BindProc(api_.mysql_real_connect, m, "mysql_real_connect");
    BindProc(api_.mysql_close, m, "mysql_close");
    BindProc(api_.mysql_errno, m, "mysql_errno");
    BindProc(api_.mysql_error, m, "mysql_error");
    BindProc(api_.mysql_get_host_info, m, "mysql_get_host_info");
    BindProc(api_.mysql_get_client_info, m, "mysql_get_client_info");
    BindProc(api_.mysql_get_server_info, m, "mysql_get_server_info");
    BindProc(api_.mysql_get_proto_info, m, "mysql_get_proto_info");
    BindProc(api_.mysql_ping, m, "mysql_ping");
    BindProc(api_.mysql_thread_id, m, "mysql_thread_id");
    BindProc(api_.mysql_kill, m, "mysql_kill");
    BindProc(api_.mysql_info, m, "mysql_info");
    BindProc(api_.mysql_create_db, m, "mysql_create_db");
    BindProc(api_.mysql_select_db, m, "mysql_select_db");
    BindProc(api_.mysql_drop_db, m, "mysql_drop_db");
    BindProc(api_.mysql_real_query, m, "mysql_real_query");
    BindProc(api_.mysql_use_result, m, "mysql_use_result");
    BindProc(api_.mysql_free_result, m, "mysql_free_result");
    BindProc(api_.mysql_num_fields, m, "mysql_num_fields");
    BindProc(api_.mysql_num_rows, m, "mysql_num_rows");
    BindProc(api_.mysql_fetch_lengths, m, "mysql_fetch_lengths");
    BindProc(api_.mysql_fetch_field, m, "mysql_fetch_field");
    BindProc(api_.mysql_fetch_row, m, "mysql_fetch_row");
    BindProc(api_.mysql_real_escape_string, m, "mysql_real_escape_string");
    BindProc(api_.mysql_insert_id, m, "mysql_insert_id");
    BindProc(api_.mysql_refresh, m, "mysql_refresh");
    BindProc(api_.mysql_affected_rows, m, "mysql_affected_rows");
    // Present from client series 4.1 on; without them a text has one result.
    BindOptionalProc(api_.mysql_store_result, m, "mysql_store_result");
    BindOptionalProc(api_.mysql_more_results, m, "mysql_more_results");
    BindOptionalProc(api_.mysql_next_result, m, "mysql_next_result");
    BindOptionalProc(api_.mysql_get_ssl_cipher, m, "mysql_get_ssl_cipher");
}

void TMySQLLibrary::CloseOwnConnection() noexcept {
    if (ownConnection_ == nullptr || api_.mysql_close == nullptr) return;
    MySQLConnectionHandle* own = ownConnection_;
    ownConnection_ = nullptr;
    try {
        api_.mysql_close(own);
    } catch (...) {
        // mysql_close bound to the missing-entry operation: nothing left to close with.
    }
}

void TMySQLLibrary::UnLoad() {
    if (!loaded_) return;
    CloseOwnConnection();
    if (!ReleaseModule(module_)) MySQLError(this, nullptr, -1, "", -1, -1);
    module_ = nullptr;
    // Entries into a released library must never be called again.
    api_ = MySQLApiTable{};
    loaded_ = false;
    ownConnection_ = nullptr;
    clientVersion_ = 0;
    serverVersion_ = 0;
}

int TMySQLLibrary::FieldLayoutVersion() {
    int version = TMySQLBase::FieldLayoutVersion();
    if (version < kFieldLayout411 && module_ != nullptr &&
        (FindProc(module_, "mariadb_get_info") != nullptr || FindProc(module_, "mariadb_connection") != nullptr))
        return kFieldLayout411;
    return version;
}

std::string TMySQLLibrary::EscapeStr(std::string_view text) {
    EnsureLoaded();
    if (ownConnection_ == nullptr) MySQLError(this, nullptr, -1, "No server connection", -1, -1);
    return TMySQLBase::EscapeStr(text);
}

}  // namespace velmysql
