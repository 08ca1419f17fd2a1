#pragma once
// Text forms of numbers. Every form uses a point as the decimal separator,
// whatever the process locale, so logs and files read the same everywhere.
#include "uMath.h"

#include <cstdint>
#include <string>
#include <vector>

std::string IntToStr(int64_t value);
/// Fixed notation with the given number of decimals ("1.500").
std::string FormatFixed(extended value, int decimals);
/// FormatFixed with three decimals, the program's usual duration form.
inline std::string Format3(extended value) { return FormatFixed(value, 3); }
/// General form: up to 15 significant digits, exponent only when needed.
std::string FloatToStr(extended value);
/// Groups of three digits separated by commas (1234 -> "1,234").
std::string FormatThousands(int64_t value);
/// "[x,y]" with both coordinates in the general form.
std::string VectorText(const tVector2& v);

/// The pieces between separators ("a,,b" gives "a", "", "b"; "" gives one empty piece).
std::vector<std::string> SplitText(const std::string& text, char separator);

std::string PadLeft(const std::string& text, size_t width);
std::string PadRight(const std::string& text, size_t width);
std::string Trim(const std::string& text);
std::string UpperCase(std::string text);
std::string LowerCase(std::string text);
