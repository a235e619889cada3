// Numbers as text: the printed form of akNumber atoms and the conversion
// of words to numbers. Both use "." as the decimal separator whatever the
// process locale is.
#pragma once

#include <string>
#include <string_view>

namespace tavro {

// General format with 15 significant digits: trailing zeros dropped, an
// exact tie at the 15th digit rounded away from zero, fixed notation for
// magnitudes in [1e-4, 1e15), otherwise d.dddE[-]x; "INF", "-INF", "NAN".
std::string FormatNumber(long double x);

// The word-to-number rules of the language: empty, "+" and "-" fail; a text
// starting with a sign or a digit must be a complete decimal number
// (digits, optional "." fraction, optional E/e exponent with sign); "INF"
// and "NAN" (upper case) are accepted; everything else fails.
bool ParseNumber(std::string_view text, long double& value);

}  // namespace tavro
