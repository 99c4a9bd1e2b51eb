// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// The program: start-up, serving until killed, and the exit status.
#pragma once

namespace padprobe {

// Returns the exit status: 1 without a device argument, else 0.
int run(int argc, char **argv);

} // namespace padprobe
