// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// nanpeer's command line: options, validation and the usage text.
#pragma once

#include <cstdint>

struct command_line {
    int role = 2;                      // 0 publish, 1 subscribe, 2 unknown
    const char *config_path = nullptr; // -f
    uint32_t timeout = 0;              // -t, seconds; 0 runs until a signal
    uint32_t service_count = 1;        // -n
    int bstrap_flag = 0;               // -b, passed through to the library
};

enum class command_line_result : uint8_t {
    run = 0,       // go on with start-up
    exit_ok = 1,   // -h: usage printed, exit status 0
    exit_fail = 2, // usage or a validation message printed, exit status 1
};

// Reads and validates the options, printing the usage text or the
// validation message where the run cannot go on.
command_line_result parse_command_line(int argc, char **argv, command_line &options);

void print_usage(const char *program);
