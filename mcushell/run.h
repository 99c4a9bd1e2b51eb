// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// One run of mcushell, from the command line to the exit status.
#pragma once

namespace mcushell {

// Returns the exit status: that of the last command sent (0, or 255 after
// a failed one), or 1 when the device cannot be opened.
int run(int argc, const char *const *argv);

} // namespace mcushell
