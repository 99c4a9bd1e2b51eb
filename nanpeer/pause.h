// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// The pauses of event handling, which stopping cuts short.
#pragma once

// Waits `seconds`. Returns false, early, when nanpeer is stopping.
bool pause_unless_stopping(unsigned seconds);
