// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// Parsing the console device's command line.
#include "device_options.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "board_errno.h"

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
            console_faults &f = options.faults;
            if (!parse_number(argv[++i], 0xffffffffUL, number) || number == 0) {
                std::fprintf(stderr, "board-console: bad call number '%s'\n", argv[i]);
                return false;
            }
            if (f.count == CONSOLE_FAIL_CALLS) {
                std::fprintf(stderr, "board-console: at most %d calls can fail\n",
                             CONSOLE_FAIL_CALLS);
                return false;
            }
            f.calls[f.count++] = static_cast<unsigned>(number);
        } else if (arg == "--fail-all") {
            options.faults.fail_all = true;
        } else if (arg == "--errno" && has_value) {
            const std::string_view text = argv[++i];
            options.faults.error = board_errno_parse(text.data(), text.size());
            if (options.faults.error == 0) {
                std::fprintf(stderr, "board-console: bad errno '%s'\n", argv[i]);
                return false;
            }
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
