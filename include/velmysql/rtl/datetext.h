#pragma once
// Dates and times as text in the regional format: the framework's locale-aware parsers
// and formatters. Each conversion has a form that takes the settings explicitly and one
// that reads a snapshot of the process-wide settings.
//
// Parsing rules. A date is three whole numbers separated by the date separator, read in
// the order of the short date format (GetDateOrder); the year is taken as written, so
// '06' is the year 6 (there is no century rule), and the date must exist (year
// 1..9999). A time is an hour, optionally followed by the time separator and minutes,
// optionally again by the separator and seconds, optionally by the decimal separator and
// a fraction of a second (kept to the millisecond); hours 0..23, minutes and seconds
// 0..59. Blanks are allowed before and after each number. A date-time is a date,
// optionally followed by blanks and a time, or a time alone (on day 0). Anything else
// is rejected: the Try forms answer false and leave the result alone, the others raise
// EConvertError.

#include <string>

#include "velmysql/rtl/datetime.h"
#include "velmysql/rtl/formatsettings.h"

namespace velmysql {

bool TryStrToDate(const std::string& s, TDateTime& value, const TFormatSettings& fs);
bool TryStrToDate(const std::string& s, TDateTime& value);
TDateTime StrToDate(const std::string& s, const TFormatSettings& fs);
TDateTime StrToDate(const std::string& s);

bool TryStrToTime(const std::string& s, TDateTime& value, const TFormatSettings& fs);
bool TryStrToTime(const std::string& s, TDateTime& value);
TDateTime StrToTime(const std::string& s, const TFormatSettings& fs);
TDateTime StrToTime(const std::string& s);

bool TryStrToDateTime(const std::string& s, TDateTime& value, const TFormatSettings& fs);
bool TryStrToDateTime(const std::string& s, TDateTime& value);
TDateTime StrToDateTime(const std::string& s, const TFormatSettings& fs);
TDateTime StrToDateTime(const std::string& s);

// Formats a date-time by a pattern: d dd (day), m mm (month; minutes right after an
// hour), yy yyyy (year), h hh (hour), n nn (minute), s ss (second), z zzz (millisecond),
// "/" the date separator, ":" the time separator, text in double or single quotes as
// written; any other character stands for itself. Letters are matched in any case.
std::string FormatDateTime(const std::string& format, TDateTime value, const TFormatSettings& fs);
std::string FormatDateTime(const std::string& format, TDateTime value);

// The short date format, the long time format, and both (the time only when the value
// has a time of day).
std::string DateToStr(TDateTime value, const TFormatSettings& fs);
std::string DateToStr(TDateTime value);
std::string TimeToStr(TDateTime value, const TFormatSettings& fs);
std::string TimeToStr(TDateTime value);
std::string DateTimeToStr(TDateTime value, const TFormatSettings& fs);
std::string DateTimeToStr(TDateTime value);

}  // namespace velmysql
