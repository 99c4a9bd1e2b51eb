// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// Process-wide values of nanpeer, and the four names exported for libsdcore.
#pragma once

#include <atomic>
#include <cstdint>

// Log threshold; fixed at 5, nothing changes it.
extern int32_t log_level;
// Number of services from -n: 0, 1 or 2 once the command line is validated.
extern uint32_t service_count;
// Set by SIGINT/SIGTERM or by the timeout, through request_stop()
// (stopping.h); ends the wait loop, and from then on events and timer ticks
// are dropped. Signal handlers write it, so it must be lock-free.
extern std::atomic<int32_t> stop_flag;
static_assert(std::atomic<int32_t>::is_always_lock_free);

// libsdcore resolves these by name against the program (see exports.list).
extern "C" {
extern char *nan_intf;   // name of the NAN data interface, "nan0"
extern char *qvx_iw;     // iw tool path inside tool_paths, set by the configuration
extern char *qvx_nan_r3; // nan_r3 path inside tool_paths, set by the configuration
}
