// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// The event callback: the stop check, the lock, the dispatch by event id,
// and the events deferred because they came from inside a library call.
#include <cstddef>
#include <cstring>

#include "event_lock.h"
#include "events.h"
#include "log.h"
#include "process_globals.h"
#include "service_scripts.h"
#include "slot_claims.h"

namespace {

void dispatch_event(table_lock &lock, uint32_t event_id, const void *record, int length)
{
    switch (event_id) {
    case DNS_DISCOVERY_RESULT:
        nan_log(log_severity::info, "DNS_DISCOVERY_RESULT\n");
        dns_evt_discovery_result(lock, record, length);
        return;
    case DNS_DATA_INDICATION:
        nan_log(log_severity::info, "DNS_DATA_INDICATION\n");
        dns_evt_data_indication(record, length);
        return;
    case DNS_DATA_CONFIRM:
        nan_log(log_severity::info, "DNS_DATA_CONFIRM\n");
        dns_evt_data_confirm(lock, record, length);
        return;
    case DNS_DATA_ESTABLISHED:
        nan_log(log_severity::info, "DNS_DATA_ESTABLISHED\n");
        exec_start_script(lock, record, length);
        return;
    case DNS_BSTRAP_RESULT:
        nan_log(log_severity::info, "DNS_BSTRAP_RESULT\n");
        dns_evt_bstrap_result(record, length);
        return;
    case DNS_PASN_RESULT:
        nan_log(log_severity::info, "DNS_PASN_RESULT\n");
        dns_evt_pasn_result(record, length);
        return;
    case DNS_DATA_END:
        nan_log(log_severity::info, "DNS_DATA_END\n");
        dns_evt_data_end(lock, record, length);
        return;
    default:
        nan_log(log_severity::info, "[nanpeer]unknow dns event id (%d)\n",
                static_cast<int>(event_id));
        return;
    }
}

void handle_event(uint32_t event_id, const void *record, int length)
{
    table_lock lock;
    // Shutdown may have begun while this event waited for the lock.
    if (stop_flag.load() != 0) {
        return;
    }
    dispatch_event(lock, event_id, record, length);
}

// Every record the library delivers fits; a longer length is refused by
// every handler before it reads a byte.
constexpr std::size_t kLargestRecord = sizeof(dns_discovery_result_record);
static_assert(sizeof(dns_data_indication_record) <= kLargestRecord &&
              sizeof(dns_data_confirm_record) <= kLargestRecord &&
              sizeof(dns_data_established_record) <= kLargestRecord &&
              sizeof(dns_data_end_record) <= kLargestRecord &&
              sizeof(dns_bstrap_result_record) <= kLargestRecord &&
              sizeof(dns_pasn_result_record) <= kLargestRecord);
// A library that reports more than a few events from inside one call is
// not to be expected; the queue has room for a whole exchange.
constexpr std::size_t kDeferredEvents = 8;

struct deferred_event {
    uint32_t event_id;
    int length;
    bool has_record;
    uint8_t record[kLargestRecord];
};

// Each thread defers and handles its own events, so no lock is needed.
struct deferred_queue {
    deferred_event events[kDeferredEvents];
    std::size_t head;
    std::size_t count;
    bool draining;
};

thread_local deferred_queue deferred{};

void defer_event(uint32_t event_id, const void *record, int length)
{
    deferred_queue &queue = deferred;
    if (queue.count == kDeferredEvents) {
        nan_log(log_severity::warning, "too many events from inside a library call, %u dropped\n",
                event_id);
        return;
    }
    deferred_event &event = queue.events[(queue.head + queue.count) % kDeferredEvents];
    ++queue.count;
    event.event_id = event_id;
    event.length = length;
    event.has_record = record != nullptr;
    if (record != nullptr && length > 0) {
        const auto size = static_cast<std::size_t>(length);
        std::memcpy(event.record, record, size < kLargestRecord ? size : kLargestRecord);
    }
}

} // namespace

void on_dns_event(uint32_t event_id, void *record, int length)
{
    // Checked before the lock so that events arriving during shutdown do not
    // queue up behind it.
    if (stop_flag.load() != 0) {
        return;
    }
    // Delivered from inside a library call on this thread: handled once the
    // call, and the handler step that made it, are over.
    if (thread_is_busy()) {
        defer_event(event_id, record, length);
        return;
    }
    handle_event(event_id, record, length);
}

bool may_go_on(const nan_data_mgnt &mgnt, uint32_t claim)
{
    return stop_flag.load() == 0 && claim_holds(mgnt, claim);
}

void handle_deferred_events()
{
    deferred_queue &queue = deferred;
    // Handling one event ends a busy scope, which calls here again.
    if (queue.draining) {
        return;
    }
    queue.draining = true;
    while (queue.count != 0) {
        // A copy: the handler may defer further events into the queue.
        deferred_event event;
        std::memcpy(&event, &queue.events[queue.head], sizeof event);
        queue.head = (queue.head + 1) % kDeferredEvents;
        --queue.count;
        if (stop_flag.load() != 0) {
            continue;
        }
        handle_event(event.event_id, event.has_record ? event.record : nullptr, event.length);
    }
    queue.draining = false;
}
