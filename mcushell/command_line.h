// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// What the command line asks for: one command, the usage text, or the
// interactive loop.
#pragma once

#include <cstdint>

namespace mcushell {

enum class Mode : uint8_t {
    interactive = 0, // no arguments
    one_command = 1, // "-c" followed by the command
    usage = 2,       // arguments, but no "-c" with a command after it
};

const char *to_string(Mode mode);

struct Invocation {
    Mode mode = Mode::interactive;
    const char *command = nullptr; // one_command only
};

// The first argument that is exactly "-c" takes the next one as the
// command; later arguments are ignored. A "-c" with nothing after it is
// the usage case.
Invocation parse_command_line(int argc, const char *const *argv);

// "Usage:\nProgramName -c \"cmd\"\n" on standard output.
void print_usage();

} // namespace mcushell
