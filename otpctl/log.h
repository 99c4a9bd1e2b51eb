// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// The one way otpctl reports a problem: a line on standard error.
#pragma once

namespace otpctl {

// Writes "otpctl: <message>\n" to standard error.
void log_error(const char *format, ...) __attribute__((format(printf, 1, 2)));

} // namespace otpctl
