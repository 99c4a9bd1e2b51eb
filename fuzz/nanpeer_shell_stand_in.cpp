// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// The shell and the pauses of nanpeer, for the fuzz targets: commands are
// checked instead of run, and the pauses take no time.
#include "nanpeer_stand_ins.h"

#include "fuzz_support.h"
#include "pause.h"
#include "process_globals.h"
#include "shell_command.h"

#include <cstring>
#include <string_view>

namespace {

const char *allowed_start = nullptr;
const char *allowed_end = nullptr;

bool made_of_address_characters(std::string_view command)
{
    for (const char c : command) {
        const bool plain = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') ||
                           (c >= 'A' && c <= 'Z') || c == ' ' || c == ':' || c == '.' || c == '/' ||
                           c == '-';
        if (!plain)
            return false;
    }
    return true;
}

} // namespace

void shell_stand_in_allow_scripts(const char *start_cmd, const char *end_cmd)
{
    allowed_start = start_cmd;
    allowed_end = end_cmd;
}

bool run_shell_command(const char *command_line, command_wait)
{
    fuzz_require(command_line != nullptr, "a null command line");
    const std::string_view command(command_line);
    if ((allowed_start != nullptr && command == allowed_start) ||
        (allowed_end != nullptr && command == allowed_end))
        return true;
    fuzz_require(command.starts_with("ip -6 ") || command.starts_with("ping6 "),
                 "an unexpected shell command");
    fuzz_require(made_of_address_characters(command),
                 "a link set-up command with shell characters in it");
    return true;
}

// The event handlers pause before a ping, and shutdown before it stops the
// service; the fuzzer has no peer to wait for.
bool pause_unless_stopping(unsigned)
{
    return stop_flag.load() == 0;
}

extern "C" unsigned int sleep(unsigned int)
{
    return 0;
}
