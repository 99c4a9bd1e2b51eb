// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// Log lines of nanpeer: tag, colour sequences and the level gate.
#include "log.h"

#include <cstdarg>
#include <cstdio>

#include "process_globals.h"

namespace {

constexpr const char *kPlainStart = "\033[m";
constexpr const char *kWarningStart = "\033[1;33m";
constexpr const char *kColourEnd = "\033[m";

} // namespace

void nan_log(log_severity severity, const char *format, ...)
{
    if (log_level < static_cast<int32_t>(severity)) {
        return;
    }
    // Events, ticks and the main thread all log; one message must not be
    // split by another thread's output.
    flockfile(stdout);
    std::fputs(severity == log_severity::warning ? kWarningStart : kPlainStart, stdout);
    std::fputs("[nanpeer] ", stdout);
    va_list args;
    va_start(args, format);
    std::vfprintf(stdout, format, args);
    va_end(args);
    std::fputs(kColourEnd, stdout);
    funlockfile(stdout);
}
