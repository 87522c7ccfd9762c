#pragma once
// The process-wide regional settings that the framework's text conversions read.
//
// The record is copied out and in as a whole under a lock, so a thread that converts
// with an explicit record never sees another thread's change half done, and code that
// needs fixed separators (the database's "." for numbers) passes its own record
// instead of changing the shared one.

#include <string>

namespace velmysql {

struct TFormatSettings {
    // Date pattern: d/dd day, m/mm month, yy/yyyy year, "/" the date separator.
    // Its first D, E, M or Y letter gives the order in which dates are read.
    std::string ShortDateFormat = "yyyy-mm-dd";
    // Time pattern used when formatting times: h/hh, n/nn, s/ss, z/zzz, ":".
    std::string LongTimeFormat = "hh:nn:ss";
    char DateSeparator = '-';
    char TimeSeparator = ':';
    char DecimalSeparator = '.';
};

// The order of day, month and year in a date text.
enum class TDateOrder { doMDY, doDMY, doYMD };

// The order implied by a short date format: the first letter (any case) among D, E, M,
// Y decides: D day-month-year, E or Y year-month-day, M month-day-year; none of them
// gives month-day-year.
TDateOrder GetDateOrder(const std::string& shortDateFormat);

// A snapshot of the process-wide settings.
TFormatSettings FormatSettings();
// Replaces the process-wide settings; conversions already running keep their snapshot.
void SetFormatSettings(const TFormatSettings& settings);

}  // namespace velmysql
