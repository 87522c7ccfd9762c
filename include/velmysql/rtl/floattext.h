#pragma once
// Numbers as text: the framework's integer and floating-point parsers and its general
// floating-point format. Conversions that take a TFormatSettings use its decimal
// separator; the others read a snapshot of the process-wide settings.

#include <cstdint>
#include <string>

#include "velmysql/rtl/formatsettings.h"

namespace velmysql {

// Floating-point text: optional blanks, an optional sign, digits with at most one
// decimal separator (at least one digit in all), an optional exponent (E or e, an
// optional sign, digits), optional blanks. Nothing else: no thousands separators, no
// INF or NAN. A value too large for a double is rejected; one too small becomes 0.
bool TryStrToFloat(const std::string& s, double& value, const TFormatSettings& fs);
bool TryStrToFloat(const std::string& s, double& value);
// As TryStrToFloat, raising EConvertError for a rejected text.
double StrToFloat(const std::string& s, const TFormatSettings& fs);
double StrToFloat(const std::string& s);

// The general format: the shortest text that shows the value rounded to 15
// significant digits; fixed notation while the decimal exponent allows (from 0.0001 up
// to 15 integer digits), otherwise mantissa, "E", an optional "-" and the exponent
// ("1E15", "1.5E-7"). "NAN", "INF" and "-INF" for the special values.
std::string FloatToStr(double value, const TFormatSettings& fs);
std::string FloatToStr(double value);

// Whole numbers: optional leading blanks, an optional sign, decimal digits, or
// hexadecimal digits after "$" or "0x"; nothing may follow. The value must fit in 32 bits.
bool TryStrToInt(const std::string& s, int32_t& value);
int32_t StrToInt(const std::string& s);
// 64-bit form of the same.
bool TryStrToInt64(const std::string& s, int64_t& value);
std::string IntToStr(int64_t value);

}  // namespace velmysql
