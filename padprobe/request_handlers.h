// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// The request table and the handling of one request.
#pragma once

#include "padprobe/monitor.h"
#include "padprobe/serial_writer.h"

#include <cstdint>

namespace padprobe {

// What a request can reach: the UART's write side and the monitor.
struct RequestContext {
    SerialWriter &out;
    Monitor &monitor;
};

// The code of a request without a usable "type".
inline constexpr int kNoRequestType = 255;

// The table code of a "type" value (exact, case-sensitive), or kNoRequestType.
int request_type_code(const char *type);

// Serves one NUL-terminated request text; every request gets one answer.
void handle_request(RequestContext &context, const char *text);

// Answers a request that was dropped for outgrowing the receive buffer.
void reject_oversized_request(RequestContext &context);

} // namespace padprobe
