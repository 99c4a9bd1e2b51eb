// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// Answers to requests: the ack/error status object and typed JSON answers.
#pragma once

#include "padprobe/serial_writer.h"

#include <cjson/cJSON.h>
#include <cstdlib>
#include <memory>

namespace padprobe {

struct JsonDeleter {
    void operator()(cJSON *item) const { cJSON_Delete(item); }
};
using JsonPtr = std::unique_ptr<cJSON, JsonDeleter>;

// Text that cJSON allocated.
struct JsonTextDeleter {
    void operator()(char *text) const { free(text); }
};
using JsonText = std::unique_ptr<char, JsonTextDeleter>;

// The codes callers pass for an error status; only "failed or not" reaches the host.
inline constexpr int kStatusAck = 0;
inline constexpr int kStatusQueryFailed = 1;
inline constexpr int kStatusRequestFailed = 255;

// Sends {"type": "error"} when failed is nonzero, else {"type": "ack"}.
void send_status(SerialWriter &out, int failed);

// Prints a typed answer as cJSON lays it out and sends it.
void send_json(SerialWriter &out, const cJSON &answer);

// Logs that an answer object could not be made.
void log_json_failure();

} // namespace padprobe
