// Decimal attribute values, parsed and printed the way the driver does.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace touchsim {

// Parses text written to an attribute: an optional sign, decimal digits and
// at most one trailing newline, nothing else. Returns 0, -EINVAL for any
// other text (empty, blanks, letters, a second newline) or -ERANGE when the
// number does not fit 32 bits.
int parse_value(std::string_view text, int32_t &value);

// The text an attribute read shows: the decimal value and a newline.
std::string format_value(int32_t value);

} // namespace touchsim
