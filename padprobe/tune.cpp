// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// The MBias auto-tune walk.
#include "padprobe/tune.h"

#include "padprobe/attr_access.h"
#include "padprobe/controller.h"
#include "padprobe/log.h"

#include <cerrno>
#include <cstdlib>
#include <ctime>

namespace padprobe {
namespace {

constexpr uint8_t kMaxMbias = 63;

void fail(uint8_t channel)
{
    cap_log(CAP_ERROR "%s MBias auto-tune @CH%d failed!!!\r\n\n", "ctc_tune_mbias", channel);
}

// Sleeps the whole delay even when a signal interrupts it.
void settle(uint32_t microseconds)
{
    timespec left{};
    left.tv_sec = static_cast<time_t>(microseconds / 1000000u);
    left.tv_nsec = static_cast<long>(microseconds % 1000000u) * 1000L;
    while (nanosleep(&left, &left) != 0 && errno == EINTR) {
    }
}

// Reads the channel's average; the sampling pass may have selected another
// channel since the tune last held the selection.
int32_t read_average(uint8_t channel)
{
    const auto lock = lock_channel_selection();
    keep_channel_selected(channel);
    return read_value(AttrGroup::channel, "chx_ave_data");
}

void write_mbias(uint8_t channel, uint8_t mbias)
{
    const auto lock = lock_channel_selection();
    keep_channel_selected(channel);
    if (write_value(AttrGroup::channel, "chx_mbias", mbias) < 0)
        cap_log(CAP_ERROR "%s\n\n", "ctc_set_chx_mbias");
}

} // namespace

uint8_t ctc_tune_mbias(uint8_t channel, uint32_t target, uint32_t tolerance)
{
    if (channel > 8)
        cap_log("Error: illegal parameter.\n");
    if (target >= 4096)
        cap_log("Error: illegal parameter.\n");
    if (tolerance >= 4096)
        cap_log("Error: illegal parameter.\n");

    int32_t scan_interval = 0;
    int32_t etc_interval = 0;
    int32_t reading = 0;
    {
        const auto lock = lock_channel_selection();
        select_channel(channel);
        write_flag(AttrGroup::channel, "chx_enable", true);
        scan_interval = read_value(AttrGroup::common, "scan_interval");
        etc_interval = read_value(AttrGroup::etc, "etc_interval");
        reading = read_value(AttrGroup::channel, "chx_ave_data");
    }

    // Already close enough: report the setting in force and write nothing.
    const int64_t distance = llabs(static_cast<int64_t>(static_cast<int32_t>(target)) - reading);
    if (distance <= static_cast<int64_t>(static_cast<int32_t>(tolerance))) {
        int32_t current = 0;
        {
            const auto lock = lock_channel_selection();
            keep_channel_selected(channel);
            current = read_value(AttrGroup::channel, "chx_mbias");
        }
        const auto result = static_cast<uint8_t>(current);
        if (result > kMaxMbias)
            fail(channel);
        return result;
    }

    // One scan per ETC interval plus one: the controller has a fresh average by then.
    const uint32_t scan = static_cast<uint32_t>(scan_interval);
    const uint32_t delay = (scan * static_cast<uint32_t>(etc_interval) + scan) * 1000u;

    uint8_t mbias = 0;
    for (unsigned step = 1;; ++step) {
        write_mbias(channel, mbias);
        settle(delay);
        const auto average = static_cast<uint32_t>(read_average(channel));
        // An average that rises with MBias: a high reading steps down, a low one up.
        if (average > target) {
            if (average - target < tolerance)
                return mbias;
            mbias = static_cast<uint8_t>(mbias - 1);
        } else {
            if (target - average < tolerance)
                return mbias;
            mbias = static_cast<uint8_t>(mbias + 1);
        }
        if (mbias > kMaxMbias)
            break;
        if (step == kTuneMaxSteps) {
            mbias = kTuneGaveUp;
            break;
        }
    }
    fail(channel);
    return mbias;
}

} // namespace padprobe
