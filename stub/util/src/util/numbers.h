// Number formats and parsers.
#ifndef STUB_UTIL_NUMBERS_H
#define STUB_UTIL_NUMBERS_H

#include <cstdint>
#include <string>

std::string FormatBytes(double value, double divisor, int decimals, bool separators);
std::string FormatKB(double value, int decimals, bool separators);
std::string FormatMB(double value, int decimals, bool separators);
// Fixed-point text with the user's decimal separator.
std::string FloatText(double x, int decimals, bool stripZeros);
// FloatText with an explicit decimal separator (the regional one above).
std::string FloatTextSep(double x, int decimals, bool stripZeros, const std::string& separator);
double ParseFloat(const std::string& text, double def);
std::int64_t ParseBase(const std::string& text, int base, std::int64_t def);
std::int64_t ParseHex(const std::string& text, std::int64_t def);
// Decimal 64-bit integer (optional sign, surrounding blanks allowed); def
// when the text is not a number or out of range.
std::int64_t ParseInt64(const std::string& text, std::int64_t def);
std::int64_t RandomRange(std::int64_t low, std::int64_t high);

#endif
