// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// The run: open the device, then one command, the usage case or the loop.
#include "run.h"

#include "command_line.h"
#include "console_device.h"
#include "interactive.h"
#include "log.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace mcushell {

namespace {

constexpr int status_no_device = 1;

// The device answers 0 or -1; as an exit status that is 0 or 255.
int exit_status(int send_result)
{
    return send_result & 0xff;
}

} // namespace

int run(int argc, const char *const *argv)
{
    CommandRecord record{};
    ConsoleDevice device;
    if (!device.valid()) {
        log_error("Can't open device: %s", std::strerror(errno));
        return status_no_device;
    }

    const Invocation invocation = parse_command_line(argc, argv);
    switch (invocation.mode) {
    case Mode::interactive:
        return exit_status(run_interactive(device, stdin, stdout));
    case Mode::one_command:
        set_command(record, invocation.command);
        return exit_status(device.send(record));
    case Mode::usage:
        // The driver still gets an empty command, as it always has.
        print_usage();
        return exit_status(device.send(record));
    }
    return exit_status(-1);
}

} // namespace mcushell
