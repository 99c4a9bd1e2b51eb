// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// The owner thread's loop, and the dispatch of an event by its id.
#include "owner.h"

#include <poll.h>
#include <pthread.h>

#include <atomic>

#include "clock.h"
#include "event_ring.h"
#include "events.h"
#include "lifecycle.h"
#include "log.h"
#include "process_globals.h"
#include "response_timer.h"
#include "service_scripts.h"
#include "stopping.h"

namespace {

std::atomic<bool> handling_begun{false};
std::atomic<bool> shutdown_asked{false};
// Written before shutdown_asked is set, read after it is seen.
uint16_t shutdown_radio = 0;
pthread_t owner_thread{};

void dispatch_event(const queued_event &event)
{
    const void *record = event.has_record ? event.record : nullptr;
    const int length = event.length;
    switch (event.event_id) {
    case DNS_DISCOVERY_RESULT:
        nan_log(log_severity::info, "DNS_DISCOVERY_RESULT\n");
        dns_evt_discovery_result(record, length);
        return;
    case DNS_DATA_INDICATION:
        nan_log(log_severity::info, "DNS_DATA_INDICATION\n");
        dns_evt_data_indication(record, length);
        return;
    case DNS_DATA_CONFIRM:
        nan_log(log_severity::info, "DNS_DATA_CONFIRM\n");
        dns_evt_data_confirm(record, length);
        return;
    case DNS_DATA_ESTABLISHED:
        nan_log(log_severity::info, "DNS_DATA_ESTABLISHED\n");
        exec_start_script(record, length);
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
        dns_evt_data_end(record, length);
        return;
    default:
        nan_log(log_severity::info, "[nanpeer]unknow dns event id (%d)\n",
                static_cast<int>(event.event_id));
        return;
    }
}

// Once stopping: every event still queued was reported before the stop
// (the callback queues none after it). A data end among them means the
// peer has ended that data path already: it is handled, with its end
// command waited for as shutdown's own are, so that shutdown neither runs
// the command again nor ends the path at the library. The others are
// dropped, as events after a stop are.
void settle_events_queued_before_the_stop()
{
    queued_event event{};
    while (event_ring_pop(event)) {
        if (event.event_id == DNS_DATA_END) {
            nan_log(log_severity::info, "DNS_DATA_END\n");
            dns_evt_data_end(event.has_record ? event.record : nullptr, event.length,
                             command_wait::to_the_end);
        }
    }
}

// Until the next tick falls due (-1: no tick to wait for), in milliseconds
// rounded up, so that the wait does not end just before the tick.
int milliseconds_to_next_tick()
{
    int64_t due = 0;
    if (stop_flag.load() != 0 || !handling_begun.load() || !next_tick_due(due)) {
        return -1;
    }
    const int64_t left = due - monotonic_ns();
    if (left <= 0) {
        return 0;
    }
    constexpr int64_t kNanosecondsPerMillisecond = 1'000'000;
    return static_cast<int>((left + kNanosecondsPerMillisecond - 1) / kNanosecondsPerMillisecond);
}

void *owner_main(void *)
{
    for (;;) {
        // Drained before the ring is looked at: an event queued after this
        // wakes the poll below.
        event_ring_drain_wake();
        if (handling_begun.load()) {
            handle_pending_messages();
        }
        if (shutdown_asked.load()) {
            shut_down(shutdown_radio);
            return nullptr;
        }
        // A signal (EINTR) or a failure only means another round.
        pollfd wake = {event_ring_wake_fd(), POLLIN, 0};
        static_cast<void>(poll(&wake, 1, milliseconds_to_next_tick()));
    }
}

} // namespace

void handle_pending_messages()
{
    queued_event event{};
    for (;;) {
        if (stop_flag.load() != 0) {
            settle_events_queued_before_the_stop();
            return;
        }
        int64_t posted_at = 0;
        const bool event_waiting = event_ring_front_time(posted_at);
        int64_t due = 0;
        const bool tick_due = next_tick_due(due) && due <= monotonic_ns();
        if (tick_due && (!event_waiting || due <= posted_at)) {
            on_response_timer();
        } else if (event_waiting && event_ring_pop(event)) {
            dispatch_event(event);
        } else {
            return;
        }
    }
}

int owner_start()
{
    handling_begun.store(false);
    shutdown_asked.store(false);
    if (const int error = stopping_init(); error != 0) {
        return error;
    }
    if (const int error = event_ring_init(); error != 0) {
        return error;
    }
    return -pthread_create(&owner_thread, nullptr, owner_main, nullptr);
}

void owner_begin()
{
    handling_begun.store(true);
    event_ring_wake();
}

void owner_shut_down(uint16_t radio)
{
    shutdown_radio = radio;
    shutdown_asked.store(true);
    event_ring_wake();
    pthread_join(owner_thread, nullptr);
}
