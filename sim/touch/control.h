// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// The control language of the simulated controller: one command per line,
// from the board's options and from the control socket.
#pragma once

#include <string>
#include <string_view>

#include "model.h"

namespace touchsim {

struct ControlResult {
    // "ok\n", a value and "\n" for get, or "error: ...\n".
    std::string reply;
    // Set when a file appeared or disappeared, so the file system can tell
    // the kernel to forget what it cached about it.
    const AttrInfo *visibility_changed = nullptr;
};

// Runs one command line against the model (blank lines and lines starting
// with '#' do nothing). The commands are described in docs/board/touch.md.
ControlResult run_control_line(TouchModel &model, std::string_view line, double now);

} // namespace touchsim
