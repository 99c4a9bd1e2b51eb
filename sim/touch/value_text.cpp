// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// Decimal attribute values, parsed and printed the way the driver does.
#include "value_text.h"

#include <cerrno>
#include <cstdio>

namespace touchsim {

int parse_value(std::string_view text, int32_t &value)
{
    if (!text.empty() && text.back() == '\n')
        text.remove_suffix(1);
    bool negative = false;
    if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    if (text.empty())
        return -EINVAL;
    // Accumulate as a negative number so INT32_MIN fits.
    int64_t magnitude = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return -EINVAL;
        magnitude = magnitude * 10 + (c - '0');
        if (magnitude > int64_t{INT32_MAX} + 1)
            return -ERANGE;
    }
    const int64_t result = negative ? -magnitude : magnitude;
    if (result > INT32_MAX)
        return -ERANGE;
    value = static_cast<int32_t>(result);
    return 0;
}

ValueText format_value(int32_t value)
{
    ValueText out{};
    const int length = std::snprintf(out.text, sizeof out.text, "%d\n", static_cast<int>(value));
    out.length = length > 0 ? static_cast<size_t>(length) : 0;
    return out;
}

} // namespace touchsim
