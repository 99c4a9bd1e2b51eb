// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// The console device's command line: where to keep what it receives and
// which calls to answer with an error.
#pragma once

#include <string>
#include <vector>

namespace board_console {

struct DeviceOptions {
    std::string records_path;            // every 129-byte record received, back to back
    std::string calls_path;              // one text line per ioctl call and its answer
    std::string mountpoint;              // folder that will hold the file "console-ctrl"
    std::vector<unsigned> failing_calls; // 1-based numbers of calls to fail
    bool fail_all = false;
    int error = 5; // errno of a failed call (EIO)
};

// Returns false (after a message on standard error) on a bad command line.
bool parse_device_options(int argc, char **argv, DeviceOptions &options);

void print_device_usage();

} // namespace board_console
