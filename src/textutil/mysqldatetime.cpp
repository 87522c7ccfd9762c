#include "velmysql/textutil/mysqldatetime.h"

#include <cmath>
#include <cstdint>
#include <cstring>

#include "velmysql/rtl/datetext.h"
#include "velmysql/rtl/floattext.h"
#include "velmysql/textutil/strutils.h"

namespace velmysql {

namespace {

const std::string kSeps = MySQLDateTimeSeparators;

std::string WordOr(uint8_t n, const std::string& s, const std::string& seps, const char* missing) {
    std::string w = WordInStr(n, s, seps);
    return w.empty() ? std::string(missing) : w;
}

// Characters from..from+len-1 (1-based) as far as S has them.
std::string Chars(const std::string& s, std::size_t from, std::size_t len) {
    return from - 1 < s.size() ? s.substr(from - 1, len) : std::string();
}

std::string OrDefault(const std::string& part, const char* missing) {
    return part.empty() ? std::string(missing) : part;
}

// Year, month and day in the regional order with the regional separator, read by the
// locale parser; 0 for a rejected text.
TDateTime JoinDate(const std::string& y, const std::string& m, const std::string& d, const TFormatSettings& fs) {
    std::string text;
    const char sep = fs.DateSeparator;
    switch (GetDateOrder(fs.ShortDateFormat)) {
        case TDateOrder::doMDY: text = m + sep + d + sep + y; break;
        case TDateOrder::doDMY: text = d + sep + m + sep + y; break;
        case TDateOrder::doYMD: text = y + sep + m + sep + d; break;
    }
    TDateTime v = 0;
    return TryStrToDate(text, v, fs) ? v : 0;
}

TDateTime JoinTime(const std::string& h, const std::string& n, const std::string& s, const TFormatSettings& fs) {
    const char sep = fs.TimeSeparator;
    TDateTime v = 0;
    return TryStrToTime(h + sep + n + sep + s, v, fs) ? v : 0;
}

// A date and a time of day as one value. Before 30 December 1899 the whole part is
// negative while the time of day still runs forward, so the time is subtracted there;
// a plain sum would land on the wrong day.
TDateTime Combine(TDateTime date, TDateTime time) { return date < 0 ? date - time : date + time; }

// A part as a whole number, 0 when missing or not a number.
int Number(const std::string& s) {
    int32_t v = 0;
    return TryStrToInt(s, v) ? v : 0;
}

// The database's number form: "." whatever the user's settings are. A private record,
// so the shared one is never changed for the duration of a conversion.
const TFormatSettings& DotSettings() {
    static const TFormatSettings fs = [] {
        TFormatSettings r;
        r.DecimalSeparator = '.';
        return r;
    }();
    return fs;
}

}  // namespace

TDateTime MySQLStrToDate(const std::string& s, const TFormatSettings& fs) {
    return JoinDate(WordOr(1, s, kSeps, "0000"), WordOr(2, s, kSeps, "00"), WordOr(3, s, kSeps, "00"), fs);
}

TDateTime MySQLStrToTime(const std::string& s, const TFormatSettings& fs) {
    return JoinTime(WordOr(1, s, kSeps, "00"), WordOr(2, s, kSeps, "00"), WordOr(3, s, kSeps, "00"), fs);
}

TDateTime MySQLStrToDateTime(const std::string& s, const TFormatSettings& fs) {
    return Combine(MySQLStrToDate(WordInStr(1, s, " "), fs), MySQLStrToTime(WordInStr(2, s, " "), fs));
}

TDateTime MySQLTimeStampToDate(const std::string& s, const TFormatSettings& fs) {
    return JoinDate(OrDefault(Chars(s, 1, 4), "0000"), OrDefault(Chars(s, 5, 2), "00"),
                    OrDefault(Chars(s, 7, 2), "00"), fs);
}

TDateTime MySQLTimeStampToTime(const std::string& s, const TFormatSettings& fs) {
    return JoinTime(OrDefault(Chars(s, 9, 2), "00"), OrDefault(Chars(s, 11, 2), "00"),
                    OrDefault(Chars(s, 13, 2), "00"), fs);
}

TDateTime MySQLTimeStampToDateTime(const std::string& s, const TFormatSettings& fs) {
    return Combine(MySQLTimeStampToDate(s, fs), MySQLTimeStampToTime(s, fs));
}

TDateTime MySQLStrToDate(const std::string& s) { return MySQLStrToDate(s, FormatSettings()); }
TDateTime MySQLStrToTime(const std::string& s) { return MySQLStrToTime(s, FormatSettings()); }
TDateTime MySQLStrToDateTime(const std::string& s) { return MySQLStrToDateTime(s, FormatSettings()); }
TDateTime MySQLTimeStampToDate(const std::string& s) { return MySQLTimeStampToDate(s, FormatSettings()); }
TDateTime MySQLTimeStampToTime(const std::string& s) { return MySQLTimeStampToTime(s, FormatSettings()); }
TDateTime MySQLTimeStampToDateTime(const std::string& s) { return MySQLTimeStampToDateTime(s, FormatSettings()); }

namespace {
// The numbers of a text laid out exactly as Layout ('9' a digit, any other character
// itself), e.g. "9999-99-99"; false for any other text.
bool ReadLayout(const std::string& s, const char* layout, int* numbers) {
    const size_t n = std::strlen(layout);
    if (s.size() != n) return false;
    int count = 0;
    bool inNumber = false;
    for (size_t i = 0; i < n; ++i) {
        const char c = s[i];
        if (layout[i] == '9') {
            if (c < '0' || c > '9') return false;
            if (!inNumber) numbers[count++] = 0;
            numbers[count - 1] = numbers[count - 1] * 10 + (c - '0');
            inNumber = true;
        } else {
            if (c != layout[i]) return false;
            inNumber = false;
        }
    }
    return true;
}
}  // namespace

TTimeStamp MySQLDateStrToTimeStamp(const std::string& s, TTimeStamp stamp) {
    // The server's own layout is read directly; any other goes through the word reader.
    int ymd[3];
    const bool canonical = ReadLayout(s, "9999-99-99", ymd);
    int y = canonical ? ymd[0] : Number(WordInStr(1, s, kSeps));
    int m = canonical ? ymd[1] : Number(WordInStr(2, s, kSeps));
    int d = canonical ? ymd[2] : Number(WordInStr(3, s, kSeps));
    if (y == 0) y = 1;
    if (m == 0) m = 1;
    if (d == 0) d = 1;
    TDateTime v = 0;
    if (TryEncodeDate(y, m, d, v)) {
        stamp.Date = DateTimeToTimeStamp(v).Date;
    } else {
        stamp.Date = 1;
        stamp.Time = 0;
    }
    return stamp;
}

TTimeStamp MySQLTimeStrToTimeStamp(const std::string& s, TTimeStamp stamp) {
    int hns[3];
    const bool canonical = ReadLayout(s, "99:99:99", hns);
    const int h = canonical ? hns[0] : Number(WordInStr(1, s, kSeps));
    const int n = canonical ? hns[1] : Number(WordInStr(2, s, kSeps));
    const int sec = canonical ? hns[2] : Number(WordInStr(3, s, kSeps));
    if (h >= 0 && h < 24 && n >= 0 && n < 60 && sec >= 0 && sec < 60) {
        stamp.Time = (h * 3600 + n * 60 + sec) * 1000;
    } else {
        stamp.Date = 1;
        stamp.Time = 0;
    }
    return stamp;
}

TTimeStamp MySQLDateTimeStrToTimeStamp(const std::string& s) {
    TTimeStamp r;
    if (s.size() == 19 && s[10] == ' ') {
        r.Date = MySQLDateStrToTimeStamp(s.substr(0, 10)).Date;
        r.Time = MySQLTimeStrToTimeStamp(s.substr(11)).Time;
        return r;
    }
    r.Date = MySQLDateStrToTimeStamp(WordInStr(1, s, " ")).Date;
    r.Time = MySQLTimeStrToTimeStamp(WordInStr(2, s, " ")).Time;
    return r;
}

TTimeStamp MySQLTimeStampStrToTimeStamp(const std::string& s) {
    int y = Number(Chars(s, 1, 4));
    int m = Number(Chars(s, 5, 2));
    int d = Number(Chars(s, 7, 2));
    int h = Number(Chars(s, 9, 2));
    int n = Number(Chars(s, 11, 2));
    int sec = Number(Chars(s, 13, 2));
    if (y < 1 || y > 9999) y = 1;
    if (m < 1 || m > 12) m = 1;
    if (d < 1 || d > 31) d = 1;
    if (h < 0 || h > 23) h = 0;
    if (n < 0 || n > 59) n = 0;
    if (sec < 0 || sec > 59) sec = 0;
    TDateTime v = 0;
    if (!TryEncodeDate(y, m, d, v)) return TTimeStamp{0, 1};
    return TTimeStamp{(h * 3600 + n * 60 + sec) * 1000, DateTimeToTimeStamp(v).Date};
}

double MySQLStrToFloat(const std::string& s) { return StrToFloat(s, DotSettings()); }

std::string MySQLFloatToStr(double value) { return FloatToStr(value, DotSettings()); }

TDateTime FloatToTime(double value) { return value - std::trunc(value); }

TDateTime StrFloatToDateTime(const std::string& s, const TFormatSettings& fs) { return StrToFloat(s, fs); }
TDateTime StrFloatToDate(const std::string& s, const TFormatSettings& fs) { return std::trunc(StrToFloat(s, fs)); }
TDateTime StrFloatToTime(const std::string& s, const TFormatSettings& fs) { return FloatToTime(StrToFloat(s, fs)); }
TDateTime StrFloatToDateTime(const std::string& s) { return StrFloatToDateTime(s, FormatSettings()); }
TDateTime StrFloatToDate(const std::string& s) { return StrFloatToDate(s, FormatSettings()); }
TDateTime StrFloatToTime(const std::string& s) { return StrFloatToTime(s, FormatSettings()); }

TDateTime StrToDateTimeFmt(const std::string& s) {
    // The rearranged text is month/day/year with ":" in the time, so it is read with
    // exactly those settings: the user's own order and separators would misread it.
    TFormatSettings mdy;
    mdy.ShortDateFormat = "mm/dd/yyyy";
    mdy.DateSeparator = '/';
    mdy.TimeSeparator = ':';
    mdy.DecimalSeparator = '.';
    const std::string text = Chars(s, 6, 2) + "/" + Chars(s, 9, 2) + "/" + Chars(s, 1, 4) + " " + Chars(s, 12, 8);
    return StrToDateTime(text, mdy);
}

}  // namespace velmysql
