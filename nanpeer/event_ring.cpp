// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// The event ring: many threads put events in, the owner takes them out.
#include "event_ring.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <mutex>

#include "clock.h"
#include "dns_event_records.h"
#include "log.h"
#include "process_globals.h"

namespace {

// Every record the library delivers fits.
static_assert(sizeof(dns_discovery_result_record) == kLargestEventRecord);
static_assert(sizeof(dns_data_indication_record) <= kLargestEventRecord &&
              sizeof(dns_data_confirm_record) <= kLargestEventRecord &&
              sizeof(dns_data_established_record) <= kLargestEventRecord &&
              sizeof(dns_data_end_record) <= kLargestEventRecord &&
              sizeof(dns_bstrap_result_record) <= kLargestEventRecord &&
              sizeof(dns_pasn_result_record) <= kLargestEventRecord);

// Held only while a record is copied in or out, never across any other work.
std::mutex ring_mutex;
queued_event ring[kEventRingSize];
std::size_t ring_head = 0;
std::size_t ring_count = 0;

// Never closed: the library may call back while the process exits.
std::atomic<int> wake_descriptor{-1};

} // namespace

int event_ring_init()
{
    if (wake_descriptor.load() >= 0) {
        return 0;
    }
    const int fd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (fd < 0) {
        return -errno;
    }
    wake_descriptor.store(fd);
    return 0;
}

int event_ring_wake_fd()
{
    return wake_descriptor.load();
}

void event_ring_drain_wake()
{
    uint64_t count = 0;
    // Nothing to drain (EAGAIN) is as good as drained.
    [[maybe_unused]] const ssize_t drained = read(wake_descriptor.load(), &count, sizeof count);
}

void on_dns_event(uint32_t event_id, void *record, int length)
{
    if (stop_flag.load() != 0) {
        return;
    }
    bool queued = false;
    {
        const std::lock_guard<std::mutex> lock(ring_mutex);
        if (ring_count < kEventRingSize) {
            queued_event &event = ring[(ring_head + ring_count) % kEventRingSize];
            event.event_id = event_id;
            event.length = length;
            event.has_record = record != nullptr;
            // Stamped under the lock, so the ring is in the order of its stamps.
            event.posted_at_ns = monotonic_ns();
            if (record != nullptr && length > 0 &&
                static_cast<std::size_t>(length) <= kLargestEventRecord) {
                std::memcpy(event.record, record, static_cast<std::size_t>(length));
            }
            ++ring_count;
            queued = true;
        }
    }
    if (!queued) {
        nan_log(log_severity::warning, "event ring full, event id %u dropped\n", event_id);
        return;
    }
    event_ring_wake();
}

void event_ring_wake()
{
    const uint64_t one = 1;
    // Fails only once 2^64 - 2 wake-ups are pending, when the owner wakes
    // anyway.
    [[maybe_unused]] const ssize_t written = write(wake_descriptor.load(), &one, sizeof one);
}

bool event_ring_front_time(int64_t &posted_at_ns)
{
    const std::lock_guard<std::mutex> lock(ring_mutex);
    if (ring_count == 0) {
        return false;
    }
    posted_at_ns = ring[ring_head].posted_at_ns;
    return true;
}

bool event_ring_pop(queued_event &event)
{
    const std::lock_guard<std::mutex> lock(ring_mutex);
    if (ring_count == 0) {
        return false;
    }
    std::memcpy(&event, &ring[ring_head], sizeof event);
    ring_head = (ring_head + 1) % kEventRingSize;
    --ring_count;
    return true;
}
