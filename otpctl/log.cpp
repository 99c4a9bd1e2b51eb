// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// Error lines on standard error, all with the tool's name in front.
#include "log.h"

#include <cstdarg>
#include <cstdio>

namespace otpctl {

void log_error(const char *format, ...)
{
    std::fputs("otpctl: ", stderr);
    va_list args;
    va_start(args, format);
    std::vfprintf(stderr, format, args);
    va_end(args);
    std::fputc('\n', stderr);
}

} // namespace otpctl
