#pragma once
// Shared pieces of the data-access tests: a dataset of numbered rows, a data link that
// records what it hears, and an event log.

#include <memory>
#include <string>
#include <vector>

#include "memory_dataset.h"
#include "velmysql/db/data_source.h"
#include "velmysql/db/fields.h"

namespace velmysql::test {

inline std::unique_ptr<MemoryDataSet> NumberedDataSet(int rows) {
    auto ds = std::make_unique<MemoryDataSet>(
        nullptr, std::vector<Column>{{"ID", ftInteger}, {"NAME", ftString, 20}});
    for (int i = 1; i <= rows; ++i)
        ds->AddRow({MemoryDataSet::Native<int32_t>(i), MemoryDataSet::Text("row" + std::to_string(i))});
    return ds;
}

// A link that logs the notifications it receives.
class RecordingLink : public TDataLink {
public:
    std::vector<std::string> log;

protected:
    void ActiveChanged() override { log.push_back(Active() ? "active" : "inactive"); }
    void EditingChanged() override { log.push_back(Editing() ? "editing" : "not-editing"); }
    void DataSetChanged() override { log.push_back("dataset-changed"); }
    void DataSetScrolled(int distance) override { log.push_back("scrolled " + std::to_string(distance)); }
    void RecordChanged(TField* field) override {
        log.push_back(field != nullptr ? "record-changed " + field->FieldName() : "record-changed");
    }
    void LayoutChanged() override { log.push_back("layout-changed"); }
};

// Gives `orders` a persistent CODE field and the lookup field NAMETEXT that finds TEXT in
// `names` by CODE; answers the lookup field.
inline TStringField* AddNameLookup(MemoryDataSet& orders, MemoryDataSet& names) {
    auto* code = OwnedComponent<TIntegerField>(orders);
    code->SetFieldName("CODE");
    code->SetDataSet(&orders);
    auto* text = OwnedComponent<TStringField>(orders);
    text->SetFieldName("NAMETEXT");
    text->SetFieldKind(fkLookup);
    text->SetLookupDataSet(&names);
    text->SetKeyFields("CODE");
    text->SetLookupKeyFields("CODE");
    text->SetLookupResultField("TEXT");
    text->SetDataSet(&orders);
    return text;
}

// A numbered dataset that a recording link holding `window` rows sees through a data
// source; the test opens it.
struct LinkedRows {
    LinkedRows(int rows, int window) : ds(NumberedDataSet(rows)) {
        link.SetBufferCount(window);
        link.SetDataSource(&source);
        source.SetDataSet(ds.get());
    }
    std::unique_ptr<MemoryDataSet> ds;
    TDataSource source{nullptr};
    RecordingLink link;
};

}  // namespace velmysql::test
