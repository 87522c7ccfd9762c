#pragma once
// Components in text forms: writing a component with the components it owns, and
// reading such a form back into live components.
//
//   object MySQLServer1: TMySQLServer
//     Host = 'db.example.com'
//     Options = [coInteractive, coTransactions, coProtocol41]
//     Params.Strings = (
//       '[client]'
//       'user=app')
//     DriverProperties.Options.Strings = (
//       'connect_timeout=5')
//     AfterConnect = ServerAfterConnect
//   end
//
// Strings are in single quotes (a quote doubled inside; #N for a byte by number, parts
// joined by writing them next to each other or with +), sets in brackets, string lists
// in parentheses, collections in angle brackets holding `item ... end` blocks,
// enumeration elements, booleans, events and component references as identifiers.
//
// Which properties exist, how they are read and written and when they are stored comes
// from each class's description (typinfo.h). Every component of a form is owned by the
// form's root; the writer nests the root's components inside it.

#include <any>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <typeindex>
#include <vector>

#include "velmysql/rtl/component.h"
#include "velmysql/rtl/stream.h"

namespace velmysql {

class TClassInfo;
struct TPropInfo;

// Syntax error in a form, or a form that does not fit the classes it names. The message
// names the property (when there is one) and the line.
class EFormError : public EReadError {
public:
    EFormError(std::string Message, int Line) : EReadError(std::move(Message)), line_(Line) {}
    int Line() const { return line_; }

private:
    int line_;
};

struct TFormItem;

// A property value as written in a form.
struct TFormValue {
    enum TKind { fvInteger, fvFloat, fvString, fvIdent, fvSet, fvList, fvCollection };
    TKind Kind = fvInteger;
    int64_t Integer = 0;
    double Float = 0;
    std::string Text;                    // fvString: the bytes; fvIdent: the identifier
    std::vector<std::string> Items;      // fvSet: element names; fvList: the lines
    std::vector<TFormItem> Collection;   // fvCollection
    int Line = 0;
};

struct TFormProperty {
    std::string Name;  // may be a path: DriverProperties.Options.Strings
    TFormValue Value;
    int Line = 0;
};

struct TFormItem {
    std::vector<TFormProperty> Properties;
    int Line = 0;
};

struct TFormObject {
    std::string Name;  // empty for an unnamed component
    std::string ClassName;
    std::vector<TFormProperty> Properties;
    std::vector<TFormObject> Children;
    int Line = 0;
};

// Text <-> tree, without looking at any class.
TFormObject ParseForm(std::string_view Text);
std::string FormatForm(const TFormObject& Form);

// Answers the handler bound to Handler for an event of type EventType: a std::any
// holding exactly that std::function type, or an empty any when there is none.
using TMethodResolver = std::function<std::any(const std::string& Handler, std::type_index EventType)>;

struct TReadOptions {
    // Binds event handlers by name; without it a form that names a handler fails.
    TMethodResolver Resolver;
    // Finds components outside the form for references the form cannot resolve
    // (the reference text, possibly Root.Name, is passed as is).
    std::function<TComponent*(const std::string& Name)> FindGlobalComponent;
};

// Creates the root component of Text's class (which must be registered) and reads the
// form into it. The caller owns the result. On any error nothing is left behind.
std::unique_ptr<TComponent> ReadComponentText(std::string_view Text, const TReadOptions& Options = {});
// Reads Text into an existing root of the form's class (or a descendant). Components the
// root already owns under a name in the form are read into, not created again.
void ReadComponentTextInto(TComponent& Root, std::string_view Text, const TReadOptions& Options = {});

// The form of Root and the components it owns.
TFormObject WriteComponentForm(TComponent& Root);
std::string WriteComponentText(TComponent& Root);

// Applies the form to live objects; used by the functions above. Friend of TComponent
// so that it can mark components as loading and call Loaded.
class TReader {
public:
    TReader(TComponent& Root, const TReadOptions& Options) : root_(Root), options_(Options) {}
    void Read(const TFormObject& Form);

private:
    struct Fixup {
        TPersistent* instance;
        const TPropInfo* prop;
        std::string reference;
        std::string path;
        int line;
    };
    void ReadComponent(TComponent& Component, const TFormObject& Form);
    void ReadProperties(TPersistent& Instance, const std::vector<TFormProperty>& Props, const std::string& Path);
    void ReadProperty(TPersistent& Instance, const TFormProperty& Prop, const std::string& Path);
    void Apply(TPersistent& Instance, const TPropInfo& Info, const TFormValue& Value, const std::string& Path);
    TComponent* Resolve(const std::string& Reference) const;

    TComponent& root_;
    const TReadOptions& options_;
    std::vector<TComponent*> loaded_;
    std::vector<Fixup> fixups_;
};

}  // namespace velmysql
