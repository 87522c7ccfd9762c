#include "rtl/registry_names.h"

#include <map>
#include <memory>
#include <mutex>
#include <typeindex>

namespace velmysql {

namespace {

struct NameTable {
    std::mutex lock;
    // Values are never erased, so pointers to them stay valid.
    std::map<std::type_index, std::unique_ptr<const std::string>> names;
};

NameTable& Table() {
    static NameTable table;
    return table;
}

}  // namespace

const std::string* RegisteredClassName(const std::type_info& Type) {
    NameTable& t = Table();
    std::lock_guard<std::mutex> guard(t.lock);
    auto it = t.names.find(std::type_index(Type));
    return it == t.names.end() ? nullptr : it->second.get();
}

void RememberClassName(std::type_index Type, const std::string& Name) {
    NameTable& t = Table();
    std::lock_guard<std::mutex> guard(t.lock);
    t.names.try_emplace(Type, std::make_unique<const std::string>(Name));
}

}  // namespace velmysql
