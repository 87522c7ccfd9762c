// TMySQLDatasetBase: the statement templates, the delimiters, the macro collection and the
// discovery of placeholders in the texts.

#include <optional>

#include "velmysql/dataset/mysql_dataset.h"
#include "velmysql/parser/basic_parser.h"
#include "velmysql/textutil/strutils.h"
#include "dataset/dataset_template_parser.h"

namespace velmysql {

namespace {

// Every occurrence of From replaced by To, letters compared without case; an empty From
// replaces nothing.
std::string ReplaceAllText(const std::string& Text, const std::string& From, const std::string& To) {
    if (From.empty()) return Text;
    std::string out;
    std::size_t i = 0;
    while (i < Text.size()) {
        if (Text.size() - i >= From.size() && SameText(std::string_view(Text).substr(i, From.size()), From)) {
            out += To;
            i += From.size();
        } else {
            out += Text[i++];
        }
    }
    return out;
}

}  // namespace

TMySQLDatasetBase::ReaderLease::ReaderLease(TMySQLDatasetBase& Owner, std::string_view Text) : owner_(Owner) {
    if (Owner.readersOpen_ != Owner.macroOpen_ || Owner.readersClose_ != Owner.macroClose_) {
        // Readers in use keep their settings; the delimiters change only between scans.
        Owner.readers_.resize(Owner.readerDepth_);
        Owner.readersOpen_ = Owner.macroOpen_;
        Owner.readersClose_ = Owner.macroClose_;
    }
    if (Owner.readers_.size() <= Owner.readerDepth_) {
        auto reader = std::make_unique<TBasicParser>(std::string_view());
        templateparser::Configure(*reader, Owner.macroOpen_, Owner.macroClose_);
        Owner.readers_.push_back(std::move(reader));
    }
    reader_ = Owner.readers_[Owner.readerDepth_++].get();
    reader_->Restart(Text);
}

void TMySQLDatasetBase::InitTemplates() {
    for (TStringList* list : {&sql_, &sqlUpdate_, &sqlInsert_, &sqlDelete_, &sqlBatch_}) {
        list->SetOnChanging([this](TStrings& sender) { SQLChanging(sender); });
        list->SetOnChange([this](TStrings& sender) { SQLChange(sender); });
    }
    SetMacroString("[,]");
    sql_.Add(DefaultSelectSQL());
    sqlUpdate_.Add(DefaultUpdateSQL());
    sqlInsert_.Add(DefaultInsertSQL());
    sqlDelete_.Add(DefaultDeleteSQL());
}

// ---------------------------------------------------------------- the template lists

std::string TMySQLDatasetBase::DefaultSelectSQL() const {
    auto m = [this](const char* name) { return macroOpen_ + name + macroClose_; };
    return "select " + m("$FIELDS") + " from " + m("$TABLENAME") + " " + m("JOIN") + " " + m("WHERE") + " " +
           m("GROUPBY") + " " + m("ORDER") + " " + m("LIMIT");
}

std::string TMySQLDatasetBase::DefaultUpdateSQL() const {
    return "update " + macroOpen_ + "$TABLENAME" + macroClose_ + " set " + macroOpen_ + "$MODIFIED$FIELDS&VALUES" +
           macroClose_ + " where " + macroOpen_ + "$PRIMARYFIELDS&VALUES" + macroClose_;
}

std::string TMySQLDatasetBase::DefaultInsertSQL() const {
    return "insert into " + macroOpen_ + "$TABLENAME" + macroClose_ + " set " + macroOpen_ +
           "$MODIFIED$FIELDS&VALUES" + macroClose_;
}

std::string TMySQLDatasetBase::DefaultDeleteSQL() const {
    return "delete from " + macroOpen_ + "$TABLENAME" + macroClose_ + " where " + macroOpen_ +
           "$PRIMARYFIELDS&VALUES" + macroClose_;
}

void TMySQLDatasetBase::SetSQL(const TStrings& Value) {
    if (SameText(Value.Text(), sql_.Text())) return;
    if (IsCursorOpen()) Close();
    sql_.Assign(Value);
}

void TMySQLDatasetBase::AssignTemplate(TStringList& List, const TStrings& Value) {
    if (&List == &Value || SameText(Value.Text(), List.Text())) return;
    List.Assign(Value);
}

void TMySQLDatasetBase::SQLChanging(TStrings&) {}

void TMySQLDatasetBase::SQLChange(TStrings& Sender) {
    // A new select text no longer describes the open rows.
    if (&Sender == &sql_ && IsCursorOpen()) Close();
    ParseAllSQL();
}

// ---------------------------------------------------------------- delimiters

void TMySQLDatasetBase::SetMacroString(const std::string& Value) {
    if (Value == macroOpen_ + "," + macroClose_) return;
    const bool enabled = options_.Contains(doMacrosEnabled);
    options_.Exclude(doMacrosEnabled);
    std::string open = WordInStr(1, Value, ",;");
    std::string close = WordInStr(2, Value, ",;");
    if (open.empty()) open = "[";
    if (close.empty()) close = "]";
    try {
        for (TStringList* list : {&sql_, &sqlUpdate_, &sqlInsert_, &sqlDelete_}) {
            const std::string text = list->Text();
            const std::string changed =
                ReplaceAllText(ReplaceAllText(text, macroOpen_, open), macroClose_, close);
            if (changed != text) list->SetText(changed);
        }
    } catch (...) {
        if (enabled) options_.Include(doMacrosEnabled);
        throw;
    }
    macroOpen_ = open;
    macroClose_ = close;
    if (enabled) options_.Include(doMacrosEnabled);
    ParseAllSQL();
}

// ---------------------------------------------------------------- the macro collection

void TMySQLDatasetBase::ClearMacros() {
    for (int i = 0; i < macros_->Count(); ++i) macros_->Items(i)->SetAsString(std::string());
}

void TMySQLDatasetBase::ParseSQL(const std::string& Text) {
    if (options_.Contains(doMacrosEnabled)) ParseMacros(Text, macroOpen_, true, macroClose_);
}

void TMySQLDatasetBase::ParseAllSQL() {
    if (!options_.Contains(doMacrosEnabled)) return;
    TParams saved;
    saved.Assign(macros_.get());
    if (options_.Contains(doMacroCheck)) macros_->Clear();
    ParseMacros(Filter(), macroOpen_, true, macroClose_);
    for (TStringList* list : {&sql_, &sqlUpdate_, &sqlInsert_, &sqlDelete_, &sqlBatch_})
        ParseMacros(list->Text(), macroOpen_, true, macroClose_);
    macros_->AssignValues(saved);
}

void TMySQLDatasetBase::ParseMacros(const std::string& Text, const std::string& Open, bool Create,
                                    const std::string& Close) {
    // Readers are kept for the delimiters in force; other delimiters get one of their own.
    std::unique_ptr<TBasicParser> own;
    std::optional<ReaderLease> lease;
    if (Open == macroOpen_ && Close == macroClose_) {
        lease.emplace(*this, Text);
    } else {
        own = std::make_unique<TBasicParser>(std::string_view{Text});
        templateparser::Configure(*own, Open, Close);
    }
    TBasicParser& parser = own ? *own : lease->Reader();
    const std::string separators = Open + Close + ":;() \r\n";
    for (;;) {
        const TTokenKind kind = parser.NextToken(false).Kind;
        if (kind == ttEnd) break;
        if (kind != ttBracket && kind != ttParameter) continue;
        const std::string name = WordInStr(1, parser.TokenString(), separators);
        if (!Create || name.empty() || macros_->FindParam(name) != nullptr) continue;
        TParam* param = macros_->AddParam();
        param->SetName(name);
        if (kind == ttParameter) param->SetParamType(ptInput);
    }
}

}  // namespace velmysql
