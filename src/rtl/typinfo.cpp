#include "velmysql/rtl/typinfo.h"

#include <map>
#include <mutex>

#include "rtl/registry_names.h"
#include "velmysql/rtl/strings.h"

namespace velmysql {

namespace {

std::string Lower(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
    return out;
}

struct Registry {
    std::mutex lock;
    // Descriptions live for the whole process; a class described again replaces the
    // lookup, the old description stays valid for whoever holds it.
    std::vector<std::unique_ptr<TClassInfo>> all;
    std::map<std::type_index, const TClassInfo*> byType;
    std::map<std::string, const TClassInfo*> byName;  // registered classes, lower-case names
};

Registry& Classes() {
    static Registry* registry = new Registry;
    return *registry;
}

}  // namespace

bool TPropInfo::ReadOnly() const {
    switch (Kind) {
        case tkInteger:
        case tkBoolean:
        case tkEnumeration:
        case tkSet: return !SetOrd;
        case tkFloat: return !SetFloat;
        case tkString: return !SetStr;
        case tkComponent: return !SetComponent;
        case tkMethod: return !SetMethod;
        case tkObject:
        case tkStrings:
        case tkCollection:
        case tkObsolete: return false;
    }
    return true;
}

bool TPropInfo::IsDefault(TPersistent& Instance) const {
    switch (Kind) {
        case tkInteger:
        case tkBoolean:
        case tkEnumeration:
        case tkSet: return OrdDefault && GetOrd(Instance) == *OrdDefault;
        case tkFloat: return FloatDefault && GetFloat(Instance) == *FloatDefault;
        case tkString: return StrDefault && GetStr(Instance) == *StrDefault;
        case tkStrings: {
            TStrings* list = GetStrings(Instance);
            return !list || list->Count() == 0;
        }
        case tkCollection: {
            auto* c = static_cast<TCollection*>(GetObject(Instance));
            return !c || c->Count() == 0;
        }
        case tkComponent: return GetComponent(Instance) == nullptr;
        case tkMethod: return !Assigned(Instance);
        case tkObject: return GetObject(Instance) == nullptr;
        case tkObsolete: return true;
    }
    return false;
}

bool TClassInfo::InheritsFrom(const TClassInfo* Other) const {
    for (const TClassInfo* c = this; c; c = c->parent_)
        if (c == Other) return true;
    return false;
}

const TPropInfo* TClassInfo::FindProperty(std::string_view Name) const {
    for (const TPropInfo* p : all_)
        if (SameText(p->Name, Name)) return p;
    return nullptr;
}

TComponent* TClassInfo::CreateComponent(TComponent* Owner) const {
    if (!factory_) throw EPropertyError("Cannot create an instance of " + name_);
    return factory_(Owner);
}

void TClassInfo::Finish() {
    if (parent_) all_ = parent_->all_;
    for (const auto& p : own_) {
        bool replaced = false;
        for (const TPropInfo*& q : all_)
            if (SameText(q->Name, p->Name)) {
                q = p.get();
                replaced = true;
            }
        if (!replaced) all_.push_back(p.get());
    }
}

namespace detail {

std::unique_ptr<TClassInfo> NewClassInfo(std::string Name, const TClassInfo* Parent, std::type_index Type) {
    return std::unique_ptr<TClassInfo>(new TClassInfo(std::move(Name), Parent, Type));
}

void SetFactory(TClassInfo& Info, TClassInfo::TFactory Factory) { Info.factory_ = std::move(Factory); }

void AddProperty(TClassInfo& Info, std::unique_ptr<TPropInfo> Prop) {
    for (const auto& p : Info.own_)
        if (SameText(p->Name, Prop->Name))
            throw EPropertyError("Property " + Prop->Name + " is described twice in " + Info.name_);
    Info.own_.push_back(std::move(Prop));
}

TPropInfo& LastProperty(TClassInfo& Info) {
    if (Info.own_.empty()) throw EPropertyError("No property to qualify in " + Info.name_);
    return *Info.own_.back();
}

const TClassInfo& Publish(std::unique_ptr<TClassInfo> Info) {
    Info->Finish();
    Registry& r = Classes();
    std::lock_guard<std::mutex> guard(r.lock);
    const TClassInfo* raw = Info.get();
    r.all.push_back(std::move(Info));
    r.byType[raw->Type()] = raw;
    RememberClassName(raw->Type(), raw->Name());
    return *raw;
}

}  // namespace detail

const TClassInfo* FindClassInfo(const std::type_info& Type) {
    Registry& r = Classes();
    std::lock_guard<std::mutex> guard(r.lock);
    auto it = r.byType.find(std::type_index(Type));
    return it == r.byType.end() ? nullptr : it->second;
}

const TClassInfo& ClassInfoOf(const TPersistent& Instance) {
    const TClassInfo* info = FindClassInfo(typeid(Instance));
    if (!info) throw EPropertyError("Class " + Instance.ClassName() + " has no description of its persisted properties");
    return *info;
}

void RegisterClass(const TClassInfo& Info) {
    Registry& r = Classes();
    std::lock_guard<std::mutex> guard(r.lock);
    r.byName[Lower(Info.Name())] = &Info;
}

void UnRegisterClass(const TClassInfo& Info) {
    Registry& r = Classes();
    std::lock_guard<std::mutex> guard(r.lock);
    auto it = r.byName.find(Lower(Info.Name()));
    if (it != r.byName.end() && it->second == &Info) r.byName.erase(it);
}

const TClassInfo* FindClass(std::string_view Name) {
    Registry& r = Classes();
    std::lock_guard<std::mutex> guard(r.lock);
    auto it = r.byName.find(Lower(Name));
    return it == r.byName.end() ? nullptr : it->second;
}

const TClassInfo& GetClass(std::string_view Name) {
    const TClassInfo* info = FindClass(Name);
    if (!info) throw EPropertyError("Class " + std::string(Name) + " not found");
    return *info;
}

}  // namespace velmysql
