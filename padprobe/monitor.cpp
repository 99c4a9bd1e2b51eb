// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// Monitor start and stop, and the lifetime of its two threads.
#include "padprobe/monitor.h"

#include "padprobe/answers.h"
#include "padprobe/log.h"
#include "padprobe/monitor_timer.h"

#include <cstring>

namespace padprobe {
namespace {

// Starts a thread under SCHED_RR at priority 1. Without the privilege for
// real-time scheduling the thread still runs, with the default policy: only
// its latency under load suffers. Returns pthread_create's result.
int create_realtime_thread(pthread_t &thread, void *(*body)(void *), void *arg, const char *what)
{
    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    pthread_attr_setinheritsched(&attributes, PTHREAD_EXPLICIT_SCHED);
    pthread_attr_setschedpolicy(&attributes, SCHED_RR);
    sched_param priority{};
    priority.sched_priority = 1;
    pthread_attr_setschedparam(&attributes, &priority);
    int result = pthread_create(&thread, &attributes, body, arg);
    pthread_attr_destroy(&attributes);
    if (result == EPERM) {
        cap_log(CAP_WARN "No real-time priority for %s, default policy used\n\n", what);
        result = pthread_create(&thread, nullptr, body, arg);
    }
    return result;
}

} // namespace

const char *to_string(MonitorState state)
{
    switch (state) {
    case MonitorState::idle:
        return "idle";
    case MonitorState::running:
        return "running";
    case MonitorState::stopped:
        return "stopped";
    }
    return "?";
}

int Monitor::init()
{
    if (const int result = tx_wake_.init(0); result < 0)
        return result;
    return tick_.init();
}

Monitor::~Monitor()
{
    quiesce();
    monitor_timer_detach();
    if (sampler_started_) {
        sampler_quit_.store(true, std::memory_order_release);
        tick_.wake();
        pthread_join(sampler_, nullptr);
    }
}

void Monitor::ensure_sampler()
{
    if (sampler_started_)
        return;
    // The default policy, as every thread but the TX task: with a controller
    // slower than the interval a real-time sampler would run pass after pass
    // and hold back request handling.
    if (pthread_create(&sampler_, nullptr, sampler_main, this) == 0)
        sampler_started_ = true;
    else
        cap_log(CAP_ERROR "Fail to create sampling thread\n\n");
}

void Monitor::quiesce()
{
    monitor_timer_stop();
    {
        const std::lock_guard<std::mutex> hold{pass_mutex_};
        sampling_ = false;
    }
    if (tx_running_) {
        tx_quit_.store(true, std::memory_order_release);
        tx_wake_.post();
        pthread_join(tx_task_, nullptr);
        tx_running_ = false;
    }
    // Ticks and wake-ups of the run that ended must not reach the next one.
    tick_.clear();
    tx_wake_.drain();
}

void Monitor::start(const MonitorConfig &config)
{
    // One TX task at a time: the one of an earlier start ends here.
    quiesce();

    config_ = config;
    uint8_t count = 0;
    for (const uint8_t flag : config.channel_flags)
        count = static_cast<uint8_t>(count + (flag != 0 ? 1 : 0));
    channel_count_ = count;
    samples_taken_.store(0, std::memory_order_release);
    samples_sent_.store(0, std::memory_order_release);

    enable_channels(config.channel_flags);
    send_status(out_, kStatusAck);
    cap_log(CAP_INFO "Monitor daemon started...\n\n");
    state_.store(MonitorState::running, std::memory_order_release);
    tx_quit_.store(false, std::memory_order_release);

    ensure_sampler();
    {
        const std::lock_guard<std::mutex> hold{pass_mutex_};
        sampling_ = true;
    }
    monitor_timer_start(config.samp_int, &tick_);
    start_tx_task();
}

void Monitor::start_tx_task()
{
    if (create_realtime_thread(tx_task_, tx_main, this, "tx task") != 0) {
        cap_log(CAP_ERROR "Fail to create tx task\n");
        return;
    }
    tx_running_ = true;
}

void Monitor::stop()
{
    if (state() == MonitorState::stopped) {
        cap_log(CAP_INFO "Monitor already stopped\n\n");
        return;
    }
    state_.store(MonitorState::stopped, std::memory_order_release);
    quiesce();
    cap_log(CAP_INFO "Monitor stopped\n\n");
}

} // namespace padprobe
