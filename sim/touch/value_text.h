// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// Decimal attribute values, parsed and printed the way the driver does.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace touchsim {

// Parses text written to an attribute: an optional sign, decimal digits and
// at most one trailing newline, nothing else. Returns 0, -EINVAL for any
// other text (empty, blanks, letters, a second newline) or -ERANGE when the
// number does not fit 32 bits.
int parse_value(std::string_view text, int32_t &value);

// The text an attribute read shows: the decimal value and a newline. Made
// in place, since every read of an attribute makes one.
struct ValueText {
    char text[16];
    size_t length;
    std::string_view view() const { return {text, length}; }
};
ValueText format_value(int32_t value);

} // namespace touchsim
