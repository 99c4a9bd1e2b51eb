// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// The touch controller behind the attribute files: settings, the channel
// selection, measurements from a simple physical model, and faults on demand.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "attributes.h"

namespace touchsim {

// A channel's noise-free, untouched average is offset + gain * MBias: it
// rises with MBias, so an auto-tune walking MBias upwards can reach a target.
struct ChannelModel {
    int32_t offset;
    int32_t gain;
};

// Not thread-safe: the file system and the control socket share one lock.
// Every call takes `now`, seconds on a monotonic clock, so tests control time.
class TouchModel {
public:
    explicit TouchModel(uint32_t seed = 1);

    // The driver side: what reads and writes of the attribute files do.
    // Both return 0 or a negative errno (a rejected value, an injected fault).
    int read(Attr attr, double now, int32_t &value);
    int write(Attr attr, std::string_view text, double now);
    int selected_channel() const { return selected_; }

    // The control side. `ch` is ignored for attributes that are not per channel.
    // Setting a measurement (average, baseline, SNR parts) pins it to the
    // value, without noise, until it is freed; setting anything else stores it.
    int set(Attr attr, int ch, int32_t value, double now);
    void free(Attr attr, int ch);
    int32_t value(Attr attr, int ch, double now);
    void set_channel_model(int ch, ChannelModel model, double now);
    void set_noise(int32_t amplitude) { noise_amplitude_ = amplitude; }
    void add_touch(int ch, int32_t depth, double start, double end);

    // Faults: a missing attribute has no file; an error makes every read or
    // write of the attribute fail with that errno until it is healed (0).
    void set_missing(Attr attr, bool missing) { missing_[index(attr)] = missing; }
    bool is_missing(Attr attr) const { return missing_[index(attr)]; }
    void set_read_error(Attr attr, int err) { read_error_[index(attr)] = err; }
    void set_write_error(Attr attr, int err) { write_error_[index(attr)] = err; }

    // How fast the baseline follows a drifting average (time constant, s).
    static constexpr double baseline_time_constant = 1.0;

private:
    struct Touch {
        int ch;
        int32_t depth;
        double start;
        double end;
    };

    static std::size_t index(Attr attr) { return static_cast<std::size_t>(attr); }
    int32_t &setting(Attr attr, int ch);
    int32_t level(int ch) const;
    void settle_baseline(int ch, double now);
    void recalibrate_baseline(int ch, double now);
    int32_t touch_depth(int ch, double now) const;
    int32_t last_touch_depth(double now) const;
    int32_t noise();
    int32_t measure(Attr attr, int ch, double now);

    int selected_ = 0;
    std::array<int32_t, attr_count> common_{};
    std::array<std::array<int32_t, attr_count>, channel_count> channel_{};
    std::array<ChannelModel, channel_count> model_{};
    std::array<double, channel_count> baseline_{};
    std::array<double, channel_count> baseline_time_{};
    std::array<std::optional<int32_t>, channel_count> pinned_average_{};
    std::array<std::optional<int32_t>, channel_count> pinned_baseline_{};
    std::optional<int32_t> pinned_snr_touch_;
    std::optional<int32_t> pinned_snr_noise_;
    std::vector<Touch> touches_;
    int32_t noise_amplitude_ = 6;
    uint32_t random_state_;
    std::array<bool, attr_count> missing_{};
    std::array<int, attr_count> read_error_{};
    std::array<int, attr_count> write_error_{};
};

} // namespace touchsim
