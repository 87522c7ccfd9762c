#include "velmysql/rtl/datetime.h"

#include <cmath>
#include <cstdint>
#include <string>

#include "velmysql/rtl/exception.h"

namespace velmysql {

namespace {

constexpr int kMonthDays[2][12] = {{31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31},
                                   {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31}};

// Days from 1 January 0001 to the given date, plus one (the TTimeStamp.Date count).
// The caller has validated the date.
int32_t DayNumber(int year, int month, int day) {
    const int leap = IsLeapYear(year) ? 1 : 0;
    int32_t n = day;
    for (int m = 1; m < month; ++m) n += kMonthDays[leap][m - 1];
    const int32_t y = year - 1;
    return n + y * 365 + y / 4 - y / 100 + y / 400;
}

// Largest |TDateTime| accepted by the stamp conversion: keeps the day count within
// 32 bits and the millisecond count exact in a double.
constexpr double kMaxDateTimeMagnitude = 2.0e9;

}  // namespace

bool IsLeapYear(int year) { return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0); }

int DaysInMonth(int year, int month) {
    if (month < 1 || month > 12) return 0;
    return kMonthDays[IsLeapYear(year) ? 1 : 0][month - 1];
}

bool TryEncodeDate(int year, int month, int day, TDateTime& result) {
    if (year < 1 || year > 9999 || month < 1 || month > 12) return false;
    if (day < 1 || day > DaysInMonth(year, month)) return false;
    result = static_cast<double>(DayNumber(year, month, day) - DateDelta);
    return true;
}

bool TryEncodeTime(int hour, int min, int sec, int msec, TDateTime& result) {
    if (hour < 0 || hour >= 24 || min < 0 || min >= 60 || sec < 0 || sec >= 60 || msec < 0 || msec >= 1000)
        return false;
    result = (hour * 3600000.0 + min * 60000.0 + sec * 1000.0 + msec) / MSecsPerDay;
    return true;
}

TDateTime EncodeDate(int year, int month, int day) {
    TDateTime r = 0;
    if (!TryEncodeDate(year, month, day, r)) throw EConvertError("Invalid argument to date encode");
    return r;
}

TDateTime EncodeTime(int hour, int min, int sec, int msec) {
    TDateTime r = 0;
    if (!TryEncodeTime(hour, min, sec, msec, r)) throw EConvertError("Invalid argument to time encode");
    return r;
}

TTimeStamp DateTimeToTimeStamp(TDateTime value) {
    if (!(std::fabs(value) < kMaxDateTimeMagnitude))
        throw EConvertError("Invalid date/time value " + std::to_string(value));
    // Round once on the whole millisecond count so that 23:59:59.9999 becomes the next
    // midnight instead of a Time of a full day.
    const int64_t total = std::llround(value * MSecsPerDay);
    TTimeStamp r;
    r.Date = static_cast<int32_t>(DateDelta + total / MSecsPerDay);
    r.Time = static_cast<int32_t>((total < 0 ? -total : total) % MSecsPerDay);
    return r;
}

bool IsValidTimeStamp(const TTimeStamp& stamp) {
    return stamp.Date >= 1 && stamp.Time >= 0 && stamp.Time < MSecsPerDay;
}

TDateTime TimeStampToDateTime(const TTimeStamp& stamp) {
    if (!IsValidTimeStamp(stamp))
        throw EConvertError("Invalid time stamp: Date " + std::to_string(stamp.Date) + ", Time " +
                            std::to_string(stamp.Time));
    const double days = static_cast<double>(stamp.Date) - DateDelta;
    const double frac = static_cast<double>(stamp.Time) / MSecsPerDay;
    // Before 30 December 1899 the whole part is negative and the time still counts forward.
    return days < 0 ? days - frac : days + frac;
}

void DecodeDate(TDateTime value, int& year, int& month, int& day) {
    year = month = day = 0;
    if (!(std::fabs(value) < kMaxDateTimeMagnitude)) return;
    int32_t n = DateTimeToTimeStamp(value).Date;
    if (n <= 0) return;
    // Work in whole 400-, 100- and 4-year cycles from 1 January 0001.
    constexpr int32_t D1 = 365, D4 = D1 * 4 + 1, D100 = D4 * 25 - 1, D400 = D100 * 4 + 1;
    int32_t t = n - 1;
    int32_t y = 1;
    y += (t / D400) * 400;
    t %= D400;
    int32_t i = t / D100;
    if (i == 4) i = 3;  // the last day of a 400-year cycle
    y += i * 100;
    t -= i * D100;
    y += (t / D4) * 4;
    t %= D4;
    i = t / D1;
    if (i == 4) i = 3;  // the last day of a leap cycle
    y += i;
    t -= i * D1;
    const int leap = IsLeapYear(y) ? 1 : 0;
    int m = 1;
    while (t >= kMonthDays[leap][m - 1]) {
        t -= kMonthDays[leap][m - 1];
        ++m;
    }
    year = y;
    month = m;
    day = t + 1;
}

void DecodeTime(TDateTime value, int& hour, int& min, int& sec, int& msec) {
    hour = min = sec = msec = 0;
    if (!(std::fabs(value) < kMaxDateTimeMagnitude)) return;
    int32_t t = DateTimeToTimeStamp(value).Time;
    hour = t / 3600000;
    t %= 3600000;
    min = t / 60000;
    t %= 60000;
    sec = t / 1000;
    msec = t % 1000;
}

int DayOfWeek(TDateTime value) {
    const int32_t d = DateTimeToTimeStamp(value).Date;
    return ((d % 7) + 7) % 7 + 1;
}

TDateTime DateOf(TDateTime value) { return std::trunc(value); }

TDateTime TimeOf(TDateTime value) { return value - std::trunc(value); }

}  // namespace velmysql
