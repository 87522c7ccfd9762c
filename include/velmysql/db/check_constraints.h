#pragma once
// TCheckConstraints: record-level constraints of a dataset (an SQL condition and the
// message to show when a record violates it). The framework keeps and copies them; the
// server or a provider evaluates them.

#include <memory>
#include <string>
#include <vector>

#include "velmysql/rtl/collection.h"

namespace velmysql {

class TCheckConstraint : public TCollectionItem {
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
    static const TClassInfo& ClassInfo();

private:
    std::string customConstraint_, errorMessage_, importedConstraint_;
    bool fromDictionary_ = true;
};

class TCheckConstraints : public TCollection {
public:
    explicit TCheckConstraints(TPersistent* Owner = nullptr);
    TCheckConstraint* Items(int Index) const;
    TCheckConstraint* operator[](int Index) const { return Items(Index); }
    TCheckConstraint* Add();
    static const TClassInfo& ClassInfo();
};

}  // namespace velmysql
