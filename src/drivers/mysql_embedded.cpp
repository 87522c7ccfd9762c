#include "velmysql/drivers/mysql_embedded.h"

#include <dlfcn.h>

#include <cstdlib>
#include <map>
#include <memory>
#include <mutex>

#include "velmysql/drivers/connect_options.h"
#include "drivers/program_path.h"

namespace velmysql {

// One record per embedded-server library file loaded in this process. Records live until
// the process exits: the library is never released and its server never restarted.
struct EmbeddedLibraryState {
    void* module = nullptr;
    bool started = false;
    // A failed start cannot be retried: the library crashes on the next mysql_server_init
    // or mysql_init.
    bool failed = false;
    void (*serverEnd)() = nullptr;
    // The argument texts the server was started with; it may keep pointers into them.
    std::vector<std::string> arguments, groups;
    std::vector<char*> argv, groupv;
};

namespace {

struct EmbeddedRegistry {
    std::mutex mutex;
    // One state per loaded library. Two file names may name the same library (a link and
    // its target): the platform then answers the same module, and the names share a state.
    std::map<void*, std::unique_ptr<EmbeddedLibraryState>> libraries;
    std::map<std::string, void*> names;
    bool exitHandlerRegistered = false;
};

EmbeddedRegistry& Registry() {
    // Never destroyed: the exit handler below still reads it after static destructors may
    // have started.
    static EmbeddedRegistry* registry = new EmbeddedRegistry;
    return *registry;
}

void EndEmbeddedServers() {
    EmbeddedRegistry& r = Registry();
    std::lock_guard<std::mutex> lock(r.mutex);
    for (auto& [module, lib] : r.libraries) {
        if (lib->started && lib->serverEnd != nullptr) lib->serverEnd();
        lib->started = false;
    }
}

EmbeddedLibraryState* FindLibrary(EmbeddedRegistry& r, void* module) {
    auto it = r.libraries.find(module);
    return it == r.libraries.end() ? nullptr : it->second.get();
}

}  // namespace

std::vector<std::string> EmbeddedServerArguments(const std::string& programPath,
                                                 const std::vector<std::string>& options) {
    std::vector<std::string> args{programPath};
    for (const std::string& line : options)
        if (!IsConnectOptionLine(line)) args.push_back("--" + line);
    return args;
}

std::vector<std::string> EmbeddedServerGroups(const std::string& programPath) {
    return {programPath + "_SERVER", "embedded", "server"};
}

TMySQLEmbedded::TMySQLEmbedded(std::string_view optionText) : TMySQLLibrary(optionText) {}

TMySQLEmbedded::~TMySQLEmbedded() { Shutdown(); }

std::string TMySQLEmbedded::GetClientDLL() const { return clientDLL_.empty() ? "libmysqld.so" : clientDLL_; }

bool TMySQLEmbedded::ServerStarted(const std::string& file) {
    EmbeddedRegistry& r = Registry();
    std::lock_guard<std::mutex> lock(r.mutex);
    auto name = r.names.find(file);
    if (name == r.names.end()) return false;
    EmbeddedLibraryState* lib = FindLibrary(r, name->second);
    return lib != nullptr && lib->started;
}

void* TMySQLEmbedded::AcquireModule(const std::string& file) {
    EmbeddedRegistry& r = Registry();
    std::lock_guard<std::mutex> lock(r.mutex);
    auto name = r.names.find(file);
    if (name != r.names.end()) return name->second;
    void* module = TMySQLLibrary::AcquireModule(file);
    if (module == nullptr) return nullptr;
    if (FindLibrary(r, module) != nullptr) {
        dlclose(module);  // drop the extra reference; the first one is kept for good
    } else {
        auto lib = std::make_unique<EmbeddedLibraryState>();
        lib->module = module;
        r.libraries.emplace(module, std::move(lib));
    }
    r.names.emplace(file, module);
    return module;
}

bool TMySQLEmbedded::ReleaseModule(void*) { return true; }

void TMySQLEmbedded::Bind() {
    TMySQLLibrary::Bind();
    BindProc(embeddedApi_.mysql_server_init, module_, "mysql_server_init");
    BindProc(embeddedApi_.mysql_server_end, module_, "mysql_server_end");
}

void TMySQLEmbedded::Load() {
    TMySQLLibrary::Load();
    if (loaded_) StartServer();
}

int TMySQLEmbedded::InitServer(EmbeddedLibraryState& lib, const std::vector<std::string>& options) {
    std::string program = drivers_detail::ProgramPath();
    lib.arguments = EmbeddedServerArguments(program, options);
    lib.groups = EmbeddedServerGroups(program);
    lib.argv.clear();
    for (std::string& a : lib.arguments) lib.argv.push_back(a.data());
    lib.argv.push_back(nullptr);
    lib.groupv.clear();
    for (std::string& g : lib.groups) lib.groupv.push_back(g.data());
    lib.groupv.push_back(nullptr);
    return embeddedApi_.mysql_server_init(static_cast<int>(lib.arguments.size()), lib.argv.data(), lib.groupv.data());
}

void TMySQLEmbedded::StartServer() {
    EmbeddedRegistry& r = Registry();
    int status = 0;
    {
        std::lock_guard<std::mutex> lock(r.mutex);
        EmbeddedLibraryState* lib = FindLibrary(r, module_);
        if (lib == nullptr || lib->started) return;
        status = lib->failed ? 1 : InitServer(*lib, OptionLines());
        lib->failed = status != 0;
        if (status == 0) {
            lib->started = true;
            // Bound directly: the exit handler must not depend on any driver object.
            lib->serverEnd = reinterpret_cast<void (*)()>(dlsym(module_, "mysql_server_end"));
            if (!r.exitHandlerRegistered) {
                r.exitHandlerRegistered = true;
                std::atexit(EndEmbeddedServers);
            }
        }
    }
    if (status == 0) return;
    // The error is composed while the library is still bound; then the driver is left
    // unloaded so that nothing calls into a library whose server did not start (its
    // mysql_init would start one with the machine's defaults, or crash).
    try {
        MySQLError(this, nullptr, -1, "", -1, -1);
    } catch (...) {
        UnLoad();
        throw;
    }
}

void TMySQLEmbedded::UnLoad() {
    if (!loaded_) return;
    TMySQLLibrary::UnLoad();
    embeddedApi_ = MySQLEmbeddedApiTable{};
}

void TMySQLEmbedded::PrepareConnection(MySQLConnectionHandle* handle) {
    std::string group = drivers_detail::ProgramPath() + "_SERVER";
    api_.mysql_options(handle, MYSQL_READ_DEFAULT_GROUP, group.c_str());
}

}  // namespace velmysql
