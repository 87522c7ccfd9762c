// Date-time values: calendar encoding and decoding, time stamps, and their validation.
#include <cmath>

#include <gtest/gtest.h>

#include "velmysql/rtl/datetime.h"
#include "velmysql/rtl/exception.h"

using namespace velmysql;

namespace {

TEST(DateTime, CalendarRules) {
    struct Case {
        int year;
        bool leap;
        int febDays;
    } cases[] = {{1900, false, 28}, {2000, true, 29}, {2004, true, 29}, {2006, false, 28}, {2100, false, 28}, {1, false, 28}};
    for (const auto& c : cases) {
        EXPECT_EQ(IsLeapYear(c.year), c.leap) << c.year;
        EXPECT_EQ(DaysInMonth(c.year, 2), c.febDays) << c.year;
    }
    EXPECT_EQ(DaysInMonth(2006, 4), 30);
    EXPECT_EQ(DaysInMonth(2006, 12), 31);
    EXPECT_EQ(DaysInMonth(2006, 0), 0);
    EXPECT_EQ(DaysInMonth(2006, 13), 0);
}

TEST(DateTime, EncodeKnownDays) {
    struct Case {
        int y, m, d;
        double serial;
        int32_t stampDate;
    } cases[] = {
        {1899, 12, 30, 0, 693594},
        {1899, 12, 29, -1, 693593},
        {1900, 1, 1, 2, 693596},
        {2006, 4, 6, 38813, 732407},
        {1, 1, 1, -693593, 1},
        {9999, 12, 31, 2958465, 3652059},
        {2000, 2, 29, 36585, 730179},
    };
    for (const auto& c : cases) {
        const TDateTime v = EncodeDate(c.y, c.m, c.d);
        EXPECT_EQ(v, c.serial) << c.y << "-" << c.m << "-" << c.d;
        EXPECT_EQ(DateTimeToTimeStamp(v).Date, c.stampDate);
        int y = 0, m = 0, d = 0;
        DecodeDate(v, y, m, d);
        EXPECT_EQ(y * 10000 + m * 100 + d, c.y * 10000 + c.m * 100 + c.d);
    }
    EXPECT_EQ(DayOfWeek(EncodeDate(2006, 4, 6)), 5);  // a Thursday
    EXPECT_EQ(DayOfWeek(EncodeDate(1, 1, 1)), 2);     // a Monday
}

TEST(DateTime, DecodeEveryDayOfALeapCycleRoundTrips) {
    // Walk four centuries' boundaries: the cycle arithmetic has its edge on the last day
    // of each 4-, 100- and 400-year period.
    const TDateTime start = EncodeDate(1599, 12, 1);
    const TDateTime stop = EncodeDate(2001, 3, 1);
    int prevY = 1599, prevM = 11, prevD = 30;
    for (TDateTime v = start; v <= stop; v += 1) {
        int y = 0, m = 0, d = 0;
        DecodeDate(v, y, m, d);
        ASSERT_EQ(EncodeDate(y, m, d), v);
        const bool nextDay = (y == prevY && m == prevM && d == prevD + 1) ||
                             (y == prevY && m == prevM + 1 && d == 1) || (y == prevY + 1 && m == 1 && d == 1);
        ASSERT_TRUE(nextDay) << y << "-" << m << "-" << d;
        prevY = y;
        prevM = m;
        prevD = d;
    }
}

TEST(DateTime, InvalidPartsAreRejected) {
    struct Case {
        int y, m, d;
    } dates[] = {{0, 1, 1}, {10000, 1, 1}, {2006, 0, 1}, {2006, 13, 1}, {2006, 2, 29}, {2006, 4, 31}, {2006, 4, 0}};
    for (const auto& c : dates) {
        TDateTime v = 123;
        EXPECT_FALSE(TryEncodeDate(c.y, c.m, c.d, v));
        EXPECT_EQ(v, 123);  // left alone
        EXPECT_THROW(EncodeDate(c.y, c.m, c.d), EConvertError);
    }
    struct TCase {
        int h, n, s, ms;
    } times[] = {{24, 0, 0, 0}, {-1, 0, 0, 0}, {0, 60, 0, 0}, {0, 0, 60, 0}, {0, 0, 0, 1000}, {0, 0, 0, -1}};
    for (const auto& c : times) {
        TDateTime v = 0;
        EXPECT_FALSE(TryEncodeTime(c.h, c.n, c.s, c.ms, v));
        EXPECT_THROW(EncodeTime(c.h, c.n, c.s, c.ms), EConvertError);
    }
}

TEST(DateTime, TimeOfDay) {
    EXPECT_EQ(EncodeTime(12, 0, 0, 0), 0.5);
    EXPECT_EQ(DateTimeToTimeStamp(EncodeTime(23, 59, 59, 0)).Time, 86399000);
    EXPECT_EQ(DateTimeToTimeStamp(EncodeTime(12, 30, 45, 0)).Time, 45045000);
    int h, n, s, ms;
    DecodeTime(EncodeDate(2006, 4, 6) + EncodeTime(13, 14, 15, 16), h, n, s, ms);
    EXPECT_EQ(h * 10000000 + n * 100000 + s * 1000 + ms, 131415016);
}

TEST(DateTime, TimeStampConversions) {
    // Before day 0 the whole part is negative and the time still runs forward.
    TTimeStamp ts = DateTimeToTimeStamp(-1.25);
    EXPECT_EQ(ts.Date, DateDelta - 1);
    EXPECT_EQ(ts.Time, 6 * 3600000);
    EXPECT_EQ(TimeStampToDateTime(ts), -1.25);

    ts = DateTimeToTimeStamp(38813.75);
    EXPECT_EQ(ts.Date, 732407);
    EXPECT_EQ(ts.Time, 18 * 3600000);
    EXPECT_EQ(TimeStampToDateTime(ts), 38813.75);

    // A time a hair before midnight rounds to the next day, never to a full-day Time.
    ts = DateTimeToTimeStamp(1.0 - 1e-12);
    EXPECT_EQ(ts.Date, DateDelta + 1);
    EXPECT_EQ(ts.Time, 0);

    EXPECT_EQ(TimeStampToDateTime(TTimeStamp{0, 1}), -693593);
    for (TTimeStamp bad : {TTimeStamp{0, 0}, TTimeStamp{-1, 5}, TTimeStamp{MSecsPerDay, 5}}) {
        EXPECT_FALSE(IsValidTimeStamp(bad));
        EXPECT_THROW(TimeStampToDateTime(bad), EConvertError);
    }
    for (double bad : {double(NAN), double(INFINITY), 1e300}) EXPECT_THROW(DateTimeToTimeStamp(bad), EConvertError);
    EXPECT_EQ(DateOf(-1.25), -1);
    EXPECT_EQ(TimeOf(38813.75), 0.75);
}

}  // namespace
