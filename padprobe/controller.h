// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// The controller's settings records and the composite operations on its attributes.
#pragma once

#include <array>
#include <cstdint>
#include <mutex>

namespace padprobe {

inline constexpr int kChannelCount = 9;

struct CommonSettings {
    int32_t scan_interval = 0;
    int32_t sample_num = 0;
    int32_t etc_enable = 0;
    int32_t etc_interval = 0;
    int32_t etc_step = 0;
    int32_t etc_factor = 0;
    int32_t debounce_en = 0;
    int32_t debounce_times = 0;
    const char *chip_name = "NimbusChip";
};

struct ChannelSettings {
    int32_t ch = 0;
    int32_t enable = 0;
    int32_t mbias = 0;
    int32_t diff_th = 0;
    int32_t abs_th = 0;
    int32_t nn_th = 0;
    int32_t pn_th = 0;
};

struct ChannelMeasurement {
    int32_t average = 0;
    int32_t baseline = 0;
};

using ChannelFlags = std::array<uint8_t, kChannelCount>;

// The driver has one channel selection (ch_num) for every chx_ attribute, and
// the monitor's sampling pass selects channels of its own while requests run.
// Whoever selects a channel and then reads or writes its chx_ attributes
// holds this lock across the whole sequence.
[[nodiscard]] std::unique_lock<std::mutex> lock_channel_selection();

// Writes ch to ch_num. The caller holds the selection lock.
void select_channel(int32_t ch);

// Selects ch again only when someone else selected another channel since
// this holder last did; for sequences that let go of the lock in between.
// The caller holds the selection lock.
void keep_channel_selected(int32_t ch);

// The composite operations report failures only through the log.
CommonSettings read_common_settings();
void write_common_settings(const CommonSettings &settings);
ChannelSettings read_channel_settings(int32_t ch);
void write_channel_settings(const ChannelSettings &c);
void enable_channels(const ChannelFlags &flags);
void reset_controller();

// Selects ch and reads its chx_mbias.
int32_t read_mbias(int32_t ch);

// Selects ch and reads its average and baseline, for one sampling pass.
ChannelMeasurement read_measurement(uint8_t ch);

} // namespace padprobe
