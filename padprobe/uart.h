// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// Opening the UART, its line settings and the greeting.
#pragma once

#include "padprobe/unique_fd.h"

namespace padprobe {

// Opens the device, sets 1,500,000 baud 8N1 raw, discards what was pending
// and writes the greeting. An invalid descriptor after a logged failure.
UniqueFd open_uart(const char *path);

} // namespace padprobe
