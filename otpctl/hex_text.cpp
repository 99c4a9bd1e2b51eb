// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// Digit values, the address parser and the value parser.
#include "hex_text.h"

#include <algorithm>

namespace otpctl {

bool is_hex_digit(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

bool is_hex_text(std::string_view text)
{
    return std::all_of(text.begin(), text.end(), is_hex_digit);
}

uint32_t digit_value(char c)
{
    const auto code = static_cast<uint32_t>(static_cast<unsigned char>(c));
    const uint32_t upper = code & ~uint32_t{0x20};
    if (upper >= 'A' && upper <= 'F')
        return upper - 'A' + 10;
    return code - '0';
}

uint32_t parse_address(std::string_view text)
{
    uint32_t address = 0;
    uint32_t weight = 1; // 16 to the power of the position, modulo 2^32
    for (auto it = text.rbegin(); it != text.rend(); ++it) {
        address += digit_value(*it) * weight;
        weight *= 16;
    }
    return address;
}

size_t parse_value(std::string_view text, std::span<std::byte> out)
{
    const size_t count = std::min(text.size() / 2, out.size());
    for (size_t k = 0; k < count; ++k) {
        const uint32_t byte = digit_value(text[2 * k]) * 16 + digit_value(text[2 * k + 1]);
        out[k] = static_cast<std::byte>(byte & 0xff);
    }
    return count;
}

} // namespace otpctl
