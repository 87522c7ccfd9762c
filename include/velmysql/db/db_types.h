#pragma once
// Enumerations and small types shared by the data-access classes. The order of every
// enumeration is the framework's: stored forms and the dataset engine's tables index
// by it.

#include <cstdint>
#include <string>

#include "velmysql/rtl/set.h"

namespace velmysql {

enum class TFieldType : uint8_t {
    ftUnknown, ftString, ftSmallint, ftInteger, ftWord, ftBoolean, ftFloat, ftCurrency,
    ftBCD, ftDate, ftTime, ftDateTime, ftBytes, ftVarBytes, ftAutoInc, ftBlob, ftMemo,
    ftGraphic, ftFmtMemo, ftParadoxOle, ftDBaseOle, ftTypedBinary, ftCursor, ftFixedChar,
    ftWideString, ftLargeint, ftADT, ftArray, ftReference, ftDataSet, ftOraBlob, ftOraClob,
    ftVariant, ftInterface, ftIDispatch, ftGuid, ftTimeStamp, ftFMTBcd, ftFixedWideChar,
    ftWideMemo, ftOraTimeStamp, ftOraInterval
};
using enum TFieldType;
constexpr int FieldTypeCount = static_cast<int>(ftOraInterval) + 1;

// The type's name as the framework spells it ("ftString"); used by streaming.
const char* FieldTypeName(TFieldType type);
// Inverse of FieldTypeName; false for an unknown name.
bool FieldTypeFromName(const std::string& name, TFieldType& type);

// Types whose values live in blob storage and are reached through blob streams.
constexpr bool IsBlobType(TFieldType t) {
    return t == ftBlob || t == ftMemo || t == ftGraphic || t == ftFmtMemo ||
           t == ftParadoxOle || t == ftDBaseOle || t == ftTypedBinary || t == ftOraBlob ||
           t == ftOraClob || t == ftWideMemo;
}

enum class TDataSetState : uint8_t {
    dsInactive, dsBrowse, dsEdit, dsInsert, dsSetKey, dsCalcFields, dsFilter, dsNewValue,
    dsOldValue, dsCurValue, dsBlockRead, dsInternalCalc, dsOpening
};
using enum TDataSetState;

enum class TGetMode : uint8_t { gmCurrent, gmNext, gmPrior };
using enum TGetMode;

enum class TGetResult : uint8_t { grOK, grBOF, grEOF, grError };
using enum TGetResult;

enum class TBookmarkFlag : uint8_t { bfCurrent, bfBOF, bfEOF, bfInserted };
using enum TBookmarkFlag;

enum class TDataEvent : uint8_t {
    deFieldChange, deRecordChange, deDataSetChange, deDataSetScroll, deLayoutChange,
    deUpdateRecord, deUpdateState, deCheckBrowseMode, dePropertyChange, deFieldListChange,
    deFocusControl, deParentScroll, deConnectChange, deReconcileError, deDisabledStateChange
};
using enum TDataEvent;

enum class TFieldKind : uint8_t { fkData, fkCalculated, fkLookup, fkInternalCalc, fkAggregate };
using enum TFieldKind;

enum class TBlobStreamMode : uint8_t { bmRead, bmWrite, bmReadWrite };
using enum TBlobStreamMode;

enum class TUpdateKind : uint8_t { ukModify, ukInsert, ukDelete };
using enum TUpdateKind;

enum class TDataAction : uint8_t { daFail, daAbort, daRetry };
using enum TDataAction;

enum class TParamType : uint8_t { ptUnknown, ptInput, ptOutput, ptInputOutput, ptResult };
using enum TParamType;

enum class TResyncModeItem : uint8_t { rmExact, rmCenter };
using enum TResyncModeItem;
using TResyncMode = TSet<TResyncModeItem>;

enum class TLocateOption : uint8_t { loCaseInsensitive, loPartialKey };
using enum TLocateOption;
using TLocateOptions = TSet<TLocateOption>;

enum class TFieldAttribute : uint8_t {
    faHiddenCol, faReadonly, faRequired, faLink, faUnNamed, faFixed
};
using enum TFieldAttribute;
using TFieldAttributes = TSet<TFieldAttribute>;

enum class TIndexOption : uint8_t {
    ixPrimary, ixUnique, ixDescending, ixCaseInsensitive, ixExpression, ixNonMaintained
};
using enum TIndexOption;
using TIndexOptions = TSet<TIndexOption>;


enum class TProviderFlag : uint8_t { pfInUpdate, pfInWhere, pfInKey, pfHidden };
using enum TProviderFlag;
using TProviderFlags = TSet<TProviderFlag>;

// A record buffer is opaque to the framework: the dataset that allocates it decides
// what it holds (AllocRecordBuffer/FreeRecordBuffer).
using TRecordBuffer = void*;

// A bookmark is a copy of the bookmark data of a record, BookmarkSize bytes long.
// An empty bookmark means "no bookmark".
using TBookmark = std::string;
using TBookmarkStr = std::string;

}  // namespace velmysql
