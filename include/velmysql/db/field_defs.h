#pragma once
// TFieldDefs/TFieldDef: the columns a dataset offers (name, number, type, size and
// attributes), from which default fields are created and against which fields bind.

#include <memory>
#include <string>
#include <vector>

#include "velmysql/db/db_types.h"
#include "velmysql/rtl/collection.h"

namespace velmysql {

class TComponent;
class TDataSet;
class TField;
class TFieldDefs;

class TFieldDef : public TCollectionItem {
public:
    TFieldDef() = default;

    const std::string& Name() const { return name_; }
    void SetName(const std::string& Value);
    // 1-based number of the column; assigned in order when the definition is added.
    int FieldNo() const { return fieldNo_; }
    void SetFieldNo(int Value) { fieldNo_ = Value; }
    TFieldType DataType() const { return dataType_; }
    void SetDataType(TFieldType Value) { dataType_ = Value; }
    int Size() const { return size_; }
    void SetSize(int Value) { size_ = Value; }
    int Precision() const { return precision_; }
    void SetPrecision(int Value) { precision_ = Value; }
    TFieldAttributes Attributes() const { return attributes_; }
    void SetAttributes(TFieldAttributes Value) { attributes_ = Value; }
    // The faRequired attribute.
    bool Required() const { return attributes_.Contains(faRequired); }
    void SetRequired(bool Value);
    bool InternalCalcField() const { return internalCalcField_; }
    void SetInternalCalcField(bool Value) { internalCalcField_ = Value; }
    // The definitions this one belongs to; null for a stand-alone definition.
    TFieldDefs* FieldDefs() const;
    std::string DisplayName() const override { return name_; }
    static const TClassInfo& ClassInfo();

    // Creates the field for this definition (class from the dataset's GetFieldClass),
    // owned by Owner and added to the dataset's fields.
    TField* CreateField(TComponent* Owner);

    void Assign(const TPersistent* Source) override;

private:
    std::string name_;
    int fieldNo_ = 0;
    TFieldType dataType_ = ftUnknown;
    int size_ = 0;
    int precision_ = 0;
    TFieldAttributes attributes_;
    bool internalCalcField_ = false;
};

class TFieldDefs : public TCollection {
public:
    // DataSet may be null for a free-standing list of definitions.
    explicit TFieldDefs(TDataSet* DataSet);
    ~TFieldDefs() override;

    TDataSet* DataSet() const { return dataSet_; }
    TFieldDef* operator[](int Index) const { return Items(Index); }
    TFieldDef* Items(int Index) const;
    // Appends an empty definition numbered Count + 1.
    TFieldDef* AddFieldDef();
    void Add(const std::string& Name, TFieldType DataType, int Size = 0, bool Required = false);
    // The definition called Name (letter case ignored); Find raises when there is none.
    TFieldDef* Find(const std::string& Name) const;
    int IndexOf(const std::string& Name) const;
    // Asks the dataset to build its definitions when they are out of date.
    void Update();
    bool Updated() const { return updated_; }
    void SetUpdated(bool Value) { updated_ = Value; }
    bool HiddenFields() const { return hiddenFields_; }
    void SetHiddenFields(bool Value) { hiddenFields_ = Value; }
    static const TClassInfo& ClassInfo();

protected:
    // A definition added (also by a form reader) is numbered after the others; any
    // change marks the definitions as not up to date.
    void Notify(TCollectionItem* Item, TCollectionNotification Action) override;
    void Update(TCollectionItem* Item) override;

private:
    TDataSet* dataSet_;
    bool updated_ = false;
    bool hiddenFields_ = false;
};

}  // namespace velmysql
