// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// nanpeer's whole run: start-up, the wait, shutdown.
#pragma once

// Returns the exit status.
int run(int argc, char **argv);
