// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// The one logging function of nanpeer and the levels it knows.
#pragma once

#include <cstdint>

// A message is printed when log_level is at least its severity value, so
// with the fixed level 5 everything is printed.
enum class log_severity : uint8_t {
    warning = 3,
    info = 4,
    debug = 5,
};

// Writes "[nanpeer] " and the formatted text to standard output, wrapped in
// colour sequences (yellow for warnings). One call is one message; the text
// brings its own line feed.
void nan_log(log_severity severity, const char *format, ...) __attribute__((format(printf, 2, 3)));
