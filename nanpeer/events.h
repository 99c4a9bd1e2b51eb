// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// The event callback registered with libsdcore and the handler of each event.
#pragma once

#include <cstdint>
#include <cstring>

#include "dns_event_records.h"
#include "service_slot.h"

class table_lock;

// The callback: drops everything once stop_flag is set, otherwise handles
// the event under the event lock. An event delivered on a thread that is
// inside a library call waits until the call and the step that made it are
// over (see busy_scope).
void on_dns_event(uint32_t event_id, void *record, int length);
// Handles the calling thread's deferred events; the thread is busy no more.
void handle_deferred_events();

// Handlers, called with the event lock held; they return with it held.
// Each checks the record's length first and reads the record only during
// the call. Those with a blocking step (a command, a pause) are given the
// lock to let go of the table meanwhile; once they have it back they go on
// only while nanpeer is not stopping and their slot is still the one they
// left (slot_claims.h).
void dns_evt_discovery_result(table_lock &lock, const void *record, int length);
void dns_evt_data_indication(const void *record, int length);
void dns_evt_data_confirm(table_lock &lock, const void *record, int length);
void dns_evt_bstrap_result(const void *record, int length);
void dns_evt_pasn_result(const void *record, int length);
void dns_evt_data_end(table_lock &lock, const void *record, int length);

// After a blocking step, with the lock taken back: whether the handler that
// claimed the slot may go on with it.
bool may_go_on(const nan_data_mgnt &mgnt, uint32_t claim);

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
