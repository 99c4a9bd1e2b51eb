// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// Log output on standard output, one whole message at a time.
#include "padprobe/log.h"

#include <cstdarg>
#include <cstdio>

namespace padprobe {

void cap_log(const char *format, ...)
{
    // Several threads log; holding the stream keeps one message in one piece.
    flockfile(stdout);
    va_list args;
    va_start(args, format);
    vfprintf(stdout, format, args);
    va_end(args);
    fflush(stdout);
    funlockfile(stdout);
}

} // namespace padprobe
