#pragma once
// The option set, result modes, events and the column, table and record records of the
// dataset components.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "velmysql/dataset/row_values.h"
#include "velmysql/db/db_types.h"
#include "velmysql/rtl/set.h"

namespace velmysql {

enum TMySQLDatasetOption {
    doShareConnection,      // run on the server's own connection (ShareConnection)
    doTransactions,         // wrap posted changes in a transaction
    doRecursiveUpdates,     // per-column batch updates
    doCachedUpdates,        // collect changes in SQLCached (CachedUpdates)
    doThreadedUpdate,       // Execute and posting run on worker threads
    doAutoCreate,           // create the table TableName on open
    doCreateTemp,           // ... as a temporary table
    doDropIfExists,         // ... dropping an existing one first
    doFieldsAsString,       // every non-blob column a string of 255 (RawData)
    doRetrieveFieldValues,  // after the last row: defaults and enum/set members
    doRetrieveIndexDefs,    // after the last row: IndexDefs from "show index from"
    doMacrosEnabled,        // expand macros, master and filter conditions
    doMacroCheck,           // rebuild Macros from the statements (ParamCheck)
    do2KStrToMemo,          // strings longer than 2048 become memos
    doSmallMemoToStr,       // text blobs up to 65536 become strings
    doEnumToBool,           // two-member enums become booleans
    doTinyIntToBool,        // TINYINT columns become booleans
    doSetToWord,            // sets become word bit masks
    doEditCalcFields,       // columns without a table stay editable
    doUseCursor,            // show Cursor on the screen while results open (UseCursor)
    doSingleSQL,            // the SQL text is one statement, not a script
};
using TMySQLDatasetOptions = TSet<TMySQLDatasetOption>;

// TMySQLDatasetBase, TMySQLDataset, TMySQLQuery: 538625.
inline constexpr TMySQLDatasetOptions kDefaultDatasetOptions{doShareConnection, doMacrosEnabled, doMacroCheck,
                                                             do2KStrToMemo, doUseCursor};
// TMySQLTable: 540161.
inline constexpr TMySQLDatasetOptions kDefaultTableOptions =
    kDefaultDatasetOptions + TMySQLDatasetOptions{doRetrieveFieldValues, doRetrieveIndexDefs};

// The search directions and modes of LocateRecordOption: loFirst (1) and loLast (8)
// place the cursor before the search, loNext (2) and loPrior (4) walk forward or backward
// from there, loTextSearch (16) compares every key field with the same value and
// loMatchAll (32) wants every key field to match instead of one.
enum TMySQLLocateOption { loFirst, loNext, loPrior, loLast, loTextSearch, loMatchAll };
using TMySQLLocateOptions = TSet<TMySQLLocateOption>;

// rtLocal fetches every row when the result opens; rtIncremental fetches rows as
// navigation reaches them; rtUnidirectional does too and keeps only the newest row.
enum TMySQLResultOptions { rtLocal, rtIncremental, rtUnidirectional };

class TMySQLDatasetBase;
// Before each statement is sent: SQL may be replaced; Continue false ends an open with
// the silent abort.
using TMySQLEvent = std::function<void(TMySQLDatasetBase* Dataset, std::string& SQL, bool& Continue)>;
using TMySQLMacroEvent =
    std::function<void(TMySQLDatasetBase* Dataset, const std::string& AMacro, std::string& AValue, bool& ADefault)>;
// A column value: AField is the column name, AIndex the row index; AValue may be set.
using TMySQLFieldValue =
    std::function<void(TMySQLDatasetBase* Dataset, const std::string& AField, int64_t AIndex, std::string& AValue)>;

// Column flag bits and type codes the dataset reads.
namespace column {
inline constexpr uint32_t kNotNull = 1, kPrimaryKey = 2, kUniqueKey = 4, kMultipleKey = 8, kBlob = 16, kUnsigned = 32,
                          kBinary = 128, kEnum = 256, kAutoIncrement = 512, kSet = 2048;
inline constexpr uint8_t kDecimal = 0, kTiny = 1, kShort = 2, kLong = 3, kFloat = 4, kDouble = 5, kNull = 6,
                         kTimestamp = 7, kLongLong = 8, kInt24 = 9, kDate = 10, kTime = 11, kDateTime = 12, kYear = 13,
                         kNewDate = 14, kVarChar = 15, kBit = 16, kNewDecimal = 246, kEnumType = 247, kSetType = 248,
                         kTinyBlob = 249, kMediumBlob = 250, kLongBlob = 251, kBlobType = 252, kVarString = 253,
                         kString = 254, kGeometry = 255;
}  // namespace column

// One column of the result (result columns first, then the custom columns).
struct TFieldInfo {
    std::string Name;           // column name
    std::string OrgName;        // the column's name in its table
    std::string Table;          // table alias; empty for temporary tables and expressions
    std::string OrgTable;       // the real table name
    std::string Database;
    std::string Default;        // default text of new records
    std::string Origin;         // quoted qualified name, the field's Origin
    std::string QualifiedName;  // database.alias.name, unquoted
    std::string EnumValues;     // enum or set members, each in double quotes, comma separated
    uint8_t FieldType = 0;      // column type code, adjusted by the options
    uint32_t Length = 0;
    uint32_t MaxLength = 0;
    uint32_t Flags = 0;
    uint32_t Decimals = 0;
    uint32_t Offset = 0;        // running width before this column
    bool Modified = false;      // assigned in the current record
    bool InResult = false;      // a result column (false: a custom column)

    bool IsBlob() const { return (Flags & column::kBlob) != 0; }
};

// One table (alias) of the result.
struct TTableInfo {
    std::string Name;        // alias
    std::string OrgName;     // real table name
    std::string QuotedName;  // quoted database.table (without the database in a single database)
    std::string Database;
    std::string PrimaryKeys, UniqueKeys, IndexKeys;  // comma lists of this table's key columns
};

// A record buffer of the framework. Values holds every column of the record, blob
// columns included, each with its exact bytes (NULL distinct from empty); the row list
// holds fetched rows as TRowValues alone. CalcBuffer is the calculation area (the
// framework's calculation size plus one byte), empty when that size is 0; Index is the
// row index and the bookmark.
struct TRecInfo {
    TRowValues Values;
    std::vector<char> CalcBuffer;
    int64_t Index = 0;
    TBookmarkFlag BookmarkFlag = bfCurrent;
};

}  // namespace velmysql
