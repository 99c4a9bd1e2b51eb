// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// Running a service's start_cmd and end_cmd, found by the data path id.
#include "service_scripts.h"

#include <cstdio>
#include <cstring>

#include "dns_event_records.h"
#include "log.h"
#include "service_table.h"
#include "shell_command.h"

namespace {

constexpr std::size_t kScriptSize = 1024;

// Byte 2 of the data path records is the ndp_id.
uint8_t record_ndp_id(const void *record)
{
    uint8_t ndp_id = 0;
    std::memcpy(&ndp_id, static_cast<const uint8_t *>(record) + 2, 1);
    return ndp_id;
}

// The configured text is copied first: it is the slot's, and a command
// line is at most 1023 characters.
void run_script(const char (&configured)[kScriptSize], command_wait wait)
{
    char command[kScriptSize];
    std::snprintf(command, sizeof command, "%.*s", static_cast<int>(kScriptSize - 1), configured);
    static_cast<void>(run_shell_command(command, wait));
}

// The end command of the slot that holds the data path, if any does; the
// lookup itself reports a data path that no slot holds.
void run_end_cmd(uint8_t ndp_id, command_wait wait)
{
    if (ndp_id == 0) {
        return;
    }
    dns_record *service = get_dns_recored_by_ndp_id(ndp_id);
    if (service == nullptr) {
        return;
    }
    run_script(service->end_cmd, wait);
}

} // namespace

void exec_start_script(const void *record, int length)
{
    nan_log(log_severity::info, "%s \n", __func__);
    if (record == nullptr || length != static_cast<int>(sizeof(dns_data_established_record))) {
        nan_log(log_severity::info, "info or len(%d) error!\n", length);
        return;
    }
    const uint8_t ndp_id = record_ndp_id(record);
    if (ndp_id == 0) {
        return;
    }
    dns_record *service = get_dns_recored_by_ndp_id(ndp_id);
    if (service == nullptr) {
        nan_log(log_severity::info, "%s Can not get dns_recored from ndp_id(%d)\n", __func__,
                ndp_id);
        return;
    }
    nan_log(log_severity::debug, "%.*s \n", static_cast<int>(kScriptSize - 1), service->start_cmd);
    run_script(service->start_cmd, command_wait::until_stop);
}

void exec_stop_script(const void *record, int length, command_wait wait)
{
    nan_log(log_severity::info, "%s \n", __func__);
    if (record == nullptr || length != static_cast<int>(sizeof(dns_data_end_record))) {
        nan_log(log_severity::info, "info or len(%d) error!\n", length);
        return;
    }
    run_end_cmd(record_ndp_id(record), wait);
}

void exec_stop_script_ex(uint8_t ndp_id)
{
    nan_log(log_severity::info, "%s \n", __func__);
    run_end_cmd(ndp_id, command_wait::to_the_end);
}
