// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// Running a command line through the shell and waiting for it to end.
#pragma once

#include <cstdint>

enum class command_wait : uint8_t {
    // Event handling: the wait ends early once nanpeer is stopping, and the
    // command is left running (it is the user's hook, and a Ctrl-C on a
    // terminal reaches it anyway, as it is in nanpeer's process group).
    until_stop = 0,
    // Shutdown's end commands: waited for to their end.
    to_the_end = 1,
};

// Returns false when stopping ended the wait before the command did, true
// otherwise. The command's status is not examined by any caller: a failed
// ip, ping6 or service script changes nothing in nanpeer.
[[nodiscard]] bool run_shell_command(const char *command_line,
                                     command_wait wait = command_wait::until_stop);
