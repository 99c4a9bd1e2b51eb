// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// Parsing the console device's command line.
#include "device_options.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>

namespace board_console {

namespace {

bool parse_number(const char *text, unsigned long max, unsigned long &value)
{
    char *end = nullptr;
    errno = 0;
    value = std::strtoul(text, &end, 10);
    return errno == 0 && end != text && *end == '\0' && value <= max && text[0] != '-';
}

} // namespace

void print_device_usage()
{
    std::fputs("usage: board-console --records FILE --calls FILE [--fail-call N]... [--fail-all]\n"
               "                     [--errno N] MOUNTPOINT\n",
               stderr);
}

bool parse_device_options(int argc, char **argv, DeviceOptions &options)
{
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        const bool has_value = i + 1 < argc;
        unsigned long number = 0;
        if (arg == "--records" && has_value) {
            options.records_path = argv[++i];
        } else if (arg == "--calls" && has_value) {
            options.calls_path = argv[++i];
        } else if (arg == "--fail-call" && has_value) {
            if (!parse_number(argv[++i], 0xffffffffUL, number) || number == 0) {
                std::fprintf(stderr, "board-console: bad call number '%s'\n", argv[i]);
                return false;
            }
            options.failing_calls.push_back(static_cast<unsigned>(number));
        } else if (arg == "--fail-all") {
            options.fail_all = true;
        } else if (arg == "--errno" && has_value) {
            if (!parse_number(argv[++i], 4095, number) || number == 0) {
                std::fprintf(stderr, "board-console: bad errno '%s'\n", argv[i]);
                return false;
            }
            options.error = static_cast<int>(number);
        } else if (!arg.empty() && arg[0] != '-' && options.mountpoint.empty()) {
            options.mountpoint = argv[i];
        } else {
            std::fprintf(stderr, "board-console: unexpected argument '%s'\n", argv[i]);
            return false;
        }
    }
    if (options.records_path.empty() || options.calls_path.empty() || options.mountpoint.empty()) {
        print_device_usage();
        return false;
    }
    return true;
}

} // namespace board_console
