// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// The TX task: turns each completed sample set into one data frame.
#include "padprobe/monitor.h"

#include "padprobe/attr_access.h"
#include "padprobe/log.h"

#include <cstring>

namespace padprobe {
namespace {

uint16_t read_snr()
{
    const int32_t touch = read_value(AttrGroup::common, "snr_touch");
    const int32_t noise = read_value(AttrGroup::common, "snr_noise");
    return snr_from(touch, noise);
}

} // namespace

void *Monitor::tx_main(void *self)
{
    auto &monitor = *static_cast<Monitor *>(self);
    for (;;) {
        monitor.tx_wake_.wait();
        monitor.send_next_frame();
        if (monitor.tx_quit_.load(std::memory_order_acquire)) {
            cap_log(CAP_WARN "TX task stopped\n\n");
            return nullptr;
        }
    }
}

void Monitor::send_next_frame()
{
    const uint32_t sent = samples_sent_.load(std::memory_order_relaxed);
    if (sent >= samples_taken_.load(std::memory_order_acquire))
        return;
    const size_t length = channel_count_ * kRecordSize;
    {
        // When this task has fallen two sets behind, the bank already holds
        // a later pass: the frame keeps its number and carries newer data.
        const std::lock_guard<std::mutex> hold{bank_mutex_};
        memcpy(payload_, banks_[sent % 2], length);
    }
    samples_sent_.store(sent + 1, std::memory_order_release);
    const std::span<const std::byte> payload{payload_, length};
    encode_header(std::span<std::byte, kHeaderSize>{header_}, sent + 1, read_snr(), payload);
    out_.send_frame(std::span<const std::byte, kHeaderSize>{header_}, payload);
}

} // namespace padprobe
