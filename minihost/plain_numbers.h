#pragma once

#include <string>

namespace minihost {

// True when text is a number written the plain decimal way, as people and this host write
// them: an optional sign, digits with at most one decimal point, and an optional exponent.
// Nothing else: no spaces, no hexadecimal, no "inf" or "nan".
bool IsPlainDecimal(const std::string &text);

// True when text is an optional minus sign and decimal digits only.
bool IsPlainWhole(const std::string &text);

} // namespace minihost
