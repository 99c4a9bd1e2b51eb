// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// The console device's command line: where to keep what it receives and
// which calls to answer with an error.
#pragma once

#include <string>

#include "console_rule.h"

namespace board_console {

struct DeviceOptions {
    std::string records_path; // every 129-byte record received, back to back
    std::string calls_path;   // one text line per ioctl call and its answer
    std::string mountpoint;   // folder that will hold the file "console-ctrl"
    // Which calls fail and with what: the rule the kernel module follows too.
    console_faults faults{false, {}, 0, EIO};
};

// Returns false (after a message on standard error) on a bad command line.
bool parse_device_options(int argc, char **argv, DeviceOptions &options);

void print_device_usage();

} // namespace board_console
