// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// Running a command line through the shell and waiting for it to end.
#pragma once

// The command's status is not examined by any caller: a failed ip, ping6
// or service script changes nothing in nanpeer.
void run_shell_command(const char *command_line);
