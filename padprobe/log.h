// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// The tool's one logging function and its three level tags.
#pragma once

// Every log line starts with one of these tags; the host's scripts match them.
#define CAP_INFO "[CAP][INFO] "
#define CAP_WARN "[CAP][WARN] "
#define CAP_ERROR "[CAP][ERROR] "

namespace padprobe {

// Writes one message to standard output exactly as formatted and flushes it,
// so a reader on a pipe sees it at once. Messages carry their own newlines.
void cap_log(const char *format, ...) __attribute__((format(printf, 1, 2)));

} // namespace padprobe
