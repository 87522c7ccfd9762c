#include "velmysql/rtl/formstream.h"

#include <charconv>
#include <cmath>
#include <cstring>

#include "velmysql/rtl/strings.h"
#include "velmysql/rtl/typinfo.h"

namespace velmysql {

namespace {

bool IsIdentStart(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_'; }
bool IsIdentChar(char c) { return IsIdentStart(c) || (c >= '0' && c <= '9'); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// ---- text to tree

class Parser {
public:
    explicit Parser(std::string_view text) : s_(text) {}

    TFormObject ParseRoot() {
        SkipBlanks();
        TFormObject root = ParseObject();
        SkipBlanks();
        if (p_ < s_.size()) Fail("Text after the end of the form");
        return root;
    }

private:
    [[noreturn]] void Fail(const std::string& what) const {
        throw EFormError(what + " at line " + std::to_string(line_), line_);
    }

    void SkipBlanks() {
        while (p_ < s_.size()) {
            char c = s_[p_];
            if (c == '\n') {
                ++line_;
                ++p_;
            } else if (c == ' ' || c == '\t' || c == '\r') {
                ++p_;
            } else {
                break;
            }
        }
    }

    bool AtEnd() {
        SkipBlanks();
        return p_ >= s_.size();
    }

    char Peek() {
        SkipBlanks();
        return p_ < s_.size() ? s_[p_] : '\0';
    }

    void Expect(char c) {
        if (Peek() != c) Fail(std::string("'") + c + "' expected");
        ++p_;
    }

    // An identifier, possibly dotted (A.B.C) when Dotted.
    std::string Ident(bool dotted) {
        SkipBlanks();
        if (p_ >= s_.size() || !IsIdentStart(s_[p_])) Fail("Identifier expected");
        size_t start = p_;
        for (;;) {
            while (p_ < s_.size() && IsIdentChar(s_[p_])) ++p_;
            if (dotted && p_ + 1 < s_.size() && s_[p_] == '.' && IsIdentStart(s_[p_ + 1])) {
                ++p_;
                continue;
            }
            break;
        }
        return std::string(s_.substr(start, p_ - start));
    }

    bool PeekWord(std::string_view word) {
        SkipBlanks();
        if (s_.size() - p_ < word.size() || !SameText(s_.substr(p_, word.size()), word)) return false;
        size_t after = p_ + word.size();
        return after >= s_.size() || !IsIdentChar(s_[after]);
    }

    TFormObject ParseObject() {
        TFormObject obj;
        obj.Line = line_;
        if (!PeekWord("object")) Fail("'object' expected");
        p_ += 6;
        std::string first = Ident(false);
        if (Peek() == ':') {
            ++p_;
            obj.Name = first;
            obj.ClassName = Ident(false);
        } else {
            obj.ClassName = first;
        }
        for (;;) {
            if (AtEnd()) Fail("'end' expected");
            if (PeekWord("end")) {
                p_ += 3;
                return obj;
            }
            if (PeekWord("object")) {
                obj.Children.push_back(ParseObject());
                continue;
            }
            if (!obj.Children.empty()) Fail("Property after a nested object");
            obj.Properties.push_back(ParseProperty());
        }
    }

    TFormProperty ParseProperty() {
        TFormProperty prop;
        prop.Line = line_;
        SkipBlanks();
        prop.Line = line_;
        prop.Name = Ident(true);
        Expect('=');
        prop.Value = ParseValue();
        return prop;
    }

    TFormValue ParseValue() {
        TFormValue v;
        char c = Peek();
        v.Line = line_;
        if (c == '\'' || c == '#') {
            v.Kind = TFormValue::fvString;
            v.Text = ParseString();
        } else if (IsDigit(c) || c == '-' || c == '+' || c == '$') {
            ParseNumber(v);
        } else if (IsIdentStart(c)) {
            v.Kind = TFormValue::fvIdent;
            v.Text = Ident(true);
        } else if (c == '[') {
            ++p_;
            v.Kind = TFormValue::fvSet;
            if (Peek() != ']') {
                for (;;) {
                    v.Items.push_back(Ident(false));
                    if (Peek() == ',') {
                        ++p_;
                        continue;
                    }
                    break;
                }
            }
            Expect(']');
        } else if (c == '(') {
            ++p_;
            v.Kind = TFormValue::fvList;
            while (Peek() != ')') {
                char d = Peek();
                if (d != '\'' && d != '#') Fail("String expected in a list");
                v.Items.push_back(ParseString());
            }
            ++p_;
        } else if (c == '<') {
            ++p_;
            v.Kind = TFormValue::fvCollection;
            while (Peek() != '>') {
                TFormItem item;
                item.Line = line_;
                if (!PeekWord("item")) Fail("'item' expected");
                p_ += 4;
                for (;;) {
                    if (AtEnd()) Fail("'end' expected");
                    if (PeekWord("end")) {
                        p_ += 3;
                        break;
                    }
                    item.Properties.push_back(ParseProperty());
                }
                v.Collection.push_back(std::move(item));
            }
            ++p_;
        } else {
            Fail(c ? std::string("Unexpected '") + c + "'" : "Value expected");
        }
        return v;
    }

    // Quoted parts and #N bytes, next to each other or joined with '+'.
    std::string ParseString() {
        std::string out;
        for (;;) {
            char c = Peek();
            if (c == '\'') {
                ++p_;
                for (;;) {
                    if (p_ >= s_.size() || s_[p_] == '\n' || s_[p_] == '\r') Fail("Unterminated string");
                    if (s_[p_] == '\'') {
                        if (p_ + 1 < s_.size() && s_[p_ + 1] == '\'') {
                            out += '\'';
                            p_ += 2;
                            continue;
                        }
                        ++p_;
                        break;
                    }
                    out += s_[p_++];
                }
            } else if (c == '#') {
                ++p_;
                size_t start = p_;
                while (p_ < s_.size() && IsDigit(s_[p_])) ++p_;
                unsigned code = 0;
                auto r = std::from_chars(s_.data() + start, s_.data() + p_, code);
                if (start == p_ || r.ec != std::errc() || code > 255) Fail("Invalid character code");
                out += static_cast<char>(code);
            } else if (c == '+' && !out.empty()) {
                size_t save = p_;
                int saveLine = line_;
                ++p_;
                char d = Peek();
                if (d != '\'' && d != '#') {
                    p_ = save;
                    line_ = saveLine;
                    return out;
                }
            } else {
                return out;
            }
            // Adjacent parts continue the same string only on the same line or after '+'.
            size_t q = p_;
            while (q < s_.size() && (s_[q] == ' ' || s_[q] == '\t')) ++q;
            if (q < s_.size() && (s_[q] == '\'' || s_[q] == '#' || s_[q] == '+')) continue;
            // A '+' at the start of the next line also continues it.
            size_t r = q;
            while (r < s_.size() && (s_[r] == '\r' || s_[r] == '\n' || s_[r] == ' ' || s_[r] == '\t')) ++r;
            if (r < s_.size() && s_[r] == '+') continue;
            return out;
        }
    }

    void ParseNumber(TFormValue& v) {
        SkipBlanks();
        size_t start = p_;
        bool negative = false;
        if (s_[p_] == '-' || s_[p_] == '+') {
            negative = s_[p_] == '-';
            ++p_;
        }
        if (p_ < s_.size() && s_[p_] == '$') {
            ++p_;
            size_t hs = p_;
            while (p_ < s_.size() && std::isxdigit(static_cast<unsigned char>(s_[p_]))) ++p_;
            uint64_t u = 0;
            auto r = std::from_chars(s_.data() + hs, s_.data() + p_, u, 16);
            if (hs == p_ || r.ec != std::errc()) Fail("Invalid number");
            v.Kind = TFormValue::fvInteger;
            v.Integer = negative ? -static_cast<int64_t>(u) : static_cast<int64_t>(u);
            return;
        }
        bool isFloat = false;
        while (p_ < s_.size()) {
            char c = s_[p_];
            if (IsDigit(c)) {
                ++p_;
            } else if (c == '.' || c == 'e' || c == 'E') {
                isFloat = true;
                ++p_;
                if ((c == 'e' || c == 'E') && p_ < s_.size() && (s_[p_] == '-' || s_[p_] == '+')) ++p_;
            } else {
                break;
            }
        }
        std::string_view text = s_.substr(start, p_ - start);
        if (!text.empty() && text[0] == '+') text.remove_prefix(1);
        const char* b = text.data();
        const char* e = b + text.size();
        if (isFloat) {
            v.Kind = TFormValue::fvFloat;
            auto r = std::from_chars(b, e, v.Float);
            if (r.ec != std::errc() || r.ptr != e) Fail("Invalid number");
        } else {
            v.Kind = TFormValue::fvInteger;
            auto r = std::from_chars(b, e, v.Integer);
            if (r.ec != std::errc() || r.ptr != e) Fail("Invalid number");
        }
    }

    std::string_view s_;
    size_t p_ = 0;
    int line_ = 1;
};

// ---- tree to text

std::string QuoteString(const std::string& s) {
    if (s.empty()) return "''";
    std::string out;
    bool open = false;
    for (unsigned char c : s) {
        if (c >= 32 && c < 127) {
            if (!open) {
                out += '\'';
                open = true;
            }
            if (c == '\'') out += '\'';
            out += static_cast<char>(c);
        } else {
            if (open) {
                out += '\'';
                open = false;
            }
            out += '#' + std::to_string(c);
        }
    }
    if (open) out += '\'';
    return out;
}

std::string FormatFloat(double d) {
    if (!std::isfinite(d)) throw EWriteError("A float property holds a value that has no text form");
    char buf[64];
    auto r = std::to_chars(buf, buf + sizeof buf, d);
    std::string s(buf, r.ptr);
    // Keep a float recognisable as such when read back.
    if (s.find_first_of(".e") == std::string::npos) s += ".0";
    return s;
}

void FormatProperties(std::string& out, const std::vector<TFormProperty>& props, const std::string& indent);

void FormatValue(std::string& out, const TFormValue& v, const std::string& indent) {
    switch (v.Kind) {
        case TFormValue::fvInteger: out += std::to_string(v.Integer); break;
        case TFormValue::fvFloat: out += FormatFloat(v.Float); break;
        case TFormValue::fvString: out += QuoteString(v.Text); break;
        case TFormValue::fvIdent: out += v.Text; break;
        case TFormValue::fvSet:
            out += '[';
            for (size_t i = 0; i < v.Items.size(); ++i) out += (i ? ", " : "") + v.Items[i];
            out += ']';
            break;
        case TFormValue::fvList:
            out += '(';
            for (const std::string& line : v.Items) out += "\n" + indent + "  " + QuoteString(line);
            out += ')';
            break;
        case TFormValue::fvCollection:
            out += '<';
            for (const TFormItem& item : v.Collection) {
                out += "\n" + indent + "  item";
                out += "\n";
                FormatProperties(out, item.Properties, indent + "    ");
                out += indent + "  end";
            }
            out += '>';
            break;
    }
}

void FormatProperties(std::string& out, const std::vector<TFormProperty>& props, const std::string& indent) {
    for (const TFormProperty& p : props) {
        out += indent + p.Name + " = ";
        FormatValue(out, p.Value, indent);
        out += "\n";
    }
}

void FormatObject(std::string& out, const TFormObject& obj, const std::string& indent) {
    out += indent + "object " + (obj.Name.empty() ? obj.ClassName : obj.Name + ": " + obj.ClassName) + "\n";
    FormatProperties(out, obj.Properties, indent + "  ");
    for (const TFormObject& child : obj.Children) FormatObject(out, child, indent + "  ");
    out += indent + "end\n";
}

// ---- objects to tree

class Writer {
public:
    explicit Writer(TComponent& root) : root_(root) {}

    TFormObject WriteComponent(TComponent& c) {
        TFormObject obj;
        obj.Name = c.Name();
        obj.ClassName = ClassInfoOf(c).Name();
        WriteProperties(c, "", obj.Properties);
        if (&c == &root_)
            for (int i = 0; i < c.ComponentCount(); ++i) obj.Children.push_back(WriteComponent(*c.Components(i)));
        return obj;
    }

private:
    void WriteProperties(TPersistent& instance, const std::string& prefix, std::vector<TFormProperty>& out) {
        const TClassInfo& info = ClassInfoOf(instance);
        for (const TPropInfo* p : info.Properties()) {
            if (p->Kind == tkObsolete || !p->IsStored(instance)) continue;
            if (p->Kind == tkObject) {
                if (TPersistent* sub = p->GetObject(instance)) WriteProperties(*sub, prefix + p->Name + ".", out);
                continue;
            }
            // What cannot be read back is not written.
            if (p->ReadOnly() || p->IsDefault(instance)) continue;
            TFormProperty fp;
            fp.Name = prefix + p->Name;
            TFormValue& v = fp.Value;
            switch (p->Kind) {
                case tkInteger:
                    v.Kind = TFormValue::fvInteger;
                    v.Integer = p->GetOrd(instance);
                    break;
                case tkBoolean:
                    v.Kind = TFormValue::fvIdent;
                    v.Text = p->GetOrd(instance) ? "True" : "False";
                    break;
                case tkEnumeration: {
                    int64_t ord = p->GetOrd(instance);
                    if (ord < 0 || ord >= static_cast<int64_t>(p->ElementNames.size()))
                        throw EWriteError("Property " + fp.Name + " holds an ordinal without a name");
                    v.Kind = TFormValue::fvIdent;
                    v.Text = p->ElementNames[static_cast<size_t>(ord)];
                    break;
                }
                case tkSet: {
                    uint64_t bits = static_cast<uint64_t>(p->GetOrd(instance));
                    v.Kind = TFormValue::fvSet;
                    for (size_t i = 0; i < 64; ++i) {
                        if (!(bits & (uint64_t{1} << i))) continue;
                        if (i >= p->ElementNames.size())
                            throw EWriteError("Property " + fp.Name + " holds an element without a name");
                        v.Items.push_back(p->ElementNames[i]);
                    }
                    break;
                }
                case tkFloat:
                    v.Kind = TFormValue::fvFloat;
                    v.Float = p->GetFloat(instance);
                    break;
                case tkString:
                    v.Kind = TFormValue::fvString;
                    v.Text = p->GetStr(instance);
                    break;
                case tkStrings: {
                    TStrings* list = p->GetStrings(instance);
                    fp.Name += ".Strings";
                    v.Kind = TFormValue::fvList;
                    for (int i = 0; i < list->Count(); ++i) v.Items.push_back(list->Strings(i));
                    break;
                }
                case tkCollection: {
                    auto* coll = static_cast<TCollection*>(p->GetObject(instance));
                    v.Kind = TFormValue::fvCollection;
                    for (int i = 0; i < coll->Count(); ++i) {
                        TFormItem item;
                        WriteProperties(*coll->Items(i), "", item.Properties);
                        v.Collection.push_back(std::move(item));
                    }
                    break;
                }
                case tkComponent: {
                    std::string ref = Reference(p->GetComponent(instance));
                    if (ref.empty()) continue;  // an unnamed component cannot be referred to
                    v.Kind = TFormValue::fvIdent;
                    v.Text = ref;
                    break;
                }
                case tkMethod: {
                    std::string handler = instance.EventHandlerName(p->Name);
                    if (handler.empty()) continue;  // bound in code: no name to store
                    v.Kind = TFormValue::fvIdent;
                    v.Text = handler;
                    break;
                }
                case tkObject:
                case tkObsolete: continue;
            }
            out.push_back(std::move(fp));
        }
    }

    std::string Reference(TComponent* target) const {
        if (!target || target->Name().empty()) return {};
        if (target == &root_ || target->Owner() == &root_) return target->Name();
        // Outside this form: qualified by its owner's name for a global lookup.
        if (target->Owner() && !target->Owner()->Name().empty())
            return target->Owner()->Name() + "." + target->Name();
        return target->Name();
    }

    TComponent& root_;
};

std::string ValueWord(const TFormValue& v) {
    switch (v.Kind) {
        case TFormValue::fvInteger: return std::to_string(v.Integer);
        case TFormValue::fvFloat: return FormatFloat(v.Float);
        case TFormValue::fvString: return QuoteString(v.Text);
        case TFormValue::fvIdent: return v.Text;
        case TFormValue::fvSet: return "a set";
        case TFormValue::fvList: return "a list";
        case TFormValue::fvCollection: return "a collection";
    }
    return {};
}

}  // namespace

TFormObject ParseForm(std::string_view Text) { return Parser(Text).ParseRoot(); }

std::string FormatForm(const TFormObject& Form) {
    std::string out;
    FormatObject(out, Form, "");
    return out;
}

TFormObject WriteComponentForm(TComponent& Root) { return Writer(Root).WriteComponent(Root); }

std::string WriteComponentText(TComponent& Root) { return FormatForm(WriteComponentForm(Root)); }

// ---- tree to objects

void TReader::Read(const TFormObject& Form) {
    const TClassInfo& rootInfo = ClassInfoOf(root_);
    const TClassInfo* formClass = FindClass(Form.ClassName);
    if (!formClass) formClass = SameText(Form.ClassName, rootInfo.Name()) ? &rootInfo : nullptr;
    if (!formClass || !rootInfo.InheritsFrom(formClass))
        throw EFormError("Class " + Form.ClassName + " does not match the root " + rootInfo.Name() + " at line " +
                             std::to_string(Form.Line),
                         Form.Line);
    try {
        ReadComponent(root_, Form);
        for (const Fixup& f : fixups_) {
            TComponent* target = Resolve(f.reference);
            if (!target)
                throw EFormError("Error reading " + f.path + ": component " + f.reference + " not found at line " +
                                     std::to_string(f.line),
                                 f.line);
            try {
                f.prop->SetComponent(*f.instance, target);
            } catch (const EFormError&) {
                throw;
            } catch (const Exception& e) {
                throw EFormError("Error reading " + f.path + ": " + e.Message() + " at line " + std::to_string(f.line),
                                 f.line);
            }
        }
        for (TComponent* c : loaded_) c->SetStateFlag(csFixups, false);
    } catch (...) {
        for (TComponent* c : loaded_) {
            c->SetStateFlag(csReading, false);
            c->SetStateFlag(csFixups, false);
        }
        throw;
    }
    // Loaded runs once per component, in reading order, after every reference is set.
    for (TComponent* c : loaded_) c->Loaded();
}

void TReader::ReadComponent(TComponent& Component, const TFormObject& Form) {
    Component.SetStateFlag(csLoading, true);
    Component.SetStateFlag(csReading, true);
    loaded_.push_back(&Component);
    std::string path = Form.Name.empty() ? Form.ClassName : Form.Name;
    if (!Form.Name.empty() && Form.Name != Component.Name()) {
        try {
            Component.SetName(Form.Name);
        } catch (const Exception& e) {
            throw EFormError(e.Message() + " at line " + std::to_string(Form.Line), Form.Line);
        }
    }
    ReadProperties(Component, Form.Properties, path);
    Component.SetStateFlag(csReading, false);
    for (const TFormObject& child : Form.Children) {
        const TClassInfo* info = FindClass(child.ClassName);
        if (!info)
            throw EFormError("Class " + child.ClassName + " not found at line " + std::to_string(child.Line),
                             child.Line);
        TComponent* existing = child.Name.empty() ? nullptr : root_.FindComponent(child.Name);
        TComponent* target = nullptr;
        if (existing && FindClassInfo(typeid(*existing)) == info) {
            target = existing;
        } else {
            if (existing)
                throw EFormError("A component named " + child.Name + " already exists at line " +
                                     std::to_string(child.Line),
                                 child.Line);
            if (!info->CanCreate())
                throw EFormError("Cannot create an instance of " + child.ClassName + " at line " +
                                     std::to_string(child.Line),
                                 child.Line);
            target = info->CreateComponent(&root_);
        }
        ReadComponent(*target, child);
    }
}

void TReader::ReadProperties(TPersistent& Instance, const std::vector<TFormProperty>& Props, const std::string& Path) {
    for (const TFormProperty& p : Props) ReadProperty(Instance, p, Path);
}

void TReader::ReadProperty(TPersistent& Instance, const TFormProperty& Prop, const std::string& Path) {
    auto fail = [&](const std::string& what) -> void {
        throw EFormError("Error reading " + Path + "." + Prop.Name + ": " + what + " at line " +
                             std::to_string(Prop.Line),
                         Prop.Line);
    };
    try {
        TPersistent* obj = &Instance;
        std::string_view rest = Prop.Name;
        for (;;) {
            size_t dot = rest.find('.');
            std::string_view seg = rest.substr(0, dot);
            const TPropInfo* info = ClassInfoOf(*obj).FindProperty(seg);
            if (!info) fail("Property " + std::string(seg) + " does not exist");
            if (dot == std::string_view::npos) {
                Apply(*obj, *info, Prop.Value, Path + "." + Prop.Name);
                return;
            }
            rest = rest.substr(dot + 1);
            if (info->Kind == tkStrings && SameText(rest, "Strings")) {
                Apply(*obj, *info, Prop.Value, Path + "." + Prop.Name);
                return;
            }
            if (info->Kind != tkObject) fail("Property " + std::string(seg) + " has no property " + std::string(rest));
            TPersistent* sub = info->GetObject(*obj);
            if (!sub) fail("Property " + std::string(seg) + " holds no object");
            obj = sub;
        }
    } catch (const EFormError&) {
        throw;
    } catch (const Exception& e) {
        fail(e.Message());
    }
}

void TReader::Apply(TPersistent& Instance, const TPropInfo& Info, const TFormValue& Value, const std::string& Path) {
    auto invalid = [&]() {
        throw Exception("Invalid property value " + ValueWord(Value));
    };
    auto element = [&](const std::string& name) -> int64_t {
        for (size_t i = 0; i < Info.ElementNames.size(); ++i)
            if (SameText(Info.ElementNames[i], name)) return static_cast<int64_t>(i);
        throw Exception("Invalid property value " + name);
    };
    if (Info.ReadOnly()) throw Exception("Property " + Info.Name + " is read-only");
    switch (Info.Kind) {
        case tkInteger:
            if (Value.Kind != TFormValue::fvInteger) invalid();
            if (Value.Integer < Info.MinValue || Value.Integer > Info.MaxValue)
                throw Exception("Value " + std::to_string(Value.Integer) + " out of range");
            Info.SetOrd(Instance, Value.Integer);
            return;
        case tkBoolean:
            if (Value.Kind != TFormValue::fvIdent) invalid();
            if (SameText(Value.Text, "True"))
                Info.SetOrd(Instance, 1);
            else if (SameText(Value.Text, "False"))
                Info.SetOrd(Instance, 0);
            else
                invalid();
            return;
        case tkEnumeration:
            if (Value.Kind != TFormValue::fvIdent) invalid();
            Info.SetOrd(Instance, element(Value.Text));
            return;
        case tkSet: {
            if (Value.Kind != TFormValue::fvSet) invalid();
            uint64_t bits = 0;
            for (const std::string& e : Value.Items) bits |= uint64_t{1} << element(e);
            Info.SetOrd(Instance, static_cast<int64_t>(bits));
            return;
        }
        case tkFloat:
            if (Value.Kind == TFormValue::fvFloat)
                Info.SetFloat(Instance, Value.Float);
            else if (Value.Kind == TFormValue::fvInteger)
                Info.SetFloat(Instance, static_cast<double>(Value.Integer));
            else
                invalid();
            return;
        case tkString:
            if (Value.Kind != TFormValue::fvString) invalid();
            Info.SetStr(Instance, Value.Text);
            return;
        case tkStrings: {
            if (Value.Kind != TFormValue::fvList) invalid();
            if (Info.SetStrings) {
                TStringList lines;
                for (const std::string& s : Value.Items) lines.Add(s);
                Info.SetStrings(Instance, lines);
                return;
            }
            TStrings* list = Info.GetStrings(Instance);
            if (!list) throw Exception("Property " + Info.Name + " holds no list");
            list->BeginUpdate();
            try {
                list->Clear();
                for (const std::string& s : Value.Items) list->Add(s);
            } catch (...) {
                list->EndUpdate();
                throw;
            }
            list->EndUpdate();
            return;
        }
        case tkCollection: {
            if (Value.Kind != TFormValue::fvCollection) invalid();
            auto* coll = static_cast<TCollection*>(Info.GetObject(Instance));
            if (!coll) throw Exception("Property " + Info.Name + " holds no collection");
            coll->BeginUpdate();
            try {
                coll->Clear();
                for (size_t i = 0; i < Value.Collection.size(); ++i) {
                    TCollectionItem* item = coll->Add();
                    ReadProperties(*item, Value.Collection[i].Properties, Path + "[" + std::to_string(i) + "]");
                }
            } catch (...) {
                coll->EndUpdate();
                throw;
            }
            coll->EndUpdate();
            return;
        }
        case tkComponent:
            if (Value.Kind != TFormValue::fvIdent) invalid();
            if (SameText(Value.Text, "nil")) {
                Info.SetComponent(Instance, nullptr);
                return;
            }
            // Resolved once the whole form is read: the component may come later.
            fixups_.push_back(Fixup{&Instance, &Info, Value.Text, Path, Value.Line});
            for (TComponent* c : loaded_) c->SetStateFlag(csFixups, true);
            return;
        case tkMethod: {
            if (Value.Kind != TFormValue::fvIdent) invalid();
            if (SameText(Value.Text, "nil")) {
                Info.SetMethod(Instance, std::any());
                Instance.SetEventHandlerName(Info.Name, "");
                return;
            }
            std::any handler;
            if (options_.Resolver) handler = options_.Resolver(Value.Text, Info.MethodType);
            if (!handler.has_value()) throw Exception("Handler " + Value.Text + " not found");
            if (std::type_index(handler.type()) != Info.MethodType)
                throw Exception("Handler " + Value.Text + " does not fit the event");
            Info.SetMethod(Instance, handler);
            Instance.SetEventHandlerName(Info.Name, Value.Text);
            return;
        }
        case tkObsolete:
            if (Info.ReadObsolete) Info.ReadObsolete(Instance, Value);
            return;
        case tkObject: invalid();
    }
}

TComponent* TReader::Resolve(const std::string& Reference) const {
    std::string_view rest = Reference;
    size_t dot = rest.find('.');
    std::string_view first = rest.substr(0, dot);
    TComponent* c = nullptr;
    if (SameText(first, root_.Name()) && dot != std::string_view::npos)
        c = &root_;
    else if (SameText(first, root_.Name()) && root_.FindComponent(first) == nullptr)
        c = &root_;
    else
        c = root_.FindComponent(first);
    while (c && dot != std::string_view::npos) {
        rest = rest.substr(dot + 1);
        dot = rest.find('.');
        c = c->FindComponent(rest.substr(0, dot));
    }
    if (!c && options_.FindGlobalComponent) c = options_.FindGlobalComponent(Reference);
    return c;
}

std::unique_ptr<TComponent> ReadComponentText(std::string_view Text, const TReadOptions& Options) {
    TFormObject form = ParseForm(Text);
    const TClassInfo* info = FindClass(form.ClassName);
    if (!info) throw EFormError("Class " + form.ClassName + " not found at line " + std::to_string(form.Line), form.Line);
    if (!info->CanCreate())
        throw EFormError("Cannot create an instance of " + form.ClassName + " at line " + std::to_string(form.Line),
                         form.Line);
    std::unique_ptr<TComponent> root(info->CreateComponent(nullptr));
    TReader(*root, Options).Read(form);
    return root;
}

void ReadComponentTextInto(TComponent& Root, std::string_view Text, const TReadOptions& Options) {
    TReader(Root, Options).Read(ParseForm(Text));
}

}  // namespace velmysql
