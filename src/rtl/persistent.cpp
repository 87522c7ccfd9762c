#include "velmysql/rtl/persistent.h"

#include <cxxabi.h>

#include <cstdlib>
#include <typeinfo>

#include "rtl/registry_names.h"

namespace velmysql {

std::string TObject::ClassName() const {
    const std::type_info& type = typeid(*this);
    if (const std::string* registered = RegisteredClassName(type)) return *registered;
    int status = 0;
    char* demangled = abi::__cxa_demangle(type.name(), nullptr, nullptr, &status);
    std::string name = status == 0 && demangled ? demangled : type.name();
    std::free(demangled);
    // Drop namespaces; template arguments keep theirs, which is harmless for a label.
    size_t cut = name.rfind("::", name.find('<'));
    if (cut != std::string::npos) name.erase(0, cut + 2);
    return name;
}

void TPersistent::Assign(const TPersistent* Source) {
    if (Source) {
        Source->AssignTo(this);
        return;
    }
    throw EConvertError("Cannot assign a nil to a " + ClassName());
}

void TPersistent::AssignTo(TPersistent* Dest) const {
    throw EConvertError("Cannot assign a " + ClassName() + " to a " +
                        (Dest ? Dest->ClassName() : std::string("nil")));
}

std::string TPersistent::EventHandlerName(std::string_view Property) const {
    if (!handlerNames_) return {};
    auto it = handlerNames_->find(Property);
    return it == handlerNames_->end() ? std::string() : it->second;
}

void TPersistent::SetEventHandlerName(std::string_view Property, std::string Handler) {
    if (Handler.empty()) {
        if (handlerNames_) handlerNames_->erase(std::string(Property));
        return;
    }
    if (!handlerNames_) handlerNames_ = std::make_unique<std::map<std::string, std::string, std::less<>>>();
    (*handlerNames_)[std::string(Property)] = std::move(Handler);
}

}  // namespace velmysql
