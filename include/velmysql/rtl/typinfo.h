#pragma once
// Persisted properties: what each class stores in a form, and the class registry.
//
// A class describes its persisted properties once, in declaration order, through a
// static ClassInfo() built with TClassBuilder, naming its parent's description so that
// inherited properties come first. RegisterClass<T>() then lets a form reader create it
// by name. For example:
//
//   // server.h
//   class TMySQLServer : public TCustomConnection {
//   public:
//       static const TClassInfo& ClassInfo();
//       ...
//   };
//
//   // server.cpp
//   const TClassInfo& TMySQLServer::ClassInfo() {
//       static const TClassInfo& info =
//           TClassBuilder<TMySQLServer>("TMySQLServer", &TCustomConnection::ClassInfo())
//               .String("ClientVersion", &TMySQLServer::ClientVersion, nullptr)  // read only:
//               .NotStored()                                                     // never written
//               .Enum<TMySQLDriverType>("DriverKind", &TMySQLServer::DriverKind,
//                                       &TMySQLServer::SetDriverKind,
//                                       {"dtDirect", "dtEmbedded", "dtLibrary"}, dtDirect)
//               .Object("DriverProperties", [](TMySQLServer& s) { return s.GetDriver(); })
//               .String("Host", &TMySQLServer::Host, &TMySQLServer::SetHost)   // no default: always written
//               .Integer<uint16_t>("Port", &TMySQLServer::Port, &TMySQLServer::SetPort, 3306)
//               .Strings("Params", [](TMySQLServer& s) { return &s.Params(); },
//                        &TMySQLServer::SetParams)                // optional setter gets the read list
//               .Set<TMySQLServerOption>("Options", &TMySQLServer::Options, &TMySQLServer::SetOptions,
//                                        {"coLongPassword", ...}, {coInteractive, coTransactions, coProtocol41})
//               .Boolean("Compression", &TMySQLServer::Compression, &TMySQLServer::SetCompression, false)
//               .Stored([](const TMySQLServer& s) { return !s.Options().Contains(coCompress); })
//               .Event<TNotifyEvent>("AfterConnect", &TMySQLServer::AfterConnect,
//                                    &TMySQLServer::SetAfterConnect)
//               .Obsolete("Intervals")                 // accepted when read, never written
//               .Build();
//       return info;
//   }
//
//   // a dataset's reference to its server, resolved after the whole form is read:
//   .Component<TMySQLServer>("Server", &TMySQLDatasetBase::Server, &TMySQLDatasetBase::SetServer)
//   // a collection (TFieldDefs derives from TCollection; its items describe themselves):
//   .Collection("FieldDefs", [](TMySQLDataset& d) { return &d.FieldDefs(); })
//
//   // at start-up (or in a design tool's Register):
//   RegisterClass<TMySQLServer>();
//
// Getters and setters are member functions or callables taking the object; a null
// setter makes a property read only (written only if stored, never read). A default
// means "not written while the value equals it"; without one the property is always
// written. Stored(...) adds a condition under which the property is written at all.
// Names are matched without letter case, like the framework's identifiers.

#include <any>
#include <cstdint>
#include <functional>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <typeindex>
#include <typeinfo>
#include <utility>
#include <vector>

#include "velmysql/rtl/collection.h"
#include "velmysql/rtl/component.h"
#include "velmysql/rtl/exception.h"
#include "velmysql/rtl/persistent.h"
#include "velmysql/rtl/set.h"

namespace velmysql {

class TStrings;
struct TFormValue;

enum TTypeKind {
    tkInteger,      // signed 64-bit value (also unsigned types within range)
    tkFloat,        // double
    tkString,       // byte string
    tkBoolean,      // True / False
    tkEnumeration,  // one element name
    tkSet,          // [element, ...]
    tkObject,       // a sub-object whose properties are stored as Name.Property
    tkStrings,      // a string list: Name.Strings = ( 'line' ... )
    tkCollection,   // Name = < item ... end >
    tkComponent,    // a reference to another component by name, resolved after reading
    tkMethod,       // an event, stored as its handler's name
    tkObsolete,     // an old key: read (and handed to a handler, if any), never written
};

class EPropertyError : public Exception {
public:
    using Exception::Exception;
};

// One persisted property. Accessors take the object as a TPersistent of the describing
// class (or a descendant); which ones are set depends on Kind.
struct TPropInfo {
    std::string Name;
    TTypeKind Kind = tkInteger;

