// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// The clock of the response timer and of the event queue's time stamps.
#pragma once

#include <cstdint>

// CLOCK_MONOTONIC in nanoseconds. Alone in its file, so that a test can put
// a clock of its own in its place at link time.
int64_t monotonic_ns();

inline constexpr int64_t kNanosecondsPerSecond = 1'000'000'000;
