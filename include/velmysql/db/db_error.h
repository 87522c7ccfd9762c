#pragma once
// Raising database errors, and the fixed texts of the data-access classes.

#include <initializer_list>
#include <string>

#include "velmysql/db/database_error.h"

namespace velmysql {

class TComponent;

// Raises EDatabaseError with Message; when Component has a name, the message starts
// with that name and ": " so the user sees which component failed.
[[noreturn]] void DatabaseError(const std::string& Message, const TComponent* Component = nullptr);

// Texts of the framework's own errors. The "%s" marks are filled in by DatabaseErrorFmt.
namespace dbtext {
inline constexpr const char* SDataSetOpen = "Cannot perform this operation on an open dataset";
inline constexpr const char* SDataSetClosed = "Cannot perform this operation on a closed dataset";
inline constexpr const char* SDataSetEmpty = "Cannot perform this operation on an empty dataset";
inline constexpr const char* SDataSetReadOnly = "Cannot modify a read-only dataset";
inline constexpr const char* SNotEditing = "Dataset not in edit or insert mode";
inline constexpr const char* SRecordNotFound = "Record not found";
inline constexpr const char* SFieldNotFound = "Field '%s' not found";
inline constexpr const char* SDuplicateFieldName = "Duplicate field name '%s'";
inline constexpr const char* SFieldRequired = "Field '%s' must have a value";
inline constexpr const char* SFieldReadOnly = "Field '%s' cannot be modified";
inline constexpr const char* SFieldAccessError = "Cannot access field '%s' as type %s";
inline constexpr const char* SFieldTypeMismatch = "Type mismatch for field '%s', expecting: %s actual: %s";
inline constexpr const char* SFieldSizeMismatch = "Size mismatch for field '%s', expecting: %s actual: %s";
inline constexpr const char* SFieldNameMissing = "Field name missing";
inline constexpr const char* SDataSetMissing = "Field '%s' has no dataset";
inline constexpr const char* SInvalidIntegerValue = "'%s' is not a valid integer value for field '%s'";
inline constexpr const char* SInvalidFloatValue = "'%s' is not a valid floating point value for field '%s'";
inline constexpr const char* SInvalidBoolValue = "'%s' is not a valid boolean value for field '%s'";
inline constexpr const char* SInvalidDateValue = "'%s' is not a valid date and time for field '%s'";
inline constexpr const char* SFieldRangeError = "%s is not a valid value for field '%s'. The allowed range is %s to %s";
inline constexpr const char* SCircularDataLink = "Circular datalinks are not allowed";
inline constexpr const char* SSelfReference = "A dataset cannot be its own master";
inline constexpr const char* SFieldIndexError = "Field index out of range";
inline constexpr const char* SParameterNotFound = "Parameter '%s' not found";
inline constexpr const char* SIndexNotFound = "Index '%s' not found";
inline constexpr const char* SLookupInfoError = "Lookup information for field '%s' is incomplete";
inline constexpr const char* SNoFieldClass = "No field class for field type %s";
inline constexpr const char* SBookmarkNotFound = "Bookmark not found";
inline constexpr const char* SNotABlobField = "Field '%s' is not a blob field";
inline constexpr const char* SCalcFieldsInEvent = "Calculated fields cannot be modified outside OnCalcFields";
inline constexpr const char* SVariantCalcField = "Calculated or lookup field '%s' cannot be of type Variant";
inline constexpr const char* SDataSetBusy = "Dataset is busy in an operation that cannot be interrupted";
}  // namespace dbtext

// Replaces each "%s" of Format by the next argument, in order.
std::string DbFormat(const char* Format, std::initializer_list<std::string> Args);

[[noreturn]] inline void DatabaseErrorFmt(const char* Format, std::initializer_list<std::string> Args,
                                          const TComponent* Component = nullptr) {
    DatabaseError(DbFormat(Format, Args), Component);
}

}  // namespace velmysql
