// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// The handler of each event libsdcore reports.
#pragma once

#include <cstdint>
#include <cstring>

#include "dns_event_records.h"
#include "service_slot.h"
#include "shell_command.h"

// Handlers, run on the owner thread (owner.h). Each checks the record's
// length first. Those that wait for a shell command or a pause stop waiting
// once nanpeer is stopping; they then record only what has happened (a data
// path the peer ended is cleared) and return.
void dns_evt_discovery_result(const void *record, int length);
void dns_evt_data_indication(const void *record, int length);
void dns_evt_data_confirm(const void *record, int length);
void dns_evt_bstrap_result(const void *record, int length);
void dns_evt_pasn_result(const void *record, int length);
// `wait`: how long its end command is waited for (the owner settles a data
// end still queued when the stop came like shutdown's own end commands).
void dns_evt_data_end(const void *record, int length, command_wait wait = command_wait::until_stop);

void parse_discovery_result(nan_data_mgnt &mgnt, const dns_discovery_result_record &record);
void parse_data_indication(nan_data_mgnt &mgnt, const dns_data_indication_record &record);

// Copies the record when it is there and exactly the size of Record.
template <typename Record>
bool read_event_record(const void *record, int length, Record &copy)
{
    if (record == nullptr || length != static_cast<int>(sizeof(Record))) {
        return false;
    }
    std::memcpy(&copy, record, sizeof copy);
    return true;
}
