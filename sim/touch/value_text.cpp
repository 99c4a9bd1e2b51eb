// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// Decimal attribute values, parsed and printed the way the driver does.
#include "value_text.h"

#include <cstdio>

#include "model_text.h"

namespace touchsim {

int parse_value(std::string_view text, int32_t &value)
{
    return model_parse_s32(text.data(), text.size(), &value);
}

ValueText format_value(int32_t value)
{
    ValueText out{};
    const int length = std::snprintf(out.text, sizeof out.text, "%d\n", static_cast<int>(value));
    out.length = length > 0 ? static_cast<size_t>(length) : 0;
    return out;
}

} // namespace touchsim
