#include "velmysql/rtl/floattext.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <system_error>

#include "velmysql/rtl/exception.h"

namespace velmysql {

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

bool TryStrToFloat(const std::string& s, double& value, const TFormatSettings& fs) {
    // Check the shape by hand and hand from_chars a copy with "." as separator:
    // from_chars ignores the C locale, so the machine's settings never matter.
    std::size_t p = 0, end = s.size();
    while (p < end && s[p] == ' ') ++p;
    while (end > p && s[end - 1] == ' ') --end;
    std::string text;
    bool negative = false;
    if (p < end && (s[p] == '+' || s[p] == '-')) {
        negative = s[p] == '-';
        ++p;
    }
    // intDigits counts integer digits after leading zeros, fracZeros the zeros between
    // the separator and the first significant digit: together they give the decimal
    // magnitude needed to tell an underflow from an overflow.
    int digits = 0, intDigits = 0, fracZeros = 0;
    bool seenSeparator = false, seenSignificant = false;
    for (; p < end; ++p) {
        const char c = s[p];
        if (IsDigit(c)) {
            text += c;
            ++digits;
            if (c != '0') seenSignificant = true;
            if (!seenSeparator && seenSignificant) ++intDigits;
            if (seenSeparator && !seenSignificant) ++fracZeros;
        } else if (c == fs.DecimalSeparator && !seenSeparator) {
            text += '.';
            seenSeparator = true;
        } else {
            break;
        }
    }
    if (digits == 0) return false;
    long long exponent = 0;
    if (p < end && (s[p] == 'e' || s[p] == 'E')) {
        text += 'e';
        ++p;
        if (p < end && (s[p] == '+' || s[p] == '-')) text += s[p++];
        const std::size_t expStart = p;
        while (p < end && IsDigit(s[p])) text += s[p++];
        if (p == expStart) return false;
        const auto [ptr, ec] = std::from_chars(s.data() + expStart, s.data() + p, exponent);
        (void)ptr;
        if (ec != std::errc() || exponent > 1000000000) exponent = 1000000000;  // far beyond any double
        if (s[expStart - 1] == '-') exponent = -exponent;
    }
    if (p != end) return false;
    double v = 0;
    const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (ptr != text.data() + text.size()) return false;
    if (ec == std::errc::result_out_of_range) {
        // Out of range on the small side is an underflow to zero; on the large side
        // the text names no double.
        const long long magnitude = (intDigits > 0 ? intDigits : -fracZeros) + exponent;
        const bool tiny = magnitude <= 0;
        if (!tiny) return false;
        v = 0;
    } else if (ec != std::errc()) {
        return false;
    }
    value = negative ? -v : v;
    return true;
}

bool TryStrToFloat(const std::string& s, double& value) { return TryStrToFloat(s, value, FormatSettings()); }

double StrToFloat(const std::string& s, const TFormatSettings& fs) {
    double v = 0;
    if (!TryStrToFloat(s, v, fs)) throw EConvertError("'" + s + "' is not a valid floating point value");
    return v;
}

double StrToFloat(const std::string& s) { return StrToFloat(s, FormatSettings()); }

std::string FloatToStr(double value, const TFormatSettings& fs) {
    if (std::isnan(value)) return "NAN";
    if (std::isinf(value)) return value < 0 ? "-INF" : "INF";
    if (value == 0) return "0";
    // 15 significant digits in scientific form: d.dddddddddddddde[+-]x
    char buf[64];
    const auto res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::scientific, 14);
    const std::string sci(buf, res.ptr);
    std::size_t p = 0;
    const bool negative = sci[0] == '-';
    if (negative) ++p;
    std::string digits;
    for (; p < sci.size() && sci[p] != 'e'; ++p)
        if (sci[p] != '.') digits += sci[p];
    const int e = std::atoi(sci.c_str() + p + 1);
    while (digits.size() > 1 && digits.back() == '0') digits.pop_back();
    const int n = static_cast<int>(digits.size());
    std::string r;
    if (negative) r += '-';
    if (e >= -4 && e < 15) {
        if (e < 0) {
            r += '0';
            r += fs.DecimalSeparator;
            r.append(static_cast<std::size_t>(-e - 1), '0');
            r += digits;
        } else if (n <= e + 1) {
            r += digits;
            r.append(static_cast<std::size_t>(e + 1 - n), '0');
        } else {
            r += digits.substr(0, static_cast<std::size_t>(e + 1));
            r += fs.DecimalSeparator;
            r += digits.substr(static_cast<std::size_t>(e + 1));
        }
        return r;
    }
    r += digits[0];
    if (n > 1) {
        r += fs.DecimalSeparator;
        r += digits.substr(1);
    }
    r += 'E';
    r += std::to_string(e);
    return r;
}

std::string FloatToStr(double value) { return FloatToStr(value, FormatSettings()); }

bool TryStrToInt64(const std::string& s, int64_t& value) {
    std::size_t p = 0;
    const std::size_t end = s.size();
    while (p < end && s[p] == ' ') ++p;
    bool negative = false;
    if (p < end && (s[p] == '+' || s[p] == '-')) {
        negative = s[p] == '-';
        ++p;
    }
    int base = 10;
    if (p < end && s[p] == '$') {
        base = 16;
        ++p;
    } else if (p + 1 < end && s[p] == '0' && (s[p + 1] == 'x' || s[p + 1] == 'X')) {
        base = 16;
        p += 2;
    }
    if (p == end) return false;
    // Accumulate as a magnitude so that the most negative value fits.
    uint64_t mag = 0;
    const uint64_t limit = negative ? uint64_t{1} << 63 : (uint64_t{1} << 63) - 1;
    for (; p < end; ++p) {
        const int d = base == 16 ? HexValue(s[p]) : (IsDigit(s[p]) ? s[p] - '0' : -1);
        if (d < 0) return false;
        if (mag > (limit - static_cast<uint64_t>(d)) / static_cast<uint64_t>(base)) return false;
        mag = mag * static_cast<uint64_t>(base) + static_cast<uint64_t>(d);
    }
    value = negative ? static_cast<int64_t>(0 - mag) : static_cast<int64_t>(mag);
    return true;
}

bool TryStrToInt(const std::string& s, int32_t& value) {
    int64_t v = 0;
    if (!TryStrToInt64(s, v)) return false;
    if (v < std::numeric_limits<int32_t>::min() || v > std::numeric_limits<int32_t>::max()) return false;
    value = static_cast<int32_t>(v);
    return true;
}

int32_t StrToInt(const std::string& s) {
    int32_t v = 0;
    if (!TryStrToInt(s, v)) throw EConvertError("'" + s + "' is not a valid integer value");
    return v;
}

std::string IntToStr(int64_t value) { return std::to_string(value); }

}  // namespace velmysql
