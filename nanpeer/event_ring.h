// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// The events libsdcore reports, copied into a fixed ring for the owner
// thread, which alone handles them (owner.h).
#pragma once

#include <cstddef>
#include <cstdint>

// Room for every event of an exchange on both slots (six each)
// and for discovery results repeated while the owner is busy: its longest
// step is a subscriber's confirm (3 s and 2 s of pauses, then ten pings a
// second apart), and the library reports no discovery while a data path
// with the publisher is up. 32 records of about 620 bytes: 20 KiB of BSS.
inline constexpr std::size_t kEventRingSize = 32;
// The largest record, DNS_DISCOVERY_RESULT's. A longer length is wrong for
// every event, so its bytes are never needed.
inline constexpr std::size_t kLargestEventRecord = 596;

struct queued_event {
    uint32_t event_id;
    int length;      // as the library gave it
    bool has_record; // the library gave a record (bytes copied when length fits)
    int64_t posted_at_ns;
    uint8_t record[kLargestEventRecord];
};

// Creates the descriptor that wakes the owner (start-up, before the
// callback is registered). 0, or -errno.
int event_ring_init();
// Readable while events may have arrived since the owner last drained it.
int event_ring_wake_fd();
// Wakes the owner: an event was queued, or it has something else to do.
void event_ring_wake();
// Empties the wake descriptor; the owner does this before it looks at the ring.
void event_ring_drain_wake();

// The callback registered with libsdcore, on whatever thread the library
// calls it from, its own or one inside a dns_* call (the owner's included).
// Once stop_flag is set it returns at once. Otherwise it copies the event
// into the ring, or drops it with one warning when the ring is full, and
// wakes the owner.
void on_dns_event(uint32_t event_id, void *record, int length);

// The owner's side. When the oldest queued event arrived; false when none is.
bool event_ring_front_time(int64_t &posted_at_ns);
// Takes the oldest queued event; false when none is.
bool event_ring_pop(queued_event &event);
