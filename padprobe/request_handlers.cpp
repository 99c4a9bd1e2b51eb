// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// The request table, the members each request reads, and every answer.
#include "padprobe/request_handlers.h"

#include "padprobe/answers.h"
#include "padprobe/controller.h"
#include "padprobe/log.h"
#include "padprobe/request_framer.h"
#include "padprobe/tune.h"

#include <cstring>

namespace padprobe {
namespace {

using Handler = void (*)(RequestContext &, const cJSON &);

// Reads an integer member. A missing member or one that is not a number
// fails the whole request before anything reaches the controller.
bool member_int(const cJSON &request, const char *name, int32_t &out)
{
    const cJSON *item = cJSON_GetObjectItem(&request, name);
    if (!cJSON_IsNumber(item)) {
        cap_log(CAP_WARN "Missing or non-numeric member: %s\n\n", name);
        return false;
    }
    out = item->valueint;
    return true;
}

// Fills every named member or none; false after the first bad one.
template <size_t N>
bool members_int(const cJSON &request, const char *const (&names)[N], int32_t *const (&fields)[N])
{
    for (size_t i = 0; i < N; ++i) {
        if (!member_int(request, names[i], *fields[i]))
            return false;
    }
    return true;
}

void add_number(cJSON &answer, const char *name, int32_t value)
{
    cJSON_AddNumberToObject(&answer, name, value);
}

// An empty answer object, or null once the failure answer has gone out.
JsonPtr new_answer(RequestContext &context, int failure_status)
{
    JsonPtr answer{cJSON_CreateObject()};
    if (!answer) {
        log_json_failure();
        send_status(context.out, failure_status);
    }
    return answer;
}

// The "ch" member and an empty answer for it, or null once the failure
// answer has gone out.
JsonPtr new_channel_answer(RequestContext &context, const cJSON &request, int32_t &ch)
{
    if (!member_int(request, "ch", ch)) {
        send_status(context.out, kStatusRequestFailed);
        return JsonPtr{};
    }
    return new_answer(context, kStatusRequestFailed);
}

void handle_query(RequestContext &context, const cJSON &)
{
    const JsonPtr answer = new_answer(context, kStatusQueryFailed);
    if (!answer)
        return;
    const CommonSettings s = read_common_settings();
    cJSON &a = *answer;
    cJSON_AddStringToObject(&a, "type", "query");
    cJSON_AddStringToObject(&a, "version", "1.0");
    cJSON_AddStringToObject(&a, "status", context.monitor.busy() ? "busy" : "idle");
    add_number(a, "scan_int", s.scan_interval);
    add_number(a, "avg_samp", s.sample_num);
    add_number(a, "etc_en", s.etc_enable);
    add_number(a, "step", s.etc_step);
    add_number(a, "etc_int", s.etc_interval);
    add_number(a, "etc_factor", s.etc_factor);
    add_number(a, "deb_en", s.debounce_en);
    add_number(a, "deb_cnt", s.debounce_times);
    cJSON_AddStringToObject(&a, "chip_name", s.chip_name);
    send_json(context.out, a);
}

void handle_query_ch(RequestContext &context, const cJSON &request)
{
    int32_t ch = 0;
    const JsonPtr answer = new_channel_answer(context, request, ch);
    if (!answer)
        return;
    const ChannelSettings c = read_channel_settings(ch);
    cJSON &a = *answer;
    cJSON_AddStringToObject(&a, "type", "query_ch");
    add_number(a, "ch", ch);
    add_number(a, "enable", c.enable);
    add_number(a, "mbias", c.mbias);
    add_number(a, "diff_th", c.diff_th);
    add_number(a, "abs_th", c.abs_th);
    add_number(a, "nn_th", c.nn_th);
    add_number(a, "pn_th", c.pn_th);
    send_json(context.out, a);
}

void handle_config(RequestContext &context, const cJSON &request)
{
    CommonSettings s{};
    static constexpr const char *names[] = {"scan_int", "step",       "avg_samp", "etc_en",
                                            "etc_int",  "etc_factor", "deb_en",   "deb_cnt"};
    int32_t *const fields[] = {&s.scan_interval, &s.etc_step,   &s.sample_num,  &s.etc_enable,
                               &s.etc_interval,  &s.etc_factor, &s.debounce_en, &s.debounce_times};
    if (!members_int(request, names, fields)) {
        send_status(context.out, kStatusRequestFailed);
        return;
    }
    write_common_settings(s);
    send_status(context.out, kStatusAck);
}

void handle_config_ch(RequestContext &context, const cJSON &request)
{
    ChannelSettings c{};
    static constexpr const char *names[] = {"ch",     "enable", "mbias", "diff_th",
                                            "abs_th", "nn_th",  "pn_th"};
    int32_t *const fields[] = {&c.ch,     &c.enable, &c.mbias, &c.diff_th,
                               &c.abs_th, &c.nn_th,  &c.pn_th};
    if (!members_int(request, names, fields)) {
        send_status(context.out, kStatusRequestFailed);
        return;
    }
    write_channel_settings(c);
    send_status(context.out, kStatusAck);
}

void handle_start(RequestContext &context, const cJSON &request)
{
    static constexpr const char *names[] = {"samp_int", "ch0", "ch1", "ch2", "ch3",
                                            "ch4",      "ch5", "ch6", "ch7", "ch8"};
    int32_t values[std::size(names)] = {};
    int32_t *const fields[] = {&values[0], &values[1], &values[2], &values[3], &values[4],
                               &values[5], &values[6], &values[7], &values[8], &values[9]};
    if (!members_int(request, names, fields)) {
        send_status(context.out, kStatusRequestFailed);
        return;
    }
    MonitorConfig config{};
    // The host's tool sends these as plain numbers; only the low bits count.
    config.samp_int = static_cast<uint16_t>(values[0]);
    for (size_t ch = 0; ch < config.channel_flags.size(); ++ch)
        config.channel_flags[ch] = static_cast<uint8_t>(values[ch + 1]);
    context.monitor.start(config);
}

void handle_stop(RequestContext &context, const cJSON &)
{
    context.monitor.stop();
    send_status(context.out, kStatusAck);
}

void handle_reset(RequestContext &context, const cJSON &)
{
    reset_controller();
    send_status(context.out, kStatusAck);
}

void handle_tune_mbias_ch(RequestContext &context, const cJSON &request)
{
    int32_t ch = 0;
    const JsonPtr answer = new_channel_answer(context, request, ch);
    if (!answer)
        return;
    const uint8_t result = ctc_tune_mbias(static_cast<uint8_t>(ch), 3300, 300);
    // The host's tool reads the MBias in force after the tune from "baseline".
    const int32_t mbias_now = read_mbias(ch);
    cJSON &a = *answer;
    cJSON_AddStringToObject(&a, "type", "tune_mbias_ch");
    add_number(a, "ch", ch);
    add_number(a, "mbias", result);
    add_number(a, "baseline", mbias_now);
    send_json(context.out, a);
}

struct RequestType {
    const char *name;
    Handler handler; // none: a type the tool only sends
};

constexpr RequestType request_types[] = {
    {"ack", nullptr},          {"error", nullptr},
    {"query", handle_query},   {"query_ch", handle_query_ch},
    {"config", handle_config}, {"config_ch", handle_config_ch},
    {"start", handle_start},   {"stop", handle_stop},
    {"reset", handle_reset},   {"tune_mbias_ch", handle_tune_mbias_ch},
};

} // namespace

int request_type_code(const char *type)
{
    for (size_t code = 0; code < std::size(request_types); ++code) {
        if (strcmp(request_types[code].name, type) == 0)
            return static_cast<int>(code);
    }
    return kNoRequestType;
}

void handle_request(RequestContext &context, const char *text)
{
    cap_log(CAP_INFO "Got request: %s\n\n", text);
    const JsonPtr request{cJSON_Parse(text)};
    int code = kNoRequestType;
    if (request) {
        const cJSON *type = cJSON_GetObjectItem(request.get(), "type");
        // A "type" that is not a string names no request.
        if (cJSON_IsString(type))
            code = request_type_code(type->valuestring);
    }
    const Handler handler =
        code == kNoRequestType ? nullptr : request_types[static_cast<size_t>(code)].handler;
    if (handler == nullptr) {
        cap_log(CAP_WARN "Unsupport cmd type: %d\n\n", code);
        send_status(context.out, kStatusRequestFailed);
        return;
    }
    handler(context, *request);
}

void reject_oversized_request(RequestContext &context)
{
    cap_log(CAP_WARN "Request longer than %d bytes dropped\n\n",
            static_cast<int>(kRequestCapacity));
    send_status(context.out, kStatusRequestFailed);
}

} // namespace padprobe
