// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// The touch controller behind the attribute files: settings, the channel
// selection, measurements from a simple physical model, and faults on demand.
#include "model.h"

#include <algorithm>
#include <cerrno>
#include <cmath>

#include "value_text.h"

namespace touchsim {

namespace {

// Power-on settings of the controller.
constexpr std::array<std::pair<Attr, int32_t>, 10> common_defaults{{
    {Attr::ctc_enable, 0},
    {Attr::scan_interval, 10},
    {Attr::sample_num, 4},
    {Attr::debounce_times, 2},
    {Attr::debounce_en, 1},
    {Attr::etc_enable, 1},
    {Attr::etc_interval, 1},
    {Attr::etc_factor, 8},
    {Attr::etc_step, 4},
    {Attr::ch_num, 0},
}};
constexpr std::array<std::pair<Attr, int32_t>, 6> channel_defaults{{
    {Attr::chx_enable, 0},
    {Attr::chx_mbias, 20},
    {Attr::chx_abs_th, 2000},
    {Attr::chx_diff_th, 100},
    {Attr::chx_p_noise_th, 50},
    {Attr::chx_n_noise_th, 50},
}};

// Readings are 16-bit conversions.
int32_t clamp_reading(double value)
{
    return static_cast<int32_t>(std::clamp(std::lround(value), 0L, 65535L));
}

} // namespace

TouchModel::TouchModel(uint32_t seed) : random_state_(seed != 0 ? seed : 1)
{
    for (auto [attr, value] : common_defaults)
        common_[index(attr)] = value;
    for (int ch = 0; ch < channel_count; ++ch) {
        for (auto [attr, value] : channel_defaults)
            channel_[static_cast<std::size_t>(ch)][index(attr)] = value;
        // Channels differ a little, so each tunes to its own setting.
        model_[static_cast<std::size_t>(ch)] = {1000 + 40 * ch, 64};
        baseline_time_[static_cast<std::size_t>(ch)] = -1.0;
    }
}

int32_t &TouchModel::setting(Attr attr, int ch)
{
    if (per_channel(attr))
        return channel_[static_cast<std::size_t>(ch)][index(attr)];
    return common_[index(attr)];
}

int32_t TouchModel::level(int ch) const
{
    const auto c = static_cast<std::size_t>(ch);
    const ChannelModel &m = model_[c];
    return m.offset + m.gain * channel_[c][index(Attr::chx_mbias)];
}

// The baseline moves towards the untouched level exponentially; it is
// brought up to date lazily, before anything that changes the level.
void TouchModel::settle_baseline(int ch, double now)
{
    const auto c = static_cast<std::size_t>(ch);
    const double target = level(ch);
    if (baseline_time_[c] < 0.0) {
        baseline_[c] = target;
    } else if (now > baseline_time_[c]) {
        const double step = 1.0 - std::exp(-(now - baseline_time_[c]) / baseline_time_constant);
        baseline_[c] += (target - baseline_[c]) * step;
    }
    baseline_time_[c] = std::max(now, baseline_time_[c]);
}

// A new MBias changes the reading at once; the controller takes a fresh
// baseline then rather than drifting towards it.
void TouchModel::recalibrate_baseline(int ch, double now)
{
    const auto c = static_cast<std::size_t>(ch);
    baseline_[c] = level(ch);
    baseline_time_[c] = now;
}

int32_t TouchModel::touch_depth(int ch, double now) const
{
    int32_t depth = 0;
    for (const Touch &t : touches_)
        if (t.ch == ch && t.start <= now && now < t.end)
            depth += t.depth;
    return depth;
}

// The driver reports the strength of the latest touch it saw.
int32_t TouchModel::last_touch_depth(double now) const
{
    const Touch *last = nullptr;
    for (const Touch &t : touches_)
        if (t.start <= now && (last == nullptr || t.start >= last->start))
            last = &t;
    return last != nullptr ? last->depth : 0;
}

int32_t TouchModel::noise()
{
    if (noise_amplitude_ <= 0)
        return 0;
    random_state_ ^= random_state_ << 13;
    random_state_ ^= random_state_ >> 17;
    random_state_ ^= random_state_ << 5;
    const auto span = static_cast<uint32_t>(2 * noise_amplitude_ + 1);
    return static_cast<int32_t>(random_state_ % span) - noise_amplitude_;
}

int32_t TouchModel::measure(Attr attr, int ch, double now)
{
    const auto c = static_cast<std::size_t>(ch);
    switch (attr) {
    case Attr::chx_ave_data:
        if (pinned_average_[c])
            return *pinned_average_[c];
        return clamp_reading(level(ch) - touch_depth(ch, now) + noise());
    case Attr::chx_baseline:
        if (pinned_baseline_[c])
            return *pinned_baseline_[c];
        settle_baseline(ch, now);
        return clamp_reading(baseline_[c]);
    case Attr::snr_touch:
        return pinned_snr_touch_.value_or(last_touch_depth(now));
    case Attr::snr_noise:
        // Peak to peak of the noise.
        return pinned_snr_noise_.value_or(2 * std::max(noise_amplitude_, 0));
    case Attr::ch_num:
        return selected_;
    default:
        return setting(attr, ch);
    }
}

int TouchModel::read(Attr attr, double now, int32_t &value)
{
    if (int err = read_error_[index(attr)]; err != 0)
        return -err;
    value = measure(attr, selected_, now);
    return 0;
}

int TouchModel::write(Attr attr, std::string_view text, double now)
{
    const AttrInfo &a = info(attr);
    if (!a.writable)
        return -EACCES;
    if (int err = write_error_[index(attr)]; err != 0)
        return -err;
    int32_t v = 0;
    if (int err = parse_value(text, v); err != 0)
        return err;
    if (v < a.min || v > a.max)
        return -EINVAL;
    if (attr == Attr::ch_num) {
        selected_ = v;
        return 0;
    }
    setting(attr, selected_) = v;
    if (attr == Attr::chx_mbias)
        recalibrate_baseline(selected_, now);
    return 0;
}

int TouchModel::set(Attr attr, int ch, int32_t value, double now)
{
    if (ch < 0 || ch >= channel_count)
        return -EINVAL;
    const auto c = static_cast<std::size_t>(ch);
    switch (attr) {
    case Attr::chx_ave_data:
        pinned_average_[c] = value;
        return 0;
    case Attr::chx_baseline:
        pinned_baseline_[c] = value;
        return 0;
    case Attr::snr_touch:
        pinned_snr_touch_ = value;
        return 0;
    case Attr::snr_noise:
        pinned_snr_noise_ = value;
        return 0;
    case Attr::ch_num:
        if (value < 0 || value >= channel_count)
            return -EINVAL;
        selected_ = value;
        return 0;
    default:
        break;
    }
    setting(attr, ch) = value;
    if (attr == Attr::chx_mbias)
        recalibrate_baseline(ch, now);
    return 0;
}

void TouchModel::free(Attr attr, int ch)
{
    if (ch < 0 || ch >= channel_count)
        return;
    const auto c = static_cast<std::size_t>(ch);
    if (attr == Attr::chx_ave_data)
        pinned_average_[c].reset();
    else if (attr == Attr::chx_baseline)
        pinned_baseline_[c].reset();
    else if (attr == Attr::snr_touch)
        pinned_snr_touch_.reset();
    else if (attr == Attr::snr_noise)
        pinned_snr_noise_.reset();
}

int32_t TouchModel::value(Attr attr, int ch, double now)
{
    if (ch < 0 || ch >= channel_count)
        ch = selected_;
    return measure(attr, ch, now);
}

void TouchModel::set_channel_model(int ch, ChannelModel model, double now)
{
    if (ch < 0 || ch >= channel_count)
        return;
    settle_baseline(ch, now);
    model_[static_cast<std::size_t>(ch)] = model;
}

void TouchModel::add_touch(int ch, int32_t depth, double start, double end)
{
    // A scripted session holds a handful of touches; keep the list bounded
    // all the same by forgetting the oldest.
    constexpr std::size_t kept = 256;
    if (touches_.size() == kept)
        touches_.erase(touches_.begin());
    touches_.push_back({ch, depth, start, end});
}

} // namespace touchsim
