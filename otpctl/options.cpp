// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// Argument parsing and the checks that keep typos away from the OTP.
#include "options.h"

#include "hex_text.h"
#include "log.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>

namespace otpctl {

const char *to_string(ParseResult result)
{
    switch (result) {
    case ParseResult::ok:
        return "ok";
    case ParseResult::usage:
        return "usage";
    case ParseResult::write_usage:
        return "write_usage";
    case ParseResult::rejected:
        return "rejected";
    }
    return "?";
}

namespace {

bool parse_address_argument(std::string_view text, uint32_t &address)
{
    if (!is_hex_text(text)) {
        log_error("address '%.*s' is not hexadecimal (digits 0-9 a-f, no 0x prefix)",
                  static_cast<int>(text.size()), text.data());
        return false;
    }
    if (text.size() > max_address_digits) {
        log_error("address '%.*s' has more than %zu digits", static_cast<int>(text.size()),
                  text.data(), max_address_digits);
        return false;
    }
    address = parse_address(text);
    return true;
}

// Decimal the way strtol reads it: leading blanks and a sign are fine,
// conversion stops at the first non-digit, no digits at all is 0.
bool parse_length_argument(const char *text, int32_t &length)
{
    errno = 0;
    const long value = std::strtol(text, nullptr, 10);
    if (errno == ERANGE || value < 0 || value > max_length) {
        log_error("length '%s' is outside 0..%d", text, max_length);
        return false;
    }
    length = static_cast<int32_t>(value);
    return true;
}

bool check_value_argument(std::string_view value, int32_t length)
{
    if (value.size() > max_value_chars) {
        log_error("value has %zu characters, at most %zu fit", value.size(), max_value_chars);
        return false;
    }
    if (!is_hex_text(value)) {
        log_error("value '%.*s' is not hexadecimal (digits 0-9 a-f, two a byte)",
                  static_cast<int>(value.size()), value.data());
        return false;
    }
    // An odd value is never written; the run says so.
    if (value.size() % 2 != 0)
        return true;
    const size_t supplied = value.size() / 2;
    if (static_cast<size_t>(length) > supplied) {
        log_error("length %d is more than the %zu bytes the value gives", length, supplied);
        return false;
    }
    return true;
}

} // namespace

ParseResult parse_options(int argc, const char *const *argv, Options &options)
{
    if (argc < 4)
        return ParseResult::usage;
    const auto command = find_command(argv[1]);
    if (command && is_write(*command) && argc < 5)
        return ParseResult::write_usage;
    if (!command) {
        log_error("unknown command '%s' (rraw, rmap, wraw or wmap)", argv[1]);
        return ParseResult::rejected;
    }
    options = Options{};
    options.command = *command;
    if (!parse_address_argument(argv[2], options.address))
        return ParseResult::rejected;
    if (!parse_length_argument(argv[3], options.length))
        return ParseResult::rejected;
    if (is_write(*command)) {
        options.value = argv[4];
        if (!check_value_argument(options.value, options.length))
            return ParseResult::rejected;
    }
    return ParseResult::ok;
}

void print_usage(ParseResult result)
{
    if (result == ParseResult::write_usage)
        std::fputs("Usage:[wraw/wmap] [addr] [len] [write val]\n", stderr);
    else
        std::fputs("[rraw/rmap/wraw/wmap] [addr] [len] [write val]\n", stderr);
}

} // namespace otpctl
