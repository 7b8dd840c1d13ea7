// The text rules of script values: how text reads as an integer or a float,
// and how a float is written as text. The table store uses the same rules.
#pragma once

#include <cstdint>
#include <string>

namespace orba {

// Integer text: leading blanks, then an optional sign and decimal digits, or
// (without a sign) a hexadecimal number after "$", "x", "X", "0x" or "0X".
// Nothing may follow. Decimal values must fit 32 bits; hexadecimal values up
// to FFFFFFFF wrap to negative numbers. False when the text is no such number.
bool TryTextToInt(const std::string& text, int32_t& value);
// The integer text rule with 0 for text that is no integer.
int32_t TextToIntOrZero(const std::string& text);

// Float text: optional blanks around an optional sign, digits with at most one
// ".", and an optional exponent "E"/"e" with optional sign and digits. A value
// beyond the extended range fails too.
bool TryTextToFloat(const std::string& text, long double& value);
long double TextToFloatOrZero(const std::string& text);

// General float text: at most 15 significant digits without trailing zeros;
// fixed notation when the integer part has at most 15 digits and the
// magnitude is at least 0.0001 (or the value is 0), else "1.5E-7", "1E20".
std::string FloatToText(long double value);

std::string IntToText(int32_t value);
inline const char* FlagToText(bool value) { return value ? "TRUE" : "FALSE"; }
// Only the exact text "TRUE" is true.
inline bool TextToFlag(const std::string& text) { return text == "TRUE"; }

// Truncation toward zero through a signed 64-bit integer, keeping its low 32
// bits (4294967297.5 gives 1). A value outside the 64-bit range or not a
// number raises EInvalidOpError.
int64_t FloatToInt64(long double value);
int32_t FloatToInt(long double value);

}  // namespace orba