    // tkInteger, tkBoolean (0/1), tkEnumeration (ordinal), tkSet (bits)
    std::function<int64_t(const TPersistent&)> GetOrd;
    std::function<void(TPersistent&, int64_t)> SetOrd;
    int64_t MinValue = std::numeric_limits<int64_t>::min();
    int64_t MaxValue = std::numeric_limits<int64_t>::max();
    std::optional<int64_t> OrdDefault;
    std::vector<std::string> ElementNames;  // tkEnumeration, tkSet

    std::function<double(const TPersistent&)> GetFloat;
    std::function<void(TPersistent&, double)> SetFloat;
    std::optional<double> FloatDefault;

    std::function<std::string(const TPersistent&)> GetStr;
    std::function<void(TPersistent&, const std::string&)> SetStr;
    std::optional<std::string> StrDefault;

    // tkObject: the sub-object (null: nothing to store); tkCollection: the collection
    std::function<TPersistent*(TPersistent&)> GetObject;

    // tkStrings: the list; SetStrings, when given, receives the lines read instead of
    // the list being filled in place.
    std::function<TStrings*(TPersistent&)> GetStrings;
    std::function<void(TPersistent&, const TStrings&)> SetStrings;

    // tkComponent: SetComponent raises EPropertyError when the component is of the
    // wrong class.
    std::function<TComponent*(const TPersistent&)> GetComponent;
    std::function<void(TPersistent&, TComponent*)> SetComponent;

    // tkMethod: Assigned tells whether a handler is set; SetMethod takes a std::any
    // holding exactly MethodType (an empty any clears the event).
    std::function<bool(const TPersistent&)> Assigned;
    std::function<void(TPersistent&, const std::any&)> SetMethod;
    std::type_index MethodType = typeid(void);

    // tkObsolete: receives the value read, when given.
    std::function<void(TPersistent&, const TFormValue&)> ReadObsolete;

    // Null: always stored.
    std::function<bool(const TPersistent&)> Stored;

    bool ReadOnly() const;
    bool IsStored(const TPersistent& Instance) const { return !Stored || Stored(Instance); }
    // True when the value equals the default (and so is not written).
    bool IsDefault(TPersistent& Instance) const;
};

class TClassInfo;
namespace detail {
const TClassInfo& Publish(std::unique_ptr<TClassInfo> Info);
std::unique_ptr<TClassInfo> NewClassInfo(std::string Name, const TClassInfo* Parent, std::type_index Type);
void SetFactory(TClassInfo& Info, std::function<TComponent*(TComponent*)> Factory);
void AddProperty(TClassInfo& Info, std::unique_ptr<TPropInfo> Prop);
TPropInfo& LastProperty(TClassInfo& Info);
}  // namespace detail

class TClassInfo {
public:
    using TFactory = std::function<TComponent*(TComponent* Owner)>;

    const std::string& Name() const { return name_; }
    const TClassInfo* Parent() const { return parent_; }
    std::type_index Type() const { return type_; }
    bool InheritsFrom(const TClassInfo* Other) const;

    // Every property, the parent's first; a property the class declares again replaces
    // the parent's in its place.
    const std::vector<const TPropInfo*>& Properties() const { return all_; }
    // The property called Name (letter case ignored), or null.
    const TPropInfo* FindProperty(std::string_view Name) const;

    // True for a component class with a constructor taking the owner.
    bool CanCreate() const { return static_cast<bool>(factory_); }
    // Creates a component of this class owned by Owner (the owner frees it; without
    // owner the caller does). EPropertyError when the class cannot be created.
    TComponent* CreateComponent(TComponent* Owner) const;

private:
    friend const TClassInfo& detail::Publish(std::unique_ptr<TClassInfo>);
    friend std::unique_ptr<TClassInfo> detail::NewClassInfo(std::string, const TClassInfo*, std::type_index);
    friend void detail::SetFactory(TClassInfo&, std::function<TComponent*(TComponent*)>);
    friend void detail::AddProperty(TClassInfo&, std::unique_ptr<TPropInfo>);
    friend TPropInfo& detail::LastProperty(TClassInfo&);
    TClassInfo(std::string Name, const TClassInfo* Parent, std::type_index Type)
        : name_(std::move(Name)), parent_(Parent), type_(Type) {}
    void Finish();

