// TMySQLDatasetBase: searching on the client (Locate, Lookup, LocateRecord,
// LocateRecordOption). The records are walked through the framework's navigation and the
// fields' texts compared with the key values' texts.

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "dataset/dataset_text.h"
#include "velmysql/dataset/mysql_dataset.h"
#include "velmysql/db/field.h"

namespace velmysql {

namespace {

// The text a key value is compared as: empty for Null (and unassigned), element 0 of an
// array, else the value's own text.
std::string KeyText(const Variant& Value) {
    if (Value.IsClear()) return {};
    if (Value.VarType() == varArray) {
        const std::vector<Variant>& items = Value.Items();
        return items.empty() ? std::string() : KeyText(items.front());
    }
    return Value.ToString();
}

// Element Index of a key-value array; a missing element (or a value that is no array)
// counts as Null.
Variant KeyElement(const Variant& Values, size_t Index) {
    if (Values.VarType() != varArray) return Variant::Null();
    const std::vector<Variant>& items = Values.Items();
    return Index < items.size() ? items[Index] : Variant::Null();
}

// One field against one value. A partial key matches at the start of the field text, or
// anywhere in it when Anywhere is set; an empty key never matches a partial search.
bool FieldMatches(TField* Field, const Variant& Value, TLocateOptions Options, bool Anywhere) {
    std::string text = Field->AsString();
    std::string key = KeyText(Value);
    if (Options.Contains(loCaseInsensitive)) {
        text = datasettext::Upper(std::move(text));
        key = datasettext::Upper(std::move(key));
    }
    if (Options.Contains(loPartialKey)) {
        if (key.empty()) return false;
        return Anywhere ? text.find(key) != std::string::npos : std::string_view(text).starts_with(key);
    }
    return text == key;
}

// LocateRecord's record comparison: one field against KeyValues, or field i against
// element i, all of them.
bool RecordMatches(const std::vector<TField*>& Fields, const Variant& KeyValues, TLocateOptions Options) {
    if (Fields.size() == 1) return FieldMatches(Fields.front(), KeyValues, Options, false);
    for (size_t i = 0; i < Fields.size(); ++i)
        if (!FieldMatches(Fields[i], KeyElement(KeyValues, i), Options, false)) return false;
    return true;
}

// LocateRecordOption's record comparison; Found becomes the first field that matched in
// a matching record.
bool RecordMatchesOption(const std::vector<TField*>& Fields, const Variant& KeyValues, TLocateOptions Options,
                         TMySQLLocateOptions LocateOptions, TField*& Found) {
    Found = nullptr;
    if (Fields.size() == 1) {
        if (!FieldMatches(Fields.front(), KeyValues, Options, true)) return false;
        Found = Fields.front();
        return true;
    }
    const bool sameValue = LocateOptions.Contains(loTextSearch);
    const bool all = LocateOptions.Contains(loMatchAll);
    TField* first = nullptr;
    for (size_t i = 0; i < Fields.size(); ++i) {
        const bool match = FieldMatches(Fields[i], sameValue ? KeyValues : KeyElement(KeyValues, i), Options, true);
        if (match && first == nullptr) first = Fields[i];
        if (all && !match) return false;
        if (!all && match) break;
    }
    Found = first;
    return first != nullptr;
}

// Runs Scan with the controls disabled. Scan answers whether the cursor is to stay where
// it ended; otherwise, and when Scan raises, the cursor returns to Start. The controls
// are enabled again on every path; an error while returning after a failure is dropped
// in favour of the failure itself.
bool ScanFrom(TDataSet& Dataset, const std::function<bool()>& Scan) {
    Dataset.DisableControls();
    bool stay = false;
    TBookmark start;
    try {
        start = Dataset.GetBookmark();
        stay = Scan();
        if (!stay) Dataset.GotoBookmark(start);
    } catch (...) {
        try {
            Dataset.GotoBookmark(start);
        } catch (...) {
        }
        Dataset.EnableControls();
        throw;
    }
    Dataset.EnableControls();
    return stay;
}

}  // namespace

bool TMySQLDatasetBase::Locate(const std::string& KeyFields, const Variant& KeyValues, TLocateOptions Options) {
    First();
    return LocateRecord(KeyFields, KeyValues, Options, true);
}

Variant TMySQLDatasetBase::Lookup(const std::string& KeyFields, const Variant& KeyValues,
                                  const std::string& ResultFields) {
    Variant result = Variant::Null();
    if (LocateRecord(KeyFields, KeyValues, {}, true)) result = GetFieldValue(ResultFields);
    return result;
}

bool TMySQLDatasetBase::LocateRecord(const std::string& KeyFields, const Variant& KeyValues, TLocateOptions Options,
                                     bool SyncCursor) {
    CheckBrowseMode();
    std::vector<TField*> fields;
    GetFieldList(fields, KeyFields);
    if (fields.empty() || (Bof() && Eof())) return false;
    if (RecordMatches(fields, KeyValues, Options)) return true;
    bool found = false;
    ScanFrom(*this, [&] {
        for (First(); !Eof(); Next()) {
            if (RecordMatches(fields, KeyValues, Options)) {
                found = true;
                break;
            }
        }
        return found && SyncCursor;
    });
    return found;
}

bool TMySQLDatasetBase::LocateRecordOption(const std::string& KeyFields, const Variant& KeyValues,
                                           TLocateOptions Options, bool SyncCursor,
                                           TMySQLLocateOptions LocateOptions, TField*& FoundField) {
    CheckBrowseMode();
    FoundField = nullptr;
    std::vector<TField*> fields;
    GetFieldList(fields, KeyFields);
    if (fields.empty() || (Bof() && Eof())) return false;
    const bool forward = LocateOptions.Contains(loNext);
    // Both directions would step forward and back on the same record for ever: forward.
    const bool backward = !forward && LocateOptions.Contains(loPrior);
    bool found = false;
    TField* foundField = nullptr;
    ScanFrom(*this, [&] {
        if (LocateOptions.Contains(loFirst)) First();
        if (LocateOptions.Contains(loLast)) Last();
        while ((forward && !Eof()) || (backward && !Bof())) {
            if (RecordMatchesOption(fields, KeyValues, Options, LocateOptions, foundField)) {
                found = true;
                break;
            }
            if (forward)
                Next();
            else
                Prior();
        }
        return found && SyncCursor;
    });
    if (found) FoundField = foundField;
    return found;
}

}  // namespace velmysql
