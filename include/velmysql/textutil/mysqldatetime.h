#pragma once
// Conversions between MySQL's date, time and number texts ('2006-04-06', '12:30:45',
// '2006-04-06 12:30:45', the compact '20060406123045', numbers with ".") and the
// framework's date-time values.
//
// Date and time texts are split into words at any of the characters "-/\.: " (runs of
// them make no empty words); a date-time is split at blanks. The routines answering a
// TDateTime rebuild the parts in the regional format (date order, date and time
// separators) and hand them to the locale parser; they answer 0 (30 December 1899,
// midnight) for a text it rejects. The routines answering a TTimeStamp read the parts as
// numbers and never raise: a failed half gives Date 1 and Time 0. Each routine that
// reads the regional settings has a form that takes them explicitly.

#include <string>

#include "velmysql/rtl/datetime.h"
#include "velmysql/rtl/formatsettings.h"

namespace velmysql {

// The characters that separate the parts of a MySQL date or time text.
inline constexpr const char* MySQLDateTimeSeparators = "-/\\.: ";

TDateTime MySQLStrToDate(const std::string& s, const TFormatSettings& fs);
TDateTime MySQLStrToDate(const std::string& s);
TDateTime MySQLStrToTime(const std::string& s, const TFormatSettings& fs);
TDateTime MySQLStrToTime(const std::string& s);
TDateTime MySQLStrToDateTime(const std::string& s, const TFormatSettings& fs);
TDateTime MySQLStrToDateTime(const std::string& s);

// The compact form YYYYMMDDHHMMSS read at fixed positions.
TDateTime MySQLTimeStampToDate(const std::string& s, const TFormatSettings& fs);
TDateTime MySQLTimeStampToDate(const std::string& s);
TDateTime MySQLTimeStampToTime(const std::string& s, const TFormatSettings& fs);
TDateTime MySQLTimeStampToTime(const std::string& s);
TDateTime MySQLTimeStampToDateTime(const std::string& s, const TFormatSettings& fs);
TDateTime MySQLTimeStampToDateTime(const std::string& s);

// Year, month and day (each 0 read as 1) into stamp.Date, keeping stamp.Time; a date
// that does not exist gives Date 1 and Time 0. Years are taken as written.
TTimeStamp MySQLDateStrToTimeStamp(const std::string& s, TTimeStamp stamp = TTimeStamp{0, 1});
// Hour, minute and second into stamp.Time, keeping stamp.Date; a time outside one day
// gives Date 1 and Time 0.
TTimeStamp MySQLTimeStrToTimeStamp(const std::string& s, TTimeStamp stamp = TTimeStamp{0, 1});
// The date of the first blank-separated word and the time of the second, each half
// following its own failure rule.
TTimeStamp MySQLDateTimeStrToTimeStamp(const std::string& s);
// The compact form read at fixed positions; fields out of range are replaced (year,
// month, day by 1; hour, minute, second by 0) and a day past the month's end gives
// Date 1 and Time 0.
TTimeStamp MySQLTimeStampStrToTimeStamp(const std::string& s);

// Numbers with "." as decimal separator whatever the regional settings say; the shared
// settings are never touched. MySQLStrToFloat raises EConvertError for a rejected text.
double MySQLStrToFloat(const std::string& s);
std::string MySQLFloatToStr(double value);

// The time-of-day fraction: value minus its integer part truncated toward zero.
TDateTime FloatToTime(double value);

// A number text with the regional decimal separator used as a date-time, as whole days
// (truncated toward zero), or as a time of day; EConvertError for a rejected text.
TDateTime StrFloatToDateTime(const std::string& s, const TFormatSettings& fs);
TDateTime StrFloatToDateTime(const std::string& s);
TDateTime StrFloatToDate(const std::string& s, const TFormatSettings& fs);
TDateTime StrFloatToDate(const std::string& s);
TDateTime StrFloatToTime(const std::string& s, const TFormatSettings& fs);
TDateTime StrFloatToTime(const std::string& s);

// 'YYYY-MM-DD HH:MM:SS' read at fixed positions as month/day/year and time, whatever
// the regional settings; EConvertError for a rejected text.
TDateTime StrToDateTimeFmt(const std::string& s);

}  // namespace velmysql
