// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// Hexadecimal text of the address and value arguments, turned into numbers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace otpctl {

// 0-9, a-f, A-F.
bool is_hex_digit(char c);

// True when every character of text is a hexadecimal digit (also when empty).
bool is_hex_text(std::string_view text);

// The value of a digit: 10-15 for a-f and A-F, the character code minus '0'
// for anything else. Callers validate first; the rule itself does not.
uint32_t digit_value(char c);

// The address that text names, read as hexadecimal from the right-most
// digit. Arithmetic wraps modulo 2^32, so only the right-most eight
// characters count; empty text is address 0.
uint32_t parse_address(std::string_view text);

// Turns pairs of digits, high digit first, into bytes at the start of out.
// Returns the number of bytes produced: half the text's length, at most
// out.size(); a trailing odd character is ignored.
size_t parse_value(std::string_view text, std::span<std::byte> out);

} // namespace otpctl
