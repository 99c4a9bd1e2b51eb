// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// The library's event thread.
#include "event_pump.h"

#include <cerrno>
#include <cstring>
#include <ctime>

#include "event_names.h"

namespace sdcore_sim {

namespace {
// The pump whose thread is the current thread, if any.
thread_local const event_pump *current_pump = nullptr;

timespec monotonic_deadline(int64_t time_us)
{
    timespec deadline{};
    deadline.tv_sec = static_cast<time_t>(time_us / 1000000);
    deadline.tv_nsec = static_cast<long>((time_us % 1000000) * 1000);
    return deadline;
}
} // namespace

event_pump::event_pump()
{
    pthread_mutex_init(&mutex_, nullptr);
    pthread_condattr_t attributes;
    pthread_condattr_init(&attributes);
    pthread_condattr_setclock(&attributes, CLOCK_MONOTONIC);
    pthread_cond_init(&changed_, &attributes);
    pthread_cond_init(&ended_, &attributes);
    pthread_condattr_destroy(&attributes);
}

event_pump::~event_pump()
{
    stop(0);
    pthread_mutex_lock(&mutex_);
    const bool still_running = running_;
    pthread_mutex_unlock(&mutex_);
    // A thread that is still inside the callback keeps using this object; it
    // only ever lives in static storage then, so leave the primitives alone.
    if (still_running)
        return;
    pthread_cond_destroy(&ended_);
    pthread_cond_destroy(&changed_);
    pthread_mutex_destroy(&mutex_);
}

bool event_pump::busy() const
{
    pthread_mutex_lock(&mutex_);
    const bool result = running_ && stopping_;
    pthread_mutex_unlock(&mutex_);
    return result;
}

int event_pump::start(trace_log *trace)
{
    pthread_mutex_lock(&mutex_);
    if (running_) {
        const bool still_busy = stopping_;
        pthread_mutex_unlock(&mutex_);
        return still_busy ? -EBUSY : 0;
    }
    trace_ = trace;
    if (joinable_) {
        pthread_join(thread_, nullptr);
        joinable_ = false;
    }
    head_ = 0;
    count_ = 0;
    stopping_ = false;
    running_ = true;
    const int rc = pthread_create(&thread_, nullptr, &event_pump::thread_main, this);
    if (rc != 0) {
        running_ = false;
    } else {
        joinable_ = true;
    }
    pthread_mutex_unlock(&mutex_);
    return -rc;
}

int event_pump::post(uint32_t event_id, const void *record, std::size_t length, uint32_t delay_ms,
                     uint64_t replace_key)
{
    if (length > kMaxRecord)
        return -EINVAL;
    pthread_mutex_lock(&mutex_);
    if (!running_ || stopping_) {
        pthread_mutex_unlock(&mutex_);
        return -ESHUTDOWN;
    }
    pending_event *slot = nullptr;
    if (replace_key != 0) {
        for (std::size_t i = 0; i < count_; ++i) {
            pending_event &queued = queue_[(head_ + i) % kCapacity];
            if (queued.replace_key == replace_key) {
                slot = &queued;
                break;
            }
        }
    }
    if (slot == nullptr) {
        if (count_ == kCapacity) {
            pthread_mutex_unlock(&mutex_);
            return -ENOSPC;
        }
        slot = &queue_[(head_ + count_) % kCapacity];
        ++count_;
        slot->due_us = monotonic_us() + static_cast<int64_t>(delay_ms) * 1000;
    }
    slot->id = event_id;
    slot->length = static_cast<uint32_t>(length);
    slot->replace_key = replace_key;
    std::memcpy(slot->record, record, length);
    pthread_cond_signal(&changed_);
    pthread_mutex_unlock(&mutex_);
    return 0;
}

int event_pump::stop(uint32_t wait_ms)
{
    pthread_mutex_lock(&mutex_);
    stopping_ = true;
    count_ = 0;
    pthread_cond_broadcast(&changed_);
    if (!joinable_) {
        pthread_mutex_unlock(&mutex_);
        return running_ ? -ETIMEDOUT : 0;
    }
    if (current_pump == this) {
        // Asked from inside the callback: the thread ends once it returns.
        pthread_detach(thread_);
        joinable_ = false;
        pthread_mutex_unlock(&mutex_);
        return -ETIMEDOUT;
    }
    const timespec deadline =
        monotonic_deadline(monotonic_us() + static_cast<int64_t>(wait_ms) * 1000);
    while (running_) {
        if (pthread_cond_timedwait(&ended_, &mutex_, &deadline) == ETIMEDOUT)
            break;
    }
    const bool ended = !running_;
    if (!ended) {
        // The application's callback does not return (a long shell command,
        // say). Do not hang its shutdown on it.
        pthread_detach(thread_);
        joinable_ = false;
        pthread_mutex_unlock(&mutex_);
        return -ETIMEDOUT;
    }
    pthread_t thread = thread_;
    joinable_ = false;
    pthread_mutex_unlock(&mutex_);
    pthread_join(thread, nullptr);
    return 0;
}

bool event_pump::on_event_thread() const
{
    return current_pump == this;
}

void *event_pump::thread_main(void *self)
{
    static_cast<event_pump *>(self)->run();
    return nullptr;
}

void event_pump::run()
{
    current_pump = this;
    pthread_mutex_lock(&mutex_);
    while (!stopping_) {
        if (count_ == 0) {
            pthread_cond_wait(&changed_, &mutex_);
            continue;
        }
        pending_event &next = queue_[head_];
        const int64_t now = monotonic_us();
        if (next.due_us > now) {
            const timespec deadline = monotonic_deadline(next.due_us);
            pthread_cond_timedwait(&changed_, &mutex_, &deadline);
            continue;
        }
        const uint32_t id = next.id;
        const uint32_t length = next.length;
        std::memcpy(delivering_, next.record, length);
        head_ = (head_ + 1) % kCapacity;
        --count_;
        trace_log *trace = trace_;
        pthread_mutex_unlock(&mutex_);

        const char *name = event_name(id);
        dns_evt_cb callback = callback_.load();
        if (trace != nullptr) {
            trace->line("event-begin", name != nullptr ? name : "unknown", "id=%u len=%u%s", id,
                        length, callback != nullptr ? "" : " callback=none");
        }
        if (callback != nullptr)
            callback(id, delivering_, static_cast<int>(length));
        if (trace != nullptr)
            trace->line("event-end", name != nullptr ? name : "unknown", "id=%u", id);

        pthread_mutex_lock(&mutex_);
    }
    running_ = false;
    pthread_cond_broadcast(&ended_);
    pthread_mutex_unlock(&mutex_);
}

} // namespace sdcore_sim
