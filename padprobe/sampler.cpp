// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// The sampling thread: one pass over the watched channels per timer tick.
#include "padprobe/monitor.h"

#include <csignal>
#include <cstring>

namespace padprobe {

void *Monitor::sampler_main(void *self)
{
    // Never this thread: a signal that lands in one of its attribute reads
    // interrupts the driver's work for it (the tick would then cost more
    // than the pass it asks for).
    sigset_t alarm;
    sigemptyset(&alarm);
    sigaddset(&alarm, SIGALRM);
    pthread_sigmask(SIG_BLOCK, &alarm, nullptr);

    auto &monitor = *static_cast<Monitor *>(self);
    for (;;) {
        monitor.tick_.wait();
        if (monitor.sampler_quit_.load(std::memory_order_acquire))
            return nullptr;
        const std::lock_guard<std::mutex> hold{monitor.pass_mutex_};
        if (monitor.sampling_)
            monitor.run_pass();
    }
}

void Monitor::run_pass()
{
    // The attribute reads happen before the bank is touched, so the TX task
    // never waits for file I/O to copy a bank.
    std::byte records[kMaxRecords * kRecordSize];
    size_t filled = 0;
    for (size_t ch = 0; ch < config_.channel_flags.size(); ++ch) {
        if (config_.channel_flags[ch] == 0)
            continue;
        const auto channel = static_cast<uint8_t>(ch);
        const ChannelMeasurement m = read_measurement(channel);
        encode_record(std::span<std::byte, kRecordSize>{records + filled, kRecordSize}, channel,
                      m.average, m.baseline);
        filled += kRecordSize;
    }
    {
        const std::lock_guard<std::mutex> hold{bank_mutex_};
        const uint32_t taken = samples_taken_.load(std::memory_order_relaxed);
        memcpy(banks_[taken % 2], records, filled);
        samples_taken_.store(taken + 1, std::memory_order_release);
    }
    tx_wake_.post();
}

} // namespace padprobe
