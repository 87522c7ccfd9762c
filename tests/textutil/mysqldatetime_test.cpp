// MySQL date, time and number texts to date-time values and back, under each regional
// date order. Every test passes its settings explicitly or restores the shared record.
#include <atomic>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "velmysql/rtl/datetime.h"
#include "velmysql/rtl/exception.h"
#include "velmysql/rtl/floattext.h"
#include "velmysql/textutil/mysqldatetime.h"

using namespace velmysql;

namespace {

TFormatSettings Regional(const std::string& shortDate, char dateSep, char timeSep, char decimal) {
    TFormatSettings fs;
    fs.ShortDateFormat = shortDate;
    fs.DateSeparator = dateSep;
    fs.TimeSeparator = timeSep;
    fs.DecimalSeparator = decimal;
    return fs;
}

// Y-M-D, D-M-Y and M-D-Y users with differing separators.
const TFormatSettings kRegions[] = {
    Regional("yyyy-mm-dd", '-', ':', '.'),
    Regional("dd.mm.yyyy", '.', ':', ','),
    Regional("m/d/yyyy", '/', '.', '.'),
    Regional("d/m/yy", '/', ':', ','),
};

TDateTime At(int y, int m, int d, int h = 0, int n = 0, int s = 0) {
    const TDateTime date = EncodeDate(y, m, d);
    const TDateTime time = EncodeTime(h, n, s, 0);
    return date < 0 ? date - time : date + time;
}

TEST(MySQLDateTime, DatesInEveryRegionalOrder) {
    struct Case {
        const char* text;
        TDateTime value;
    } cases[] = {
        {"2006-04-06", At(2006, 4, 6)},
        {"2006/4/6", At(2006, 4, 6)},
        {"2006.04.06", At(2006, 4, 6)},
        {"  2006-04-06  ", At(2006, 4, 6)},
        {"2006-04-06 12:30:45", At(2006, 4, 6)},  // the rest of the text is not a date part
        {"1000-01-01", At(1000, 1, 1)},
        {"9999-12-31", At(9999, 12, 31)},
        {"06-04-06", At(6, 4, 6)},                // a two-digit year is the year as written
        {"0000-00-00", 0},
        {"2006-02-30", 0},
        {"2006-13-01", 0},
        {"2006-04", 0},
        {"", 0},
        {"garbage", 0},
        {"2006-04-06x", 0},
    };
    for (const auto& fs : kRegions)
        for (const auto& c : cases)
            EXPECT_EQ(MySQLStrToDate(c.text, fs), c.value) << fs.ShortDateFormat << " '" << c.text << "'";
}

TEST(MySQLDateTime, TimesInEveryRegionalFormat) {
    struct Case {
        const char* text;
        TDateTime value;
    } cases[] = {
        {"12:30:45", EncodeTime(12, 30, 45, 0)},
        {"12:30", EncodeTime(12, 30, 0, 0)},
        {"12", EncodeTime(12, 0, 0, 0)},
        {"-01:00:00", EncodeTime(1, 0, 0, 0)},      // "-" separates like any other
        {"12:30:45.5", EncodeTime(12, 30, 45, 0)},  // fractions are dropped
        {"23:59:59", EncodeTime(23, 59, 59, 0)},
        {"838:59:59", 0},
        {"24:00:00", 0},
        {"12:61:00", 0},
        {"", 0},
        {"ab:cd", 0},
    };
    for (const auto& fs : kRegions)
        for (const auto& c : cases)
            EXPECT_EQ(MySQLStrToTime(c.text, fs), c.value) << fs.ShortDateFormat << " '" << c.text << "'";
}

TEST(MySQLDateTime, DateTimesAddTheirHalves) {
    struct Case {
        const char* text;
        TDateTime value;
    } cases[] = {
        {"2006-04-06 12:30:45", At(2006, 4, 6, 12, 30, 45)},
        {"2006-04-06", At(2006, 4, 6)},
        {"2006-04-06 99:00:00", At(2006, 4, 6)},          // a bad time counts as midnight
        {"0000-00-00 12:00:00", 0.5},                     // a bad date counts as day 0
        {"0000-00-00 00:00:00", 0},
        // before 30 December 1899 the time still runs forward within the right day
        {"1800-01-01 12:00:00", At(1800, 1, 1, 12)},
        {"1899-12-29 06:00:00", -1.25},
    };
    for (const auto& fs : kRegions)
        for (const auto& c : cases)
            EXPECT_EQ(MySQLStrToDateTime(c.text, fs), c.value) << fs.ShortDateFormat << " '" << c.text << "'";
    int y, m, d, h, n, s, ms;
    const TDateTime old = MySQLStrToDateTime("1000-01-01 18:30:00", kRegions[1]);
    DecodeDate(old, y, m, d);
    DecodeTime(old, h, n, s, ms);
    EXPECT_EQ(y * 10000 + m * 100 + d, 10000101);
    EXPECT_EQ(h * 100 + n, 1830);
}

TEST(MySQLDateTime, CompactTimeStampsToDateTime) {
    struct Case {
        const char* text;
        TDateTime date;
        TDateTime time;
    } cases[] = {
        {"20060406123045", At(2006, 4, 6), EncodeTime(12, 30, 45, 0)},
        {"20060406", At(2006, 4, 6), 0},
        {"200604", 0, 0},
        {"", 0, 0},
        {"00000000000000", 0, 0},
        {"20061301000000", 0, 0},
        {"20060406250000", At(2006, 4, 6), 0},
        {"18000101120000", At(1800, 1, 1), 0.5},
    };
    for (const auto& fs : kRegions)
        for (const auto& c : cases) {
            EXPECT_EQ(MySQLTimeStampToDate(c.text, fs), c.date) << c.text;
            EXPECT_EQ(MySQLTimeStampToTime(c.text, fs), c.time) << c.text;
        }
    EXPECT_EQ(MySQLTimeStampToDateTime("20060406123045", kRegions[2]), At(2006, 4, 6, 12, 30, 45));
    EXPECT_EQ(MySQLTimeStampToDateTime("18000101120000", kRegions[0]), At(1800, 1, 1, 12));
}

TEST(MySQLDateTime, DateTextsToTimeStamps) {
    const TTimeStamp held{12345, 99};
    struct Case {
        const char* text;
        TTimeStamp result;
    } cases[] = {
        {"2006-04-06", {12345, 732407}},  // Time as the caller had it
        {"2006/4/6", {12345, 732407}},
        {"", {12345, 1}},                 // every 0 becomes 1: 1 January 0001
        {"0000-00-00", {12345, 1}},
        {"06-04-06", {12345, 1 + 5 * 365 + 1 + 31 + 28 + 31 + 5}},  // the year 6
        {"2006-02-30", {0, 1}},
        {"2006-13-01", {0, 1}},
        {"10000-01-01", {0, 1}},
        {"2006-04", {12345, 732407 - 5}},  // the day read as 1
    };
    for (const auto& c : cases) {
        const TTimeStamp r = MySQLDateStrToTimeStamp(c.text, held);
        EXPECT_EQ(r.Date, c.result.Date) << c.text;
        EXPECT_EQ(r.Time, c.result.Time) << c.text;
    }
}

TEST(MySQLDateTime, TimeTextsToTimeStamps) {
    const TTimeStamp held{12345, 732407};
    struct Case {
        const char* text;
        TTimeStamp result;
    } cases[] = {
        {"23:59:59", {86399000, 732407}},  // Date as the caller had it
        {"12:30:45", {45045000, 732407}},
        {"", {0, 732407}},
        {"7", {7 * 3600000, 732407}},
        {"24:00:00", {0, 1}},
        {"838:59:59", {0, 1}},
        {"12:60:00", {0, 1}},
        {"12:00:60", {0, 1}},
        {"-12:00:00", {43200000, 732407}},
    };
    for (const auto& c : cases) {
        const TTimeStamp r = MySQLTimeStrToTimeStamp(c.text, held);
        EXPECT_EQ(r.Date, c.result.Date) << c.text;
        EXPECT_EQ(r.Time, c.result.Time) << c.text;
    }
}

TEST(MySQLDateTime, DateTimeTextsToTimeStamps) {
    struct Case {
        const char* text;
        TTimeStamp result;
    } cases[] = {
        {"2006-04-06 12:30:45", {45045000, 732407}},
        {"2006-04-06", {0, 732407}},
        {"2006-04-06 25:00:00", {0, 732407}},  // each half fails on its own
        {"2006-02-30 12:30:45", {45045000, 1}},
        {"0000-00-00 00:00:00", {0, 1}},
        {"", {0, 1}},
    };
    for (const auto& c : cases) {
        const TTimeStamp r = MySQLDateTimeStrToTimeStamp(c.text);
        EXPECT_EQ(r.Date, c.result.Date) << c.text;
        EXPECT_EQ(r.Time, c.result.Time) << c.text;
    }
}

TEST(MySQLDateTime, CompactTimeStampsToTimeStamps) {
    const int32_t jan1 = 732407 - (31 + 28 + 31 + 5);
    struct Case {
        const char* text;
        TTimeStamp result;
    } cases[] = {
        {"20060406123045", {45045000, 732407}},
        {"20061301000000", {0, jan1}},         // month 13 becomes 1
        {"20060132000000", {0, jan1}},         // day 32 becomes 1
        {"20060406256161", {0, 732407}},       // hour 25, minute and second 61 become 0
        {"20060406", {0, 732407}},
        {"20060431000000", {0, 1}},            // a day past the month's end
        {"00000000000000", {0, 1}},
        {"", {0, 1}},
        // a two-digit year is misread: year 604, June 12, hour 30 (so 0), minute 45
        {"060406123045", {45 * 60000, DateTimeToTimeStamp(EncodeDate(604, 6, 12)).Date}},
        {"2006xx06123045", {45045000, jan1 + 5}},  // an unreadable month is 0, then 1
    };
    for (const auto& c : cases) {
        const TTimeStamp r = MySQLTimeStampStrToTimeStamp(c.text);
        EXPECT_EQ(r.Date, c.result.Date) << c.text;
        EXPECT_EQ(r.Time, c.result.Time) << c.text;
    }
}

TEST(MySQLDateTime, NumbersAlwaysUseAFullStop) {
    const TFormatSettings saved = FormatSettings();
    SetFormatSettings(Regional("dd.mm.yyyy", '.', ':', ','));
    EXPECT_EQ(MySQLStrToFloat("1.5"), 1.5);
    EXPECT_EQ(MySQLStrToFloat("-2.25e3"), -2250);
    EXPECT_THROW(MySQLStrToFloat("1,5"), EConvertError);  // even when the user writes ","
    EXPECT_THROW(MySQLStrToFloat(""), EConvertError);
    EXPECT_EQ(FormatSettings().DecimalSeparator, ',');    // untouched, also after an error
    struct Case {
        double value;
        const char* text;
    } cases[] = {{1.5, "1.5"}, {0.1, "0.1"}, {-0.5, "-0.5"}, {1e-7, "1E-7"}, {12345678.875, "12345678.875"}};
    for (const auto& c : cases) {
        EXPECT_EQ(MySQLFloatToStr(c.value), c.text);
        EXPECT_EQ(MySQLStrToFloat(MySQLFloatToStr(c.value)), c.value);
    }
    SetFormatSettings(saved);
}

TEST(MySQLDateTime, NumberConversionNeverDisturbsOtherThreads) {
    // A worker converting column values while the main thread formats with ",".
    const TFormatSettings saved = FormatSettings();
    SetFormatSettings(Regional("dd.mm.yyyy", '.', ':', ','));
    std::atomic<bool> stop{false};
    std::atomic<int> wrong{0};
    std::thread worker([&] {
        while (!stop) {
            if (MySQLFloatToStr(2.5) != "2.5" || MySQLStrToFloat("2.5") != 2.5) ++wrong;
        }
    });
    for (int i = 0; i < 20000; ++i)
        if (FloatToStr(2.5) != "2,5") ++wrong;
    stop = true;
    worker.join();
    EXPECT_EQ(wrong, 0);
    SetFormatSettings(saved);
}

TEST(MySQLDateTime, FloatTextsAsDateTimes) {
    const TFormatSettings comma = Regional("dd.mm.yyyy", '.', ':', ',');
    EXPECT_EQ(StrFloatToDateTime("38813,75", comma), 38813.75);
    EXPECT_EQ(StrFloatToDate("38813,75", comma), 38813);
    EXPECT_EQ(StrFloatToTime("38813,75", comma), 0.75);
    EXPECT_EQ(StrFloatToDate("-1,25", comma), -1);   // toward zero
    EXPECT_EQ(StrFloatToTime("-1,25", comma), -0.25);
    EXPECT_THROW(StrFloatToDateTime("38813.75", comma), EConvertError);
    EXPECT_THROW(StrFloatToDate("x", comma), EConvertError);
    EXPECT_THROW(StrFloatToTime("", comma), EConvertError);
    EXPECT_EQ(FloatToTime(2.5), 0.5);
    EXPECT_EQ(FloatToTime(-2.5), -0.5);
    EXPECT_EQ(FloatToTime(3), 0);
}

TEST(MySQLDateTime, FixedFormatDateTimeTextIgnoresRegionalSettings) {
    const TFormatSettings saved = FormatSettings();
    for (const auto& fs : kRegions) {
        SetFormatSettings(fs);
        EXPECT_EQ(StrToDateTimeFmt("2006-04-06 12:30:45"), At(2006, 4, 6, 12, 30, 45)) << fs.ShortDateFormat;
        EXPECT_EQ(StrToDateTimeFmt("2006-04-06"), At(2006, 4, 6)) << fs.ShortDateFormat;
        EXPECT_EQ(StrToDateTimeFmt("2006-12-31 00:00:01"), At(2006, 12, 31, 0, 0, 1));
        EXPECT_THROW(StrToDateTimeFmt("2006-02-30 00:00:00"), EConvertError);
        EXPECT_THROW(StrToDateTimeFmt("06/04/2006"), EConvertError);
        EXPECT_THROW(StrToDateTimeFmt(""), EConvertError);
    }
    SetFormatSettings(saved);
}

TEST(MySQLDateTime, ShortFormsReadTheSharedSettings) {
    const TFormatSettings saved = FormatSettings();
    for (const auto& fs : kRegions) {
        SetFormatSettings(fs);
        EXPECT_EQ(MySQLStrToDate("2006-04-06"), At(2006, 4, 6)) << fs.ShortDateFormat;
        EXPECT_EQ(MySQLStrToTime("12:30"), EncodeTime(12, 30, 0, 0)) << fs.ShortDateFormat;
        EXPECT_EQ(MySQLStrToDateTime("2006-04-06 12:00:00"), At(2006, 4, 6, 12));
        EXPECT_EQ(MySQLTimeStampToDateTime("20060406120000"), At(2006, 4, 6, 12));
    }
    SetFormatSettings(saved);
}

}  // namespace
