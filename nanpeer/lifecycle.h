// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// The wait for the end of the run, and the shutdown that follows it.
#pragma once

#include <cstdint>

// SIGINT and SIGTERM request the stop (stopping.h); nothing else happens in
// the handler.
void install_stop_signals();

// Main thread: waits until stop_flag is set. A timeout of t > 0 seconds
// requests the stop on the first check at which more than t seconds have
// passed; with 0 only a signal ends the wait. Either way the thread sleeps
// between checks, so a signal ends the wait within about a second.
void wait_for_stop(uint32_t timeout_seconds);

// On the owner thread, once stop_flag is set: ends the confirmed data paths
// (each end command run to its end), stops the service and frees what
// start-up allocated. radio: as given to dns_publish / dns_subscribe.
void shut_down(uint16_t radio);
