// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// The simulator's trace (one line per call, event, frame and fault, for tests
// and benchmarks) and its one diagnostic function.
//
// A trace line is
//   <microseconds on CLOCK_MONOTONIC> <pid>/<tid> <kind> <name> [key=value ...]
// with kind one of call, event-begin, event-end, tx, rx, fault, note. Each line
// goes out in one write() to a file opened for appending, so several
// processes can share one trace file without tearing lines.
#pragma once

#include <cstdint>

#include "unique_fd.h"

namespace sdcore_sim {

int64_t monotonic_us();

// "sdcore-sim: <message>" on standard error.
void sim_log(const char *format, ...) __attribute__((format(printf, 1, 2)));

class trace_log {
public:
    // An empty or null path turns the trace off. 0 or -errno.
    int open(const char *path);
    void close() { file_.reset(); }
    [[nodiscard]] bool enabled() const { return file_.valid(); }

    // One line stamped now, or at `time_us`.
    void line(const char *kind, const char *name, const char *format, ...)
        __attribute__((format(printf, 4, 5)));
    void line_at(int64_t time_us, const char *kind, const char *name, const char *format, ...)
        __attribute__((format(printf, 5, 6)));

private:
    void write_line(int64_t time_us, const char *kind, const char *name, const char *format,
                    __builtin_va_list args) __attribute__((format(printf, 5, 0)));

    unique_fd file_;
};

} // namespace sdcore_sim
