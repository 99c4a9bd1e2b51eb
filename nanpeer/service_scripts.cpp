// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// Running a service's start_cmd and end_cmd, found by the data path id.
#include "service_scripts.h"

#include <cstdio>
#include <cstring>

#include "dns_event_records.h"
#include "event_lock.h"
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

// The configured text is copied while the table is held; the command runs
// with it let go, and the lock is taken back before returning.
void run_script(table_lock &lock, const char (&configured)[kScriptSize])
{
    char command[kScriptSize];
    std::snprintf(command, sizeof command, "%.*s", static_cast<int>(kScriptSize - 1), configured);
    lock.unlock();
    run_shell_command(command);
    lock.relock();
}

// The end command of the slot that holds the data path, if any does; the
// lookup itself reports a data path that no slot holds.
void run_end_cmd(table_lock &lock, uint8_t ndp_id)
{
    if (ndp_id == 0) {
        return;
    }
    dns_record *service = get_dns_recored_by_ndp_id(ndp_id);
    if (service == nullptr) {
        return;
    }
    run_script(lock, service->end_cmd);
}

} // namespace

void exec_start_script(table_lock &lock, const void *record, int length)
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
    run_script(lock, service->start_cmd);
}

void exec_stop_script(table_lock &lock, const void *record, int length)
{
    nan_log(log_severity::info, "%s \n", __func__);
    if (record == nullptr || length != static_cast<int>(sizeof(dns_data_end_record))) {
        nan_log(log_severity::info, "info or len(%d) error!\n", length);
        return;
    }
    run_end_cmd(lock, record_ndp_id(record));
}

void exec_stop_script_ex(table_lock &lock, uint8_t ndp_id)
{
    nan_log(log_severity::info, "%s \n", __func__);
    run_end_cmd(lock, ndp_id);
}
