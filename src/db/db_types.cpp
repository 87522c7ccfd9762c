#include "velmysql/db/db_types.h"

namespace velmysql {

namespace {
constexpr const char* kFieldTypeNames[FieldTypeCount] = {
    "ftUnknown", "ftString", "ftSmallint", "ftInteger", "ftWord", "ftBoolean", "ftFloat",
    "ftCurrency", "ftBCD", "ftDate", "ftTime", "ftDateTime", "ftBytes", "ftVarBytes",
    "ftAutoInc", "ftBlob", "ftMemo", "ftGraphic", "ftFmtMemo", "ftParadoxOle", "ftDBaseOle",
    "ftTypedBinary", "ftCursor", "ftFixedChar", "ftWideString", "ftLargeint", "ftADT",
    "ftArray", "ftReference", "ftDataSet", "ftOraBlob", "ftOraClob", "ftVariant",
    "ftInterface", "ftIDispatch", "ftGuid", "ftTimeStamp", "ftFMTBcd", "ftFixedWideChar",
    "ftWideMemo", "ftOraTimeStamp", "ftOraInterval"};
}  // namespace

const char* FieldTypeName(TFieldType type) {
    const int i = static_cast<int>(type);
    return (i >= 0 && i < FieldTypeCount) ? kFieldTypeNames[i] : "ftUnknown";
}

bool FieldTypeFromName(const std::string& name, TFieldType& type) {
    for (int i = 0; i < FieldTypeCount; ++i)
        if (name == kFieldTypeNames[i]) {
            type = static_cast<TFieldType>(i);
            return true;
        }
    return false;
}

}  // namespace velmysql
