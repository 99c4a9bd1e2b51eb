// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// Finding the "-c" option and its command.
#include "command_line.h"

#include <cstdio>
#include <cstring>

namespace mcushell {

const char *to_string(Mode mode)
{
    switch (mode) {
    case Mode::interactive:
        return "interactive";
    case Mode::one_command:
        return "one_command";
    case Mode::usage:
        return "usage";
    }
    return "?";
}

Invocation parse_command_line(int argc, const char *const *argv)
{
    if (argc < 2)
        return Invocation{Mode::interactive, nullptr};
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "-c") != 0)
            continue;
        if (i + 1 < argc)
            return Invocation{Mode::one_command, argv[i + 1]};
        break;
    }
    return Invocation{Mode::usage, nullptr};
}

void print_usage()
{
    std::fputs("Usage:\nProgramName -c \"cmd\"\n", stdout);
}

} // namespace mcushell
