// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// Composite operations over the common, ETC and channel attribute groups.
#include "padprobe/controller.h"

#include "padprobe/attr_access.h"
#include "padprobe/log.h"

#include <climits>

namespace padprobe {
namespace {

std::mutex selection_mutex;
// The channel this process last wrote to ch_num; INT_MIN before the first.
int32_t last_selected = INT_MIN;

void warn_illegal_parameter()
{
    cap_log("Error: illegal parameter.\n");
}

// Writes a value and names the failed setting with its label.
void write_labelled(AttrGroup group, const char *name, int32_t value, const char *label)
{
    if (write_value(group, name, value) < 0)
        cap_log(CAP_ERROR "%s\n\n", label);
}

} // namespace

std::unique_lock<std::mutex> lock_channel_selection()
{
    return std::unique_lock<std::mutex>{selection_mutex};
}

void select_channel(int32_t ch)
{
    last_selected = ch;
    write_value(AttrGroup::channel, "ch_num", ch);
}

void keep_channel_selected(int32_t ch)
{
    if (last_selected != ch)
        select_channel(ch);
}

CommonSettings read_common_settings()
{
    CommonSettings s{};
    s.scan_interval = read_value(AttrGroup::common, "scan_interval");
    s.sample_num = read_value(AttrGroup::common, "sample_num");
    s.etc_enable = read_value(AttrGroup::etc, "etc_enable");
    s.etc_interval = read_value(AttrGroup::etc, "etc_interval");
    s.etc_step = read_value(AttrGroup::etc, "etc_step");
    s.etc_factor = read_value(AttrGroup::etc, "etc_factor");
    s.debounce_times = read_value(AttrGroup::common, "debounce_times");
    s.debounce_en = read_value(AttrGroup::common, "debounce_en");
    s.chip_name = "NimbusChip";
    return s;
}

void write_common_settings(const CommonSettings &s)
{
    write_labelled(AttrGroup::common, "scan_interval", s.scan_interval, "ctc_set_scan_interval");
    if (s.sample_num > 7)
        warn_illegal_parameter();
    write_labelled(AttrGroup::common, "sample_num", s.sample_num, "ctc_set_sample_num");
    if (s.debounce_times > 3)
        warn_illegal_parameter();
    write_labelled(AttrGroup::common, "debounce_times", s.debounce_times, "ctc_set_debounce_times");
    write_flag(AttrGroup::common, "debounce_en", s.debounce_en != 0);
    write_flag(AttrGroup::etc, "etc_enable", s.etc_enable != 0);
    if (s.etc_interval > 127)
        warn_illegal_parameter();
    write_labelled(AttrGroup::etc, "etc_interval", s.etc_interval, "ctc_set_etc_interval");
    if (s.etc_factor > 15)
        warn_illegal_parameter();
    write_labelled(AttrGroup::etc, "etc_factor", s.etc_factor, "ctc_set_etc_factor");
    if (s.etc_step > 15)
        warn_illegal_parameter();
    write_labelled(AttrGroup::etc, "etc_step", s.etc_step, "ctc_set_etc_step");
}

ChannelSettings read_channel_settings(int32_t ch)
{
    ChannelSettings c{};
    c.ch = ch;
    const auto lock = lock_channel_selection();
    select_channel(ch);
    c.mbias = read_value(AttrGroup::channel, "chx_mbias");
    c.enable = read_value(AttrGroup::channel, "chx_enable");
    c.diff_th = read_value(AttrGroup::channel, "chx_diff_th");
    c.abs_th = read_value(AttrGroup::channel, "chx_abs_th");
    c.pn_th = read_value(AttrGroup::channel, "chx_p_noise_th");
    c.nn_th = read_value(AttrGroup::channel, "chx_n_noise_th");
    return c;
}

void write_channel_settings(const ChannelSettings &c)
{
    const auto lock = lock_channel_selection();
    select_channel(c.ch);
    write_labelled(AttrGroup::channel, "chx_mbias", c.mbias, "ctc_set_chx_mbias");
    if (c.abs_th >= 4096)
        warn_illegal_parameter();
    write_labelled(AttrGroup::channel, "chx_abs_th", c.abs_th, "ctc_set_chx_abs_th");
    write_labelled(AttrGroup::channel, "chx_diff_th", c.diff_th, "ctc_set_chx_diff_th");
    write_labelled(AttrGroup::channel, "chx_p_noise_th", c.pn_th, "ctc_set_chx_p_noise_th");
    write_labelled(AttrGroup::channel, "chx_n_noise_th", c.nn_th, "ctc_set_chx_n_noise_th");
    write_flag(AttrGroup::channel, "chx_enable", c.enable != 0);
}

void enable_channels(const ChannelFlags &flags)
{
    {
        const auto lock = lock_channel_selection();
        for (int ch = 0; ch < kChannelCount; ++ch) {
            select_channel(ch);
            write_flag(AttrGroup::channel, "chx_enable", flags[static_cast<size_t>(ch)] != 0);
        }
    }
    write_flag(AttrGroup::common, "ctc_enable", true);
}

void reset_controller()
{
    // Off and on again in two separate opens: the driver restarts the scan on the edge.
    write_flag(AttrGroup::common, "ctc_enable", false);
    write_flag(AttrGroup::common, "ctc_enable", true);
}

int32_t read_mbias(int32_t ch)
{
    const auto lock = lock_channel_selection();
    select_channel(ch);
    return read_value(AttrGroup::channel, "chx_mbias");
}

ChannelMeasurement read_measurement(uint8_t ch)
{
    ChannelMeasurement m{};
    const auto lock = lock_channel_selection();
    select_channel(ch);
    m.average = read_value(AttrGroup::channel, "chx_ave_data");
    m.baseline = read_value(AttrGroup::channel, "chx_baseline");
    return m;
}

} // namespace padprobe
