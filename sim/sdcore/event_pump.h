// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// The library's event thread: a bounded queue of event records and the
// thread that hands them, in order, to the registered callback.
//
// Events are never delivered on the thread that calls the library: the
// application may hold its own lock while it calls in, and a callback made
// from inside that call would wait for the same lock.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <pthread.h>

#include "trace_log.h"

extern "C" {
typedef void (*dns_evt_cb)(uint32_t event_id, void *record, int length);
}

namespace sdcore_sim {

class event_pump {
public:
    static constexpr std::size_t kCapacity = 64;
    static constexpr std::size_t kMaxRecord = 596;

    event_pump();
    ~event_pump();
    event_pump(const event_pump &) = delete;
    event_pump &operator=(const event_pump &) = delete;

    void set_callback(dns_evt_cb callback) { callback_.store(callback); }

    // Starts the thread, which writes event-begin and event-end lines to
    // `trace` (may be null). 0, or -errno; -EBUSY while a thread from an
    // earlier start is still inside the callback.
    int start(trace_log *trace = nullptr);
    // Whether a thread from an earlier start is still inside the callback.
    [[nodiscard]] bool busy() const;

    // Queues a record for delivery `delay_ms` from now. A non-zero
    // `replace_key` overwrites a queued, undelivered event with the same key
    // instead of adding one (a newer discovery of the same service replaces
    // an older one). 0, or -ENOSPC when the queue is full.
    int post(uint32_t event_id, const void *record, std::size_t length, uint32_t delay_ms,
             uint64_t replace_key);

    // Stops delivering at once: queued events are discarded and the thread
    // ends after the callback it is in (if any) returns. Waits up to
    // `wait_ms` for that; a thread still inside the callback then is left to
    // end on its own. Returns 0 when the thread has ended, -ETIMEDOUT when it
    // was left running. Called from the callback itself, it does not wait.
    int stop(uint32_t wait_ms);

    [[nodiscard]] bool on_event_thread() const;

private:
    struct pending_event {
        uint32_t id;
        uint32_t length;
        int64_t due_us;
        uint64_t replace_key;
        alignas(8) uint8_t record[kMaxRecord];
    };

    static void *thread_main(void *self);
    void run();

    mutable pthread_mutex_t mutex_;
    pthread_cond_t changed_; // an event was queued, or stopping was asked
    pthread_cond_t ended_;   // the thread has left run()
    pending_event queue_[kCapacity];
    std::size_t head_ = 0;
    std::size_t count_ = 0;
    bool stopping_ = false;
    bool running_ = false; // a thread is in run()
    bool joinable_ = false;
    pthread_t thread_{};
    std::atomic<dns_evt_cb> callback_{nullptr};
    trace_log *trace_ = nullptr;
    // The record handed to the callback; the queue may change meanwhile.
    alignas(8) uint8_t delivering_[kMaxRecord];
};

} // namespace sdcore_sim
