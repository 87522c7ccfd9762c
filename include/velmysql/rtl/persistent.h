#pragma once
// The root of the framework's class tree (TObject) and the base of every object whose
// state can be copied with Assign or persisted in a form (TPersistent).

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>

#include "velmysql/rtl/exception.h"

namespace velmysql {

class TObject {
public:
    TObject() = default;
    TObject(const TObject&) = delete;
    TObject& operator=(const TObject&) = delete;
    virtual ~TObject() = default;

    // The name the class was registered under for streaming; for an unregistered class
    // the C++ name without its namespace.
    std::string ClassName() const;
};

// The framework's plain notification event: the sender is the object that raised it.
using TNotifyEvent = std::function<void(TObject* Sender)>;

class TPersistent : public TObject {
public:
    // Copies Source's state into this object. The base asks Source to assign itself
    // (AssignTo) and fails with EConvertError when neither side knows the other.
    virtual void Assign(const TPersistent* Source);

    // The handler name bound to an event property. The form reader records it when it
    // binds a handler, and the writer stores it while the event stays assigned. Empty
    // when none is recorded.
    std::string EventHandlerName(std::string_view Property) const;
    void SetEventHandlerName(std::string_view Property, std::string Handler);

protected:
    // Called by Assign on the source: copy this object's state into Dest. The base
    // raises EConvertError "Cannot assign a <source> to a <dest>".
    virtual void AssignTo(TPersistent* Dest) const;

private:
    std::unique_ptr<std::map<std::string, std::string, std::less<>>> handlerNames_;
};

}  // namespace velmysql
