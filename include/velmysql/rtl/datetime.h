#pragma once
// The framework's two date-time types and their conversions.
//
// TDateTime counts days since 30 December 1899 in its whole part; the fraction is the
// time of day (0.5 is noon). Negative values count back from that day, the fraction
// still being the time of day (-1.25 is 29 December 1899, 06:00).
//
// TTimeStamp splits a moment into Time (milliseconds since midnight) and Date (days
// since 1 January 0001, plus one: 1 January 0001 is 1).

#include <cstdint>

namespace velmysql {

using TDateTime = double;

struct TTimeStamp {
    int32_t Time;
    int32_t Date;
};

inline bool operator==(const TTimeStamp& a, const TTimeStamp& b) {
    return a.Time == b.Time && a.Date == b.Date;
}

// TTimeStamp.Date of 30 December 1899, the zero of TDateTime.
constexpr int32_t DateDelta = 693594;
constexpr int32_t HoursPerDay = 24;
constexpr int32_t MinsPerDay = 24 * 60;
constexpr int32_t SecsPerDay = 24 * 60 * 60;
constexpr int32_t MSecsPerDay = 24 * 60 * 60 * 1000;

bool IsLeapYear(int year);
// Days in the month of the year; 0 for a month outside 1..12.
int DaysInMonth(int year, int month);

// Validating constructors: year 1..9999, month 1..12, day within the month; hour 0..23,
// minute and second 0..59, millisecond 0..999. The Try forms answer false for values
// out of range and leave the result alone; the others raise EConvertError.
bool TryEncodeDate(int year, int month, int day, TDateTime& result);
bool TryEncodeTime(int hour, int min, int sec, int msec, TDateTime& result);
TDateTime EncodeDate(int year, int month, int day);
TDateTime EncodeTime(int hour, int min, int sec, int msec);

// Calendar parts of a date-time value; a value outside years 1..9999 gives all zeros.
void DecodeDate(TDateTime value, int& year, int& month, int& day);
// Time-of-day parts, rounded to the nearest millisecond.
void DecodeTime(TDateTime value, int& hour, int& min, int& sec, int& msec);
// Day of the week, 1 = Sunday .. 7 = Saturday.
int DayOfWeek(TDateTime value);

// Whole days (truncated toward zero) and the time-of-day part.
TDateTime DateOf(TDateTime value);
TDateTime TimeOf(TDateTime value);

// Conversions between the two representations. A time stamp with Date below 1 or Time
// outside one day raises EConvertError.
TTimeStamp DateTimeToTimeStamp(TDateTime value);
TDateTime TimeStampToDateTime(const TTimeStamp& stamp);
// Whether the time stamp denotes a real moment (Date >= 1, Time within the day).
bool IsValidTimeStamp(const TTimeStamp& stamp);

}  // namespace velmysql
