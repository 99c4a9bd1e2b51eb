// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// Building and sending the JSON answers.
#include "padprobe/answers.h"

#include "padprobe/log.h"

#include <cstring>

namespace padprobe {

void log_json_failure()
{
    cap_log(CAP_ERROR "Fail to create cjson object\n\n");
}

void send_json(SerialWriter &out, const cJSON &answer)
{
    const JsonText text{cJSON_Print(&answer)};
    if (!text) {
        log_json_failure();
        return;
    }
    out.send_answer(std::string_view{text.get(), strlen(text.get())});
}

void send_status(SerialWriter &out, int failed)
{
    const JsonPtr status{cJSON_CreateObject()};
    if (!status) {
        log_json_failure();
        return;
    }
    cJSON_AddStringToObject(status.get(), "type", failed != 0 ? "error" : "ack");
    send_json(out, *status);
}

} // namespace padprobe
