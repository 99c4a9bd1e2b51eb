// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// The driver's attribute files as C++ sees them: the shared model's table
// (sim/model/touch_model.c), with the enums of this side.
#include "attributes.h"

#include "touch_model.h"

namespace touchsim {

static_assert(attr_count == TA_COUNT && channel_count == TOUCH_CHANNELS);
static_assert(static_cast<int>(Attr::ctc_enable) == TA_CTC_ENABLE &&
              static_cast<int>(Attr::snr_noise) == TA_SNR_NOISE &&
              static_cast<int>(Attr::etc_step) == TA_ETC_STEP &&
              static_cast<int>(Attr::ch_num) == TA_CH_NUM &&
              static_cast<int>(Attr::chx_baseline) == TA_CHX_BASELINE);
static_assert(static_cast<int>(Group::common) == TOUCH_GROUP_COMMON &&
              static_cast<int>(Group::etc) == TOUCH_GROUP_ETC &&
              static_cast<int>(Group::channel) == TOUCH_GROUP_CHANNEL);

namespace {

std::array<AttrInfo, attr_count> make_table()
{
    std::array<AttrInfo, attr_count> table{};
    for (std::size_t i = 0; i < attr_count; ++i) {
        const touch_attr_info &a = touch_attrs[i];
        table[i] = {
            static_cast<Attr>(i), static_cast<Group>(a.group), a.name, a.writable, a.min, a.max};
    }
    return table;
}

} // namespace

const std::array<AttrInfo, attr_count> &attribute_table()
{
    static const std::array<AttrInfo, attr_count> table = make_table();
    return table;
}

const AttrInfo &info(Attr attr)
{
    return attribute_table()[static_cast<std::size_t>(attr)];
}

const char *group_dir(Group group)
{
    return touch_group_dir(static_cast<touch_group>(group));
}

const AttrInfo *find_attribute(std::string_view name)
{
    const int attr = touch_find_attr(name.data(), name.size());
    return attr < 0 ? nullptr : &attribute_table()[static_cast<std::size_t>(attr)];
}

bool per_channel(Attr attr)
{
    return touch_per_channel(static_cast<int>(attr));
}

} // namespace touchsim