    std::string name_;
    const TClassInfo* parent_;
    std::type_index type_;
    TFactory factory_;
    std::vector<std::unique_ptr<TPropInfo>> own_;
    std::vector<const TPropInfo*> all_;
};

// The description of Type, or null when it has none.
const TClassInfo* FindClassInfo(const std::type_info& Type);
// The description of Instance's own class; EPropertyError when it has none.
const TClassInfo& ClassInfoOf(const TPersistent& Instance);

// The class registry the form reader creates components from.
void RegisterClass(const TClassInfo& Info);
template <class T>
void RegisterClass() {
    RegisterClass(T::ClassInfo());
}
// The registered class called Name (letter case ignored), or null.
const TClassInfo* FindClass(std::string_view Name);
// As FindClass, but EPropertyError "Class X not found" when there is none.
const TClassInfo& GetClass(std::string_view Name);
void UnRegisterClass(const TClassInfo& Info);

namespace detail {
template <class T, class F>
decltype(auto) Get(const F& f, const TPersistent& o) {
    return std::invoke(f, static_cast<const T&>(o));
}
template <class T, class F, class V>
void Put(const F& f, TPersistent& o, V&& v) {
    std::invoke(f, static_cast<T&>(o), std::forward<V>(v));
}
template <class F>
bool IsNull(const F& f) {
    if constexpr (std::is_same_v<F, std::nullptr_t>)
        return true;
    else if constexpr (std::is_pointer_v<F> || std::is_member_pointer_v<F>)
        return f == nullptr;
    else if constexpr (requires { static_cast<bool>(f); })
        return !static_cast<bool>(f);
    else
        return false;
}
}  // namespace detail

// Builds the description of class T. The parent's description must exist already
// (pass Parent::ClassInfo()); a component class gets a factory when it can be
// constructed from its owner.
template <class T>
class TClassBuilder {
public:
    TClassBuilder(std::string Name, const TClassInfo* Parent)
        : info_(detail::NewClassInfo(std::move(Name), Parent, typeid(T))) {
        if constexpr (std::is_base_of_v<TComponent, T> && std::is_constructible_v<T, TComponent*> &&
                      !std::is_abstract_v<T>)
            detail::SetFactory(*info_, [](TComponent* Owner) -> TComponent* { return new T(Owner); });
    }

    template <class IntT = int64_t, class G, class S>
    TClassBuilder& Integer(std::string Name, G Get, S Set, std::optional<int64_t> Default = std::nullopt) {
        auto p = Make(std::move(Name), tkInteger);
        p->GetOrd = [Get](const TPersistent& o) { return static_cast<int64_t>(detail::Get<T>(Get, o)); };
        if (!detail::IsNull(Set))
            if constexpr (!std::is_same_v<S, std::nullptr_t>)
                p->SetOrd = [Set](TPersistent& o, int64_t v) { detail::Put<T>(Set, o, static_cast<IntT>(v)); };
        static_assert(std::is_integral_v<IntT>);
        p->MinValue = static_cast<int64_t>(std::numeric_limits<IntT>::min());
        if constexpr (std::is_unsigned_v<IntT> && sizeof(IntT) >= sizeof(int64_t))
            p->MaxValue = std::numeric_limits<int64_t>::max();
        else
            p->MaxValue = static_cast<int64_t>(std::numeric_limits<IntT>::max());
        p->OrdDefault = Default;
        return Add(std::move(p));
    }

