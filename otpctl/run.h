// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// One run of otpctl, from the command line to the exit status.
#pragma once

namespace otpctl {

// Returns the exit status (0..255).
int run(int argc, const char *const *argv);

} // namespace otpctl
