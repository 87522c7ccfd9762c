#pragma once
// TIndexDefs/TIndexDef: the indexes of a dataset's table (name, fields separated by ";",
// options).

#include <memory>
#include <string>
#include <vector>

#include "velmysql/db/db_types.h"
#include "velmysql/rtl/collection.h"

namespace velmysql {

class TDataSet;
class TIndexDefs;

class TIndexDef : public TCollectionItem {
public:
    TIndexDef() = default;
    TIndexDef(const std::string& Name, const std::string& Fields, TIndexOptions Options);

    const std::string& Name() const { return name_; }
    void SetName(const std::string& Value) { name_ = Value; }
    const std::string& Fields() const { return fields_; }
    void SetFields(const std::string& Value) { fields_ = Value; }
    TIndexOptions Options() const { return options_; }
    void SetOptions(TIndexOptions Value) { options_ = Value; }
    const std::string& Expression() const { return expression_; }
    void SetExpression(const std::string& Value) { expression_ = Value; }
    const std::string& DescFields() const { return descFields_; }
    void SetDescFields(const std::string& Value) { descFields_ = Value; }
    const std::string& CaseInsFields() const { return caseInsFields_; }
    void SetCaseInsFields(const std::string& Value) { caseInsFields_ = Value; }
    const std::string& Source() const { return source_; }
    void SetSource(const std::string& Value) { source_ = Value; }
    std::string DisplayName() const override { return name_; }
    void Assign(const TPersistent* Source) override;
    static const TClassInfo& ClassInfo();

private:
    std::string name_, fields_, expression_, descFields_, caseInsFields_, source_;
    TIndexOptions options_;
};

class TIndexDefs : public TCollection {
public:
    explicit TIndexDefs(TDataSet* DataSet = nullptr);
    ~TIndexDefs() override;

    TDataSet* DataSet() const { return dataSet_; }
    TIndexDef* operator[](int Index) const { return Items(Index); }
    TIndexDef* Items(int Index) const;
    TIndexDef* AddIndexDef();
    void Add(const std::string& Name, const std::string& Fields, TIndexOptions Options);
    // The index called Name (letter case ignored); Find raises when there is none.
    TIndexDef* Find(const std::string& Name) const;
    int IndexOf(const std::string& Name) const;
    // The first index whose field list equals Fields (letter case ignored); null when none.
    TIndexDef* FindIndexForFields(const std::string& Fields) const;
    bool Updated() const { return updated_; }
    void SetUpdated(bool Value) { updated_ = Value; }
    static const TClassInfo& ClassInfo();

private:
    TDataSet* dataSet_;
    bool updated_ = false;
};

}  // namespace velmysql
