#pragma once
// Parsing numbers from text. All forms are locale-independent (point as the
// decimal separator).
#include "uMath.h"

#include <cstdint>
#include <string>

/// Evaluates a number written as an arithmetic expression: decimal numbers,
/// unary signs, + - * / and round brackets ("(1+2)*0.5"). On an unclosed
/// bracket logs the warning "Bracket has no end! \"text\"" (level 3); on a
/// character that belongs to no number logs "Invalid character in number
/// \"text\"" (level 1). Returns false, leaving value unchanged, on any failure.
bool EvaluateNumber(const std::string& text, extended& value);

/// Whole-text decimal integer (surrounding blanks allowed, optional sign).
bool TryStrToInt(const std::string& text, int64_t& value);
/// Whole-text decimal float (surrounding blanks allowed), finite values only.
bool TryStrToFloat(const std::string& text, double& value);
/// Whole-text unsigned integer in the given base (no blanks, no sign) of at
/// most limit.
bool ParseUnsigned(const std::string& text, int base, uint64_t limit, uint64_t& value);
