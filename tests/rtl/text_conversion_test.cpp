// Numbers and dates as text under explicit regional settings, and the process-wide
// settings record.
#include <atomic>
#include <cmath>
#include <limits>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "velmysql/rtl/datetext.h"
#include "velmysql/rtl/exception.h"
#include "velmysql/rtl/floattext.h"
#include "velmysql/rtl/formatsettings.h"

using namespace velmysql;

namespace {

TFormatSettings Settings(const std::string& shortDate, char dateSep, char timeSep = ':', char decimal = '.') {
    TFormatSettings fs;
    fs.ShortDateFormat = shortDate;
    fs.DateSeparator = dateSep;
    fs.TimeSeparator = timeSep;
    fs.DecimalSeparator = decimal;
    return fs;
}

TEST(FormatSettings, DefaultsAndDateOrder) {
    const TFormatSettings def;
    EXPECT_EQ(def.ShortDateFormat, "yyyy-mm-dd");
    EXPECT_EQ(def.DateSeparator, '-');
    EXPECT_EQ(def.TimeSeparator, ':');
    EXPECT_EQ(def.DecimalSeparator, '.');
    struct Case {
        const char* format;
        TDateOrder order;
    } cases[] = {
        {"yyyy-mm-dd", TDateOrder::doYMD}, {"dd.mm.yyyy", TDateOrder::doDMY}, {"M/d/yyyy", TDateOrder::doMDY},
        {"ee/mm/dd", TDateOrder::doYMD},   {"/x/", TDateOrder::doMDY},        {"", TDateOrder::doMDY},
        {"Day D", TDateOrder::doDMY},
    };
    for (const auto& c : cases) EXPECT_EQ(GetDateOrder(c.format), c.order) << c.format;
}

TEST(FormatSettings, ProcessWideRecordIsReplacedWhole) {
    const TFormatSettings saved = FormatSettings();
    const TFormatSettings a = Settings("dd.mm.yyyy", '.', ':', ',');
    const TFormatSettings b = Settings("yyyy-mm-dd", '-', ':', '.');
    std::atomic<bool> stop{false}, torn{false};
    std::thread reader([&] {
        while (!stop) {
            const TFormatSettings s = FormatSettings();
            // Never a mix of the two records.
            if ((s.DecimalSeparator == ',') != (s.DateSeparator == '.')) torn = true;
        }
    });
    for (int i = 0; i < 20000; ++i) SetFormatSettings(i % 2 ? a : b);
    stop = true;
    reader.join();
    EXPECT_FALSE(torn);
    SetFormatSettings(a);
    EXPECT_EQ(StrToFloat("1,5"), 1.5);  // the short forms read the shared record
    EXPECT_EQ(FloatToStr(2.25), "2,25");
    EXPECT_EQ(StrToFloat("1.5", Settings("", '-')), 1.5);  // an explicit record wins
    SetFormatSettings(saved);
}

TEST(FloatText, Parsing) {
    struct Case {
        const char* text;
        char decimal;
        bool ok;
        double value;
    } cases[] = {
        {"1.5", '.', true, 1.5},
        {"-2.25e3", '.', true, -2250},
        {"  +7  ", '.', true, 7},
        {".5", '.', true, 0.5},
        {"5.", '.', true, 5},
        {"1E-2", '.', true, 0.01},
        {"1,5", ',', true, 1.5},
        {"1,5", '.', false, 0},
        {"1.5", ',', false, 0},
        {"1.2.3", '.', false, 0},
        {"", '.', false, 0},
        {"-", '.', false, 0},
        {".", '.', false, 0},
        {"1e", '.', false, 0},
        {"1e+", '.', false, 0},
        {"1 000", '.', false, 0},
        {"0x10", '.', false, 0},
        {"inf", '.', false, 0},
        {"nan", '.', false, 0},
        {"1e400", '.', false, 0},
        {"1e-400", '.', true, 0},
        {"0.0000000001e-320", '.', true, 0},
        {"12abc", '.', false, 0},
    };
    for (const auto& c : cases) {
        double v = -99;
        const TFormatSettings fs = Settings("", '-', ':', c.decimal);
        EXPECT_EQ(TryStrToFloat(c.text, v, fs), c.ok) << c.text;
        if (c.ok) {
            EXPECT_EQ(v, c.value) << c.text;
            EXPECT_EQ(StrToFloat(c.text, fs), c.value);
        } else {
            EXPECT_EQ(v, -99) << c.text;
            EXPECT_THROW(StrToFloat(c.text, fs), EConvertError) << c.text;
        }
    }
    EXPECT_EQ(StrToFloat("0.1", Settings("", '-')), 0.1);  // correctly rounded
}

TEST(FloatText, GeneralFormat) {
    struct Case {
        double value;
        const char* text;
    } cases[] = {
        {0, "0"},
        {-0.0, "0"},
        {1.5, "1.5"},
        {0.1, "0.1"},
        {-2250, "-2250"},
        {1.0 / 3, "0.333333333333333"},
        {2.0 / 3, "0.666666666666667"},
        {123456789012345, "123456789012345"},
        {1234567890123456, "1.23456789012346E15"},
        {1e15, "1E15"},
        {999999999999999.9, "1E15"},
        {1e20, "1E20"},
        {0.0001, "0.0001"},
        {0.00012, "0.00012"},
        {0.00001, "1E-5"},
        {1.5e-7, "1.5E-7"},
        {-1e-300, "-1E-300"},
        {1.7976931348623157e308, "1.79769313486232E308"},
        {100, "100"},
        {38813.5, "38813.5"},
        {std::numeric_limits<double>::quiet_NaN(), "NAN"},
        {std::numeric_limits<double>::infinity(), "INF"},
        {-std::numeric_limits<double>::infinity(), "-INF"},
    };
    const TFormatSettings dot = Settings("", '-');
    for (const auto& c : cases) EXPECT_EQ(FloatToStr(c.value, dot), c.text) << c.text;
    EXPECT_EQ(FloatToStr(-1.5e-7, Settings("", '-', ':', ',')), "-1,5E-7");
    // Texts read back to the value they show.
    for (double v : {0.1, 1.0 / 3, 123.456, 1e-10, 6.02214076e23})
        EXPECT_EQ(StrToFloat(FloatToStr(v, dot), dot), std::stod(FloatToStr(v, dot)));
}

TEST(IntText, Parsing) {
    struct Case {
        const char* text;
        bool ok;
        int32_t value;
    } cases[] = {
        {"42", true, 42},         {"-42", true, -42},   {"+7", true, 7},
        {"  5", true, 5},         {"$1F", true, 31},    {"0x10", true, 16},
        {"-$10", true, -16},      {"2147483647", true, 2147483647},
        {"-2147483648", true, std::numeric_limits<int32_t>::min()},
        {"2147483648", false, 0}, {"5 ", false, 0},     {"", false, 0},
        {"-", false, 0},          {"1.0", false, 0},    {"0x", false, 0},
        {"99999999999999999999999", false, 0},
    };
    for (const auto& c : cases) {
        int32_t v = -99;
        EXPECT_EQ(TryStrToInt(c.text, v), c.ok) << c.text;
        EXPECT_EQ(v, c.ok ? c.value : -99) << c.text;
        if (!c.ok) {
            EXPECT_THROW(StrToInt(c.text), EConvertError);
        }
    }
    int64_t big = 0;
    EXPECT_TRUE(TryStrToInt64("-9223372036854775808", big));
    EXPECT_EQ(big, std::numeric_limits<int64_t>::min());
    EXPECT_FALSE(TryStrToInt64("9223372036854775808", big));
    EXPECT_EQ(IntToStr(-12), "-12");
}

TEST(DateText, ReadsDatesInEachOrder) {
    const TDateTime april6 = EncodeDate(2006, 4, 6);
    struct Case {
        const char* format;
        char sep;
        const char* text;
    } cases[] = {
        {"yyyy-mm-dd", '-', "2006-04-06"},  {"yyyy-mm-dd", '-', " 2006 - 4 - 6 "},
        {"dd.mm.yyyy", '.', "06.04.2006"},  {"d/m/yyyy", '/', "6/4/2006"},
        {"mm/dd/yyyy", '/', "04/06/2006"},  {"M-d-yyyy", '-', "4-6-2006"},
        {"ee/mm/dd", '/', "2006/04/06"},    {"d m yyyy", ' ', "6 4 2006"},
    };
    for (const auto& c : cases) {
        const TFormatSettings fs = Settings(c.format, c.sep);
        TDateTime v = 0;
        EXPECT_TRUE(TryStrToDate(c.text, v, fs)) << c.format << " " << c.text;
        EXPECT_EQ(v, april6) << c.format << " " << c.text;
    }
    // A two-digit year is the year as written.
    EXPECT_EQ(StrToDate("06-04-06", Settings("yyyy-mm-dd", '-')), EncodeDate(6, 4, 6));
    EXPECT_EQ(StrToDate("6.4.06", Settings("dd.mm.yy", '.')), EncodeDate(6, 4, 6));
}

TEST(DateText, RejectsWhatIsNotADate) {
    const TFormatSettings ymd = Settings("yyyy-mm-dd", '-');
    const TFormatSettings dmy = Settings("dd.mm.yyyy", '.');
    struct Case {
        const TFormatSettings* fs;
        const char* text;
    } cases[] = {
        {&ymd, "0000-00-00"}, {&ymd, "2006-02-30"}, {&ymd, "2006-13-01"}, {&ymd, "2006-04"},
        {&ymd, "2006/04/06"}, {&ymd, "2006-04-06x"}, {&ymd, ""},          {&ymd, "2006--04-06"},
        {&ymd, "10000-01-01"}, {&ymd, "2006-04-06 12:00"}, {&dmy, "2006.04.06"}, {&dmy, "31.04.2006"},
        {&ymd, "1234567890-01-01"},
    };
    for (const auto& c : cases) {
        TDateTime v = 7;
        EXPECT_FALSE(TryStrToDate(c.text, v, *c.fs)) << c.text;
        EXPECT_EQ(v, 7);
        EXPECT_THROW(StrToDate(c.text, *c.fs), EConvertError) << c.text;
    }
}

TEST(DateText, ReadsTimes) {
    struct Case {
        const char* text;
        char sep;
        char decimal;
        bool ok;
        int h, n, s, ms;
    } cases[] = {
        {"12:30:45", ':', '.', true, 12, 30, 45, 0},
        {"12", ':', '.', true, 12, 0, 0, 0},
        {"7:05", ':', '.', true, 7, 5, 0, 0},
        {" 23 : 59 : 59 ", ':', '.', true, 23, 59, 59, 0},
        {"12.30.45", '.', ',', true, 12, 30, 45, 0},
        {"12:30:45.5", ':', '.', true, 12, 30, 45, 500},
        {"12:30:45,123", ':', ',', true, 12, 30, 45, 123},
        {"12:30:45.1239", ':', '.', true, 12, 30, 45, 123},
        {"24:00:00", ':', '.', false, 0, 0, 0, 0},
        {"838:59:59", ':', '.', false, 0, 0, 0, 0},
        {"12:60", ':', '.', false, 0, 0, 0, 0},
        {"12:", ':', '.', false, 0, 0, 0, 0},
        {"12:30:45:00", ':', '.', false, 0, 0, 0, 0},
        {"-01:00:00", ':', '.', false, 0, 0, 0, 0},
        {"12.30.45", ':', '.', false, 0, 0, 0, 0},
        {"", ':', '.', false, 0, 0, 0, 0},
    };
    for (const auto& c : cases) {
        const TFormatSettings fs = Settings("yyyy-mm-dd", '-', c.sep, c.decimal);
        TDateTime v = -5;
        EXPECT_EQ(TryStrToTime(c.text, v, fs), c.ok) << c.text;
        if (c.ok)
            EXPECT_EQ(v, EncodeTime(c.h, c.n, c.s, c.ms)) << c.text;
        else
            EXPECT_EQ(v, -5) << c.text;
    }
}

TEST(DateText, ReadsDateTimes) {
    const TFormatSettings mdy = Settings("m/d/yyyy", '/');
    EXPECT_EQ(StrToDateTime("04/06/2006 12:30:45", mdy), EncodeDate(2006, 4, 6) + EncodeTime(12, 30, 45, 0));
    EXPECT_EQ(StrToDateTime("4/6/2006", mdy), EncodeDate(2006, 4, 6));
    EXPECT_EQ(StrToDateTime("4/6/2006   18:00", mdy), EncodeDate(2006, 4, 6) + 0.75);
    EXPECT_EQ(StrToDateTime("18:00", mdy), 0.75);  // a time alone is on day 0
    EXPECT_EQ(StrToDateTime("12/29/1899 06:00", mdy), -1.25);
    for (const char* bad : {"4/6/2006 25:00", "4/6/2006 x", "4/6/2006T12:00", "", "4/6/2006 12:00 junk"})
        EXPECT_THROW(StrToDateTime(bad, mdy), EConvertError) << bad;
}

TEST(DateText, Formatting) {
    const TDateTime v = EncodeDate(2006, 4, 6) + EncodeTime(9, 5, 7, 30);
    const TFormatSettings dmy = Settings("dd.mm.yyyy", '.', '.');
    struct Case {
        const char* format;
        const char* text;
    } cases[] = {
        {"yyyy-mm-dd", "2006-04-06"}, {"d/m/yy", "6.4.06"}, {"hh:nn:ss", "09.05.07"},
        {"h:mm", "9.05"},             {"hh:nn:ss.zzz", "09.05.07.030"}, {"\"at\" hh 'o''clock'", "at 09 oclock"},
        {"YYYY", "2006"},             {"mm", "04"},
    };
    for (const auto& c : cases) EXPECT_EQ(FormatDateTime(c.format, v, dmy), c.text) << c.format;
    EXPECT_EQ(DateToStr(v, dmy), "06.04.2006");
    EXPECT_EQ(TimeToStr(v, dmy), "09.05.07");
    EXPECT_EQ(DateTimeToStr(v, dmy), "06.04.2006 09.05.07");
    EXPECT_EQ(DateTimeToStr(EncodeDate(2006, 4, 6), dmy), "06.04.2006");
    // What the formatter writes the parser reads back.
    EXPECT_EQ(StrToDateTime(DateTimeToStr(EncodeDate(1999, 12, 31) + 0.5, dmy), dmy), EncodeDate(1999, 12, 31) + 0.5);
}

}  // namespace
