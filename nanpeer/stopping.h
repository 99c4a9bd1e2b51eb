// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// Stopping: the request that SIGINT, SIGTERM and the timeout make, and the
// waits of event handling that it cuts short.
#pragma once

// Creates the descriptor that tells a wait nanpeer is stopping (start-up,
// before any stop handler is installed). 0, or -errno.
int stopping_init();

// stop_flag := 1, and every wait under way or to come ends at once.
// Async-signal-safe: the stop handlers and the timeout call it.
void request_stop();

// Readable for good once request_stop() has run; -1 before stopping_init().
int stopping_fd();

// Waits until `fd` is readable (-1: no descriptor) or `timeout_ms` has
// passed (-1: no limit). Returns 1 when fd is readable, 0 on the timeout,
// -1 when nanpeer is stopping, at once if it had begun to already.
int wait_unless_stopping(int fd, int timeout_ms);
