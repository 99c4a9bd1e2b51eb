// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// The command line, checked and turned into what the run needs.
#pragma once

#include "command.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace otpctl {

// The transfer buffer's size: the most bytes one run can read or write.
inline constexpr int32_t max_length = 1024;
// Two characters a byte.
inline constexpr size_t max_value_chars = 2 * static_cast<size_t>(max_length);
// An address is a 32-bit offset.
inline constexpr size_t max_address_digits = 8;

struct Options {
    Command command = Command::read_raw;
    uint32_t address = 0;
    int32_t length = 0;
    std::string_view value; // write commands only
};

enum class ParseResult : uint8_t {
    ok = 0,
    usage = 1,       // fewer than three arguments
    write_usage = 2, // a write command without its value
    rejected = 3,    // an argument that must not reach the device; already reported
};

const char *to_string(ParseResult result);

// Fills options from argv. Every check that could stop a bad request runs
// here, before any device is opened: OTP bits cannot be cleared again.
// A value of odd length passes; the run reports it the way it always has.
ParseResult parse_options(int argc, const char *const *argv, Options &options);

// Prints the usage line that belongs to result (usage or write_usage).
void print_usage(ParseResult result);

} // namespace otpctl
