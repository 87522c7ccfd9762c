#pragma once
// The few Variant operations the data-access classes need, in one place.

#include <cstdint>
#include <string>
#include <vector>

#include "velmysql/rtl/datetime.h"
#include "velmysql/rtl/variant.h"

namespace velmysql::dbvar {

Variant Null();
// Null or unassigned: both stand for "no value" when stored in a field or parameter.
bool IsNullish(const Variant& V);
bool IsArray(const Variant& V);
int ArrayCount(const Variant& V);
Variant ArrayItem(const Variant& V, int Index);
Variant MakeArray(std::vector<Variant> Items);
Variant FromDateTime(TDateTime Value);

// Conversions; a value that does not convert raises EConvertError.
std::string ToString(const Variant& V);
int64_t ToInt64(const Variant& V);
double ToDouble(const Variant& V);
bool ToBoolean(const Variant& V);
TDateTime ToDateTime(const Variant& V);
// The type the value holds, for parameters that take their data type from a value.
enum class Kind { Null, Boolean, Integer, Int64, Float, DateTime, String, Other };
Kind KindOf(const Variant& V);

}  // namespace velmysql::dbvar
