// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// The driver's attribute files: their directories, names, access and limits.
#include "attributes.h"

#include <climits>

namespace touchsim {

namespace {

constexpr int32_t any_min = INT32_MIN;
constexpr int32_t any_max = INT32_MAX;

// Settings take any 32-bit value except where the hardware has a field of
// fixed width: a channel index, the 6-bit MBias, and on/off flags.
constexpr std::array<AttrInfo, attr_count> table{{
    {Attr::ctc_enable, Group::common, "ctc_enable", true, 0, 1},
    {Attr::scan_interval, Group::common, "scan_interval", true, any_min, any_max},
    {Attr::sample_num, Group::common, "sample_num", true, any_min, any_max},
    {Attr::debounce_times, Group::common, "debounce_times", true, any_min, any_max},
    {Attr::debounce_en, Group::common, "debounce_en", true, 0, 1},
    {Attr::snr_touch, Group::common, "snr_touch", false, 0, 0},
    {Attr::snr_noise, Group::common, "snr_noise", false, 0, 0},
    {Attr::etc_enable, Group::etc, "etc_enable", true, 0, 1},
    {Attr::etc_interval, Group::etc, "etc_interval", true, any_min, any_max},
    {Attr::etc_factor, Group::etc, "etc_factor", true, any_min, any_max},
    {Attr::etc_step, Group::etc, "etc_step", true, any_min, any_max},
    {Attr::ch_num, Group::channel, "ch_num", true, 0, channel_count - 1},
    {Attr::chx_enable, Group::channel, "chx_enable", true, 0, 1},
    {Attr::chx_mbias, Group::channel, "chx_mbias", true, 0, 63},
    {Attr::chx_abs_th, Group::channel, "chx_abs_th", true, any_min, any_max},
    {Attr::chx_diff_th, Group::channel, "chx_diff_th", true, any_min, any_max},
    {Attr::chx_p_noise_th, Group::channel, "chx_p_noise_th", true, any_min, any_max},
    {Attr::chx_n_noise_th, Group::channel, "chx_n_noise_th", true, any_min, any_max},
    {Attr::chx_ave_data, Group::channel, "chx_ave_data", false, 0, 0},
    {Attr::chx_baseline, Group::channel, "chx_baseline", false, 0, 0},
}};

constexpr bool table_in_enum_order()
{
    for (std::size_t i = 0; i < table.size(); ++i)
        if (static_cast<std::size_t>(table[i].id) != i)
            return false;
    return true;
}
static_assert(table_in_enum_order(), "the table is indexed by Attr");

} // namespace

const std::array<AttrInfo, attr_count> &attribute_table()
{
    return table;
}

const AttrInfo &info(Attr attr)
{
    return table[static_cast<std::size_t>(attr)];
}

const char *group_dir(Group group)
{
    switch (group) {
    case Group::common:
        return "common_config";
    case Group::etc:
        return "etc_config";
    case Group::channel:
        return "chx_config";
    }
    return "common_config";
}

const AttrInfo *find_attribute(std::string_view name)
{
    std::string_view dir;
    if (auto slash = name.find('/'); slash != std::string_view::npos) {
        dir = name.substr(0, slash);
        name = name.substr(slash + 1);
    }
    for (const AttrInfo &a : table)
        if (name == a.name && (dir.empty() || dir == group_dir(a.group)))
            return &a;
    return nullptr;
}

bool per_channel(Attr attr)
{
    return info(attr).group == Group::channel && attr != Attr::ch_num;
}

} // namespace touchsim
