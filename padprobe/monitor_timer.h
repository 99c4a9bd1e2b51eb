// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// The monitor's interval timer: SIGALRM once per sampling interval.
#pragma once

#include "padprobe/tick_latch.h"

#include <cstdint>

namespace padprobe {

// Signals tick on every SIGALRM and arms the real-time interval timer: the
// first expiry after 500 microseconds, then every ms milliseconds (never
// again when ms is 0). Returns 0, or -1 when the timer cannot be armed.
int monitor_timer_start(uint16_t ms, TickLatch *tick);

// Disarms the timer; a tick already raised may still be signalled.
void monitor_timer_stop();

// Stops signalling ticks anywhere; for the owner of the latch going away.
void monitor_timer_detach();

} // namespace padprobe
