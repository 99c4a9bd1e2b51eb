// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// The driver's attribute files: their directories, names, access and limits.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace touchsim {

inline constexpr int channel_count = 9;

enum class Group : uint8_t {
    common = 0,
    etc = 1,
    channel = 2
};

enum class Attr : uint8_t {
    ctc_enable = 0,
    scan_interval = 1,
    sample_num = 2,
    debounce_times = 3,
    debounce_en = 4,
    snr_touch = 5,
    snr_noise = 6,
    etc_enable = 7,
    etc_interval = 8,
    etc_factor = 9,
    etc_step = 10,
    ch_num = 11,
    chx_enable = 12,
    chx_mbias = 13,
    chx_abs_th = 14,
    chx_diff_th = 15,
    chx_p_noise_th = 16,
    chx_n_noise_th = 17,
    chx_ave_data = 18,
    chx_baseline = 19,
};
inline constexpr std::size_t attr_count = 20;

struct AttrInfo {
    Attr id;
    Group group;
    const char *name;
    bool writable;
    // Values the driver accepts on a write; others are rejected with EINVAL.
    int32_t min;
    int32_t max;
};

const std::array<AttrInfo, attr_count> &attribute_table();
const AttrInfo &info(Attr attr);

// Finds an attribute by its name ("chx_mbias") or by its directory and name
// ("chx_config/chx_mbias"); nullptr when there is none.
const AttrInfo *find_attribute(std::string_view name);

// The directory name of a group under the device folder.
const char *group_dir(Group group);

// Whether the attribute reaches the channel selected through ch_num.
bool per_channel(Attr attr);

} // namespace touchsim
