// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// The unit tests' clock, in place of nanpeer's at link time: the monotonic
// clock plus an offset that a test moves forward, so that response timer
// ticks fall due without waiting for them.
#include <atomic>
#include <ctime>

#include "clock.h"
#include "test_support.h"

namespace {

std::atomic<int64_t> offset_ns{0};

} // namespace

int64_t monotonic_ns()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<int64_t>(now.tv_sec) * kNanosecondsPerSecond + now.tv_nsec +
           offset_ns.load();
}

void advance_clock(std::chrono::nanoseconds by)
{
    offset_ns.fetch_add(by.count());
}
