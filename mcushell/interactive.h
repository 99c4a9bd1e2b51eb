// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// The interactive loop: one command record per input line until "exit".
#pragma once

#include "console_device.h"

#include <cstdio>

namespace mcushell {

// Reads lines from in until the line "exit" or the end of input, sends each
// non-empty one to sink, and answers an empty line with "\r\n#" on out.
// Returns the result of the last send (0 when none was sent).
int run_interactive(CommandSink &sink, std::FILE *in, std::FILE *out);

} // namespace mcushell
