// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// Options with getopt, their validation, and the usage text.
#include "command_line.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "config.h"
#include "log.h"

namespace {

// The program needs at least a role and a file: four words after its name.
constexpr int kLeastArguments = 5;
constexpr uint32_t kMostServices = 2;

// Decimal, without error checks: no number gives 0, trailing text is ignored.
// Read 64 bits wide so that a 32-bit long does not clip what follows.
long long number_argument(const char *text)
{
    return std::strtoll(text, nullptr, 10);
}

// The full 32 bits are kept: -t 70000 means 70000 seconds.
uint32_t seconds_argument(const char *text)
{
    return static_cast<uint32_t>(number_argument(text));
}

// Anything outside 0..2 must fail validation, also a value that would
// wrap into that range when cut to 32 bits.
uint32_t count_argument(const char *text)
{
    const long long count = number_argument(text);
    return count < 0 || count > kMostServices ? UINT32_MAX : static_cast<uint32_t>(count);
}

} // namespace

void print_usage(const char *program)
{
    std::fprintf(stderr, "Usage: %s [-r publish|subscribe] [-f config_file] [option] \n", program);
    std::fputs("\n", stderr);
    std::fputs("General : \n", stderr);
    std::fputs("Publish : \n", stderr);
    std::fputs("  -t \t timeout value\n", stderr);
    std::fputs("  -n \t number of service\n", stderr);
    std::fputs("subscribe : \n", stderr);
    std::fputs("  -t \t timeout value\n", stderr);
}

command_line_result parse_command_line(int argc, char **argv, command_line &options)
{
    if (argc < kLeastArguments) {
        print_usage(argv[0]);
        return command_line_result::exit_fail;
    }
    optind = 0; // start afresh (glibc), so the parser can run more than once
    int option = 0;
    while ((option = getopt(argc, argv, "r:f:s:h:t:n:b")) != -1) {
        switch (option) {
        case 'r':
            options.role = get_role(optarg);
            break;
        case 'f':
            options.config_path = optarg;
            break;
        case 't':
            options.timeout = seconds_argument(optarg);
            break;
        case 'n':
            options.service_count = count_argument(optarg);
            break;
        case 'b':
            options.bstrap_flag = 1;
            break;
        case 'h':
            print_usage(argv[0]);
            return command_line_result::exit_ok;
        default: // -s, an unknown letter or a missing argument
            print_usage(argv[0]);
            return command_line_result::exit_fail;
        }
    }
    if (options.role == kRoleUnknown) {
        nan_log(log_severity::info, "unknown role!!! \n");
        return command_line_result::exit_fail;
    }
    if (options.service_count > kMostServices) {
        nan_log(log_severity::info,
                "Input parameter is invalid. The maximum number of services available is %d. \n",
                static_cast<int>(kMostServices));
        return command_line_result::exit_fail;
    }
    if (options.role == kRoleSubscribe && options.service_count == kMostServices) {
        nan_log(log_severity::info,
                "Multi-service support is only available for the publisher role. \n");
        return command_line_result::exit_fail;
    }
    return command_line_result::run;
}