    template <class G, class S>
    TClassBuilder& Boolean(std::string Name, G Get, S Set, std::optional<bool> Default = std::nullopt) {
        auto p = Make(std::move(Name), tkBoolean);
        p->GetOrd = [Get](const TPersistent& o) { return static_cast<int64_t>(bool(detail::Get<T>(Get, o))); };
        if (!detail::IsNull(Set))
            if constexpr (!std::is_same_v<S, std::nullptr_t>)
                p->SetOrd = [Set](TPersistent& o, int64_t v) { detail::Put<T>(Set, o, v != 0); };
        p->MinValue = 0;
        p->MaxValue = 1;
        if (Default) p->OrdDefault = *Default ? 1 : 0;
        return Add(std::move(p));
    }

    template <class G, class S>
    TClassBuilder& Float(std::string Name, G Get, S Set, std::optional<double> Default = std::nullopt) {
        auto p = Make(std::move(Name), tkFloat);
        p->GetFloat = [Get](const TPersistent& o) { return static_cast<double>(detail::Get<T>(Get, o)); };
        if (!detail::IsNull(Set))
            if constexpr (!std::is_same_v<S, std::nullptr_t>)
                p->SetFloat = [Set](TPersistent& o, double v) { detail::Put<T>(Set, o, v); };
        p->FloatDefault = Default;
        return Add(std::move(p));
    }

    template <class G, class S>
    TClassBuilder& String(std::string Name, G Get, S Set, std::optional<std::string> Default = std::nullopt) {
        auto p = Make(std::move(Name), tkString);
        p->GetStr = [Get](const TPersistent& o) { return std::string(detail::Get<T>(Get, o)); };
        if (!detail::IsNull(Set))
            if constexpr (!std::is_same_v<S, std::nullptr_t>)
                p->SetStr = [Set](TPersistent& o, const std::string& v) { detail::Put<T>(Set, o, v); };
        p->StrDefault = std::move(Default);
        return Add(std::move(p));
    }

    template <class E, class G, class S>
    TClassBuilder& Enum(std::string Name, G Get, S Set, std::vector<std::string> Elements,
                        std::optional<E> Default = std::nullopt) {
        auto p = Make(std::move(Name), tkEnumeration);
        p->GetOrd = [Get](const TPersistent& o) { return static_cast<int64_t>(E(detail::Get<T>(Get, o))); };
        if (!detail::IsNull(Set))
            if constexpr (!std::is_same_v<S, std::nullptr_t>)
                p->SetOrd = [Set](TPersistent& o, int64_t v) { detail::Put<T>(Set, o, static_cast<E>(v)); };
        p->MinValue = 0;
        p->MaxValue = static_cast<int64_t>(Elements.size()) - 1;
        p->ElementNames = std::move(Elements);
        if (Default) p->OrdDefault = static_cast<int64_t>(*Default);
        return Add(std::move(p));
    }

    template <class E, class G, class S>
    TClassBuilder& Set(std::string Name, G Get, S Setter, std::vector<std::string> Elements,
                       std::optional<TSet<E>> Default = std::nullopt) {
        auto p = Make(std::move(Name), tkSet);
        p->GetOrd = [Get](const TPersistent& o) {
            return static_cast<int64_t>(TSet<E>(detail::Get<T>(Get, o)).Bits());
        };
        if (!detail::IsNull(Setter))
            if constexpr (!std::is_same_v<S, std::nullptr_t>)
                p->SetOrd = [Setter](TPersistent& o, int64_t v) {
                    detail::Put<T>(Setter, o, TSet<E>::FromBits(static_cast<uint64_t>(v)));
                };
        p->ElementNames = std::move(Elements);
        if (Default) p->OrdDefault = static_cast<int64_t>(Default->Bits());
        return Add(std::move(p));
    }

    // A sub-object stored in place as Name.Property = ...; Get answers the object (or null).
    template <class G>
    TClassBuilder& Object(std::string Name, G Get) {
        auto p = Make(std::move(Name), tkObject);
        p->GetObject = [Get](TPersistent& o) -> TPersistent* {
            return std::invoke(Get, static_cast<T&>(o));
        };
        return Add(std::move(p));
    }

