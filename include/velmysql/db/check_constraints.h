#pragma once
// TCheckConstraints: record-level constraints of a dataset (an SQL condition and the
// message to show when a record violates it). The framework keeps and copies them; the
// server or a provider evaluates them.

#include <memory>
#include <string>
#include <vector>

#include "velmysql/rtl/persistent.h"

namespace velmysql {

class TCheckConstraint : public TPersistent {
public:
    const std::string& CustomConstraint() const { return customConstraint_; }
    void SetCustomConstraint(const std::string& Value) { customConstraint_ = Value; }
    const std::string& ErrorMessage() const { return errorMessage_; }
    void SetErrorMessage(const std::string& Value) { errorMessage_ = Value; }
    bool FromDictionary() const { return fromDictionary_; }
    void SetFromDictionary(bool Value) { fromDictionary_ = Value; }
    const std::string& ImportedConstraint() const { return importedConstraint_; }
    void SetImportedConstraint(const std::string& Value) { importedConstraint_ = Value; }
    void Assign(const TPersistent* Source) override;

private:
    std::string customConstraint_, errorMessage_, importedConstraint_;
    bool fromDictionary_ = true;
};

class TCheckConstraints : public TPersistent {
public:
    int Count() const { return static_cast<int>(items_.size()); }
    TCheckConstraint* Items(int Index) const;
    TCheckConstraint* operator[](int Index) const { return Items(Index); }
    TCheckConstraint* Add();
    void Delete(int Index);
    void Clear() { items_.clear(); }
    void Assign(const TPersistent* Source) override;

private:
    std::vector<std::unique_ptr<TCheckConstraint>> items_;
};

}  // namespace velmysql
