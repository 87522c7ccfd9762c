#include "velmysql/rtl/datetext.h"

#include <cctype>
#include <cstdint>
#include <cstdio>

#include "velmysql/rtl/exception.h"

namespace velmysql {

namespace {

// A cursor over the text being parsed.
struct Scanner {
    const std::string& s;
    std::size_t pos = 0;

    bool AtEnd() const { return pos >= s.size(); }
    void SkipBlanks() {
        while (pos < s.size() && s[pos] == ' ') ++pos;
    }
    // A whole number of 1 to 9 digits after optional blanks.
    bool Number(int& value, int* digitCount = nullptr) {
        SkipBlanks();
        const std::size_t start = pos;
        int v = 0;
        while (pos < s.size() && s[pos] >= '0' && s[pos] <= '9') {
            if (pos - start == 9) return false;
            v = v * 10 + (s[pos] - '0');
            ++pos;
        }
        if (pos == start) return false;
        value = v;
        if (digitCount) *digitCount = static_cast<int>(pos - start);
        return true;
    }
    // The character c after optional blanks; a blank separator needs at least one blank.
    bool Char(char c) {
        if (c == ' ') {
            if (pos >= s.size() || s[pos] != ' ') return false;
            SkipBlanks();
            return true;
        }
        SkipBlanks();
        if (pos < s.size() && s[pos] == c) {
            ++pos;
            return true;
        }
        return false;
    }
};

bool ScanDate(Scanner& sc, TDateTime& value, const TFormatSettings& fs) {
    int n1 = 0, n2 = 0, n3 = 0;
    if (!sc.Number(n1) || !sc.Char(fs.DateSeparator) || !sc.Number(n2) || !sc.Char(fs.DateSeparator) ||
        !sc.Number(n3))
        return false;
    int y = 0, m = 0, d = 0;
    switch (GetDateOrder(fs.ShortDateFormat)) {
        case TDateOrder::doMDY: m = n1; d = n2; y = n3; break;
        case TDateOrder::doDMY: d = n1; m = n2; y = n3; break;
        case TDateOrder::doYMD: y = n1; m = n2; d = n3; break;
    }
    return TryEncodeDate(y, m, d, value);
}

bool ScanTime(Scanner& sc, TDateTime& value, const TFormatSettings& fs) {
    int h = 0, n = 0, sec = 0, ms = 0;
    if (!sc.Number(h)) return false;
    if (sc.Char(fs.TimeSeparator)) {
        if (!sc.Number(n)) return false;
        if (sc.Char(fs.TimeSeparator)) {
            if (!sc.Number(sec)) return false;
            const std::size_t save = sc.pos;
            if (sc.pos < sc.s.size() && sc.s[sc.pos] == fs.DecimalSeparator) {
                ++sc.pos;
                // The fraction of a second, kept to the millisecond.
                const std::size_t start = sc.pos;
                int scale = 100;
                while (sc.pos < sc.s.size() && sc.s[sc.pos] >= '0' && sc.s[sc.pos] <= '9') {
                    ms += (sc.s[sc.pos] - '0') * scale;
                    scale /= 10;
                    ++sc.pos;
                }
                if (sc.pos == start) sc.pos = save;
            }
        }
    }
    return TryEncodeTime(h, n, sec, ms, value);
}

bool Finished(Scanner& sc) {
    sc.SkipBlanks();
    return sc.AtEnd();
}

[[noreturn]] void Reject(const std::string& s, const char* what) {
    throw EConvertError("'" + s + "' is not a valid " + what);
}

void AppendNumber(std::string& out, int value, int width) {
    if (value < 0) {
        char buf[16];
        std::snprintf(buf, sizeof buf, "%0*d", width, value);
        out += buf;
        return;
    }
    // Dates are formatted once per value shown: digits by hand, not through snprintf.
    char digits[12];
    int n = 0;
    do {
        digits[n++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value != 0);
    for (int pad = width - n; pad > 0; --pad) out += '0';
    while (n > 0) out += digits[--n];
}

}  // namespace

bool TryStrToDate(const std::string& s, TDateTime& value, const TFormatSettings& fs) {
    Scanner sc{s};
    TDateTime v = 0;
    if (!ScanDate(sc, v, fs) || !Finished(sc)) return false;
    value = v;
    return true;
}

bool TryStrToTime(const std::string& s, TDateTime& value, const TFormatSettings& fs) {
    Scanner sc{s};
    TDateTime v = 0;
    if (!ScanTime(sc, v, fs) || !Finished(sc)) return false;
    value = v;
    return true;
}

bool TryStrToDateTime(const std::string& s, TDateTime& value, const TFormatSettings& fs) {
    Scanner sc{s};
    TDateTime date = 0, time = 0;
    if (ScanDate(sc, date, fs)) {
        const std::size_t afterDate = sc.pos;
        if (!Finished(sc)) {
            sc.pos = afterDate;
            if (!sc.Char(' ') || !ScanTime(sc, time, fs) || !Finished(sc)) return false;
        }
        // A date before day 0 counts its time forward from midnight of that day.
        value = date < 0 ? date - time : date + time;
        return true;
    }
    return TryStrToTime(s, value, fs);
}

bool TryStrToDate(const std::string& s, TDateTime& value) { return TryStrToDate(s, value, FormatSettings()); }
bool TryStrToTime(const std::string& s, TDateTime& value) { return TryStrToTime(s, value, FormatSettings()); }
bool TryStrToDateTime(const std::string& s, TDateTime& value) {
    return TryStrToDateTime(s, value, FormatSettings());
}

TDateTime StrToDate(const std::string& s, const TFormatSettings& fs) {
    TDateTime v = 0;
    if (!TryStrToDate(s, v, fs)) Reject(s, "date");
    return v;
}

TDateTime StrToTime(const std::string& s, const TFormatSettings& fs) {
    TDateTime v = 0;
    if (!TryStrToTime(s, v, fs)) Reject(s, "time");
    return v;
}

TDateTime StrToDateTime(const std::string& s, const TFormatSettings& fs) {
    TDateTime v = 0;
    if (!TryStrToDateTime(s, v, fs)) Reject(s, "date and time");
    return v;
}

TDateTime StrToDate(const std::string& s) { return StrToDate(s, FormatSettings()); }
TDateTime StrToTime(const std::string& s) { return StrToTime(s, FormatSettings()); }
TDateTime StrToDateTime(const std::string& s) { return StrToDateTime(s, FormatSettings()); }

std::string FormatDateTime(const std::string& format, TDateTime value, const TFormatSettings& fs) {
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0, ms = 0;
    DecodeDate(value, y, mo, d);
    DecodeTime(value, h, mi, s, ms);
    std::string out;
    bool afterHour = false;  // "m" right after an hour means minutes
    std::size_t i = 0;
    const std::size_t n = format.size();
    auto runOf = [&](char lower) {
        std::size_t k = i;
        while (k < n && std::tolower(static_cast<unsigned char>(format[k])) == lower) ++k;
        return k - i;
    };
    while (i < n) {
        const char c = format[i];
        const char lc = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (c == '"' || c == '\'') {
            const std::size_t close = format.find(c, i + 1);
            const std::size_t stop = close == std::string::npos ? n : close;
            out.append(format, i + 1, stop - i - 1);
            i = close == std::string::npos ? n : close + 1;
            continue;
        }
        std::size_t run = 1;
        switch (lc) {
            case 'd':
                run = std::min<std::size_t>(runOf('d'), 2);
                AppendNumber(out, d, static_cast<int>(run));
                break;
            case 'm':
                run = std::min<std::size_t>(runOf('m'), 2);
                AppendNumber(out, afterHour ? mi : mo, static_cast<int>(run));
                afterHour = false;
                break;
            case 'y':
                run = runOf('y');
                if (run <= 2) {
                    AppendNumber(out, y % 100, 2);
                } else {
                    run = std::min<std::size_t>(run, 4);
                    AppendNumber(out, y, 4);
                }
                break;
            case 'h':
                run = std::min<std::size_t>(runOf('h'), 2);
                AppendNumber(out, h, static_cast<int>(run));
                afterHour = true;
                break;
            case 'n':
                run = std::min<std::size_t>(runOf('n'), 2);
                AppendNumber(out, mi, static_cast<int>(run));
                break;
            case 's':
                run = std::min<std::size_t>(runOf('s'), 2);
                AppendNumber(out, s, static_cast<int>(run));
                break;
            case 'z':
                run = runOf('z') >= 3 ? 3 : 1;
                AppendNumber(out, ms, static_cast<int>(run));
                break;
            case '/': out += fs.DateSeparator; break;
            case ':': out += fs.TimeSeparator; break;
            default: out += c; break;
        }
        if (lc != 'h' && lc != 'm' && lc != ' ' && lc != ':') afterHour = false;
        i += run;
    }
    return out;
}

std::string FormatDateTime(const std::string& format, TDateTime value) {
    return FormatDateTime(format, value, FormatSettings());
}

std::string DateToStr(TDateTime value, const TFormatSettings& fs) {
    return FormatDateTime(fs.ShortDateFormat, value, fs);
}

std::string TimeToStr(TDateTime value, const TFormatSettings& fs) {
    return FormatDateTime(fs.LongTimeFormat, value, fs);
}

std::string DateTimeToStr(TDateTime value, const TFormatSettings& fs) {
    std::string r = DateToStr(value, fs);
    if (DateTimeToTimeStamp(value).Time != 0) r += ' ' + TimeToStr(value, fs);
    return r;
}

std::string DateToStr(TDateTime value) { return DateToStr(value, FormatSettings()); }
std::string TimeToStr(TDateTime value) { return TimeToStr(value, FormatSettings()); }
std::string DateTimeToStr(TDateTime value) { return DateTimeToStr(value, FormatSettings()); }

}  // namespace velmysql