    template <class G, class S = std::nullptr_t>
    TClassBuilder& Strings(std::string Name, G Get, S Set = nullptr) {
        auto p = Make(std::move(Name), tkStrings);
        p->GetStrings = [Get](TPersistent& o) -> TStrings* { return std::invoke(Get, static_cast<T&>(o)); };
        if (!detail::IsNull(Set))
            if constexpr (!std::is_same_v<S, std::nullptr_t>)
                p->SetStrings = [Set](TPersistent& o, const TStrings& v) { detail::Put<T>(Set, o, v); };
        return Add(std::move(p));
    }

    template <class G>
    TClassBuilder& Collection(std::string Name, G Get) {
        auto p = Make(std::move(Name), tkCollection);
        p->GetObject = [Get](TPersistent& o) -> TPersistent* {
            TCollection* c = std::invoke(Get, static_cast<T&>(o));
            return c;
        };
        return Add(std::move(p));
    }

    // A reference to a component of class C (or a descendant).
    template <class C, class G, class S>
    TClassBuilder& Component(std::string Name, G Get, S Set) {
        auto p = Make(std::move(Name), tkComponent);
        p->GetComponent = [Get](const TPersistent& o) -> TComponent* {
            return AsComponentBase(detail::Get<T>(Get, o));
        };
        if (!detail::IsNull(Set))
            if constexpr (!std::is_same_v<S, std::nullptr_t>)
                p->SetComponent = [Set, n = p->Name](TPersistent& o, TComponent* c) {
                    C* typed = nullptr;
                    if (c) {
                        typed = dynamic_cast<C*>(c);
                        if (!typed) ThrowWrongClass(n, c);
                    }
                    detail::Put<T>(Set, o, typed);
                };
        return Add(std::move(p));
    }

    // An event of type Ev (a std::function type); Get answers the handler.
    template <class Ev, class G, class S>
    TClassBuilder& Event(std::string Name, G Get, S Set) {
        auto p = Make(std::move(Name), tkMethod);
        p->Assigned = [Get](const TPersistent& o) { return static_cast<bool>(detail::Get<T>(Get, o)); };
        p->SetMethod = [Set](TPersistent& o, const std::any& handler) {
            detail::Put<T>(Set, o, handler.has_value() ? std::any_cast<Ev>(handler) : Ev());
        };
        p->MethodType = typeid(Ev);
        return Add(std::move(p));
    }

    template <class H = std::nullptr_t>
    TClassBuilder& Obsolete(std::string Name, H Handler = nullptr) {
        auto p = Make(std::move(Name), tkObsolete);
        if constexpr (!std::is_same_v<H, std::nullptr_t>)
            p->ReadObsolete = [Handler](TPersistent& o, const TFormValue& v) {
                std::invoke(Handler, static_cast<T&>(o), v);
            };
        return Add(std::move(p));
    }

    // Conditions on the property added last.
    template <class F>
    TClassBuilder& Stored(F Condition) {
        detail::LastProperty(*info_).Stored = [Condition](const TPersistent& o) {
            return static_cast<bool>(std::invoke(Condition, static_cast<const T&>(o)));
        };
        return *this;
    }
    TClassBuilder& NotStored() {
        detail::LastProperty(*info_).Stored = [](const TPersistent&) { return false; };
        return *this;
    }

    // Publishes the description; answers it (it lives as long as the process).
    const TClassInfo& Build() { return detail::Publish(std::move(info_)); }

private:
    std::unique_ptr<TPropInfo> Make(std::string Name, TTypeKind Kind) {
        auto p = std::make_unique<TPropInfo>();
        p->Name = std::move(Name);
        p->Kind = Kind;
        return p;
    }
    TClassBuilder& Add(std::unique_ptr<TPropInfo> p) {
        detail::AddProperty(*info_, std::move(p));
        return *this;
    }
    template <class P>
    static TComponent* AsComponentBase(P* c) {
        return c;  // the implicit conversion checks that P is a component class
    }
    [[noreturn]] static void ThrowWrongClass(const std::string& Prop, TComponent* c);

    std::unique_ptr<TClassInfo> info_;
};

template <class T>
void TClassBuilder<T>::ThrowWrongClass(const std::string& Prop, TComponent* c) {
    throw EPropertyError("Invalid property value: " + static_cast<TObject*>(c)->ClassName() +
                         " cannot be assigned to " + Prop);
}

}  // namespace velmysql
