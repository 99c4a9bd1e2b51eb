// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// The touch controller behind the attribute files: the shared model
// (sim/model/touch_model.c, the same the kernel module runs) for C++ callers,
// with time in seconds.
#pragma once

#include <cstdint>
#include <string_view>

#include "attributes.h"
#include "touch_model.h"

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
    explicit TouchModel(uint32_t seed = 1, bool strict = false);

    // The driver side: what reads and writes of the attribute files do.
    // Both return 0 or a negative errno (a rejected value, an injected fault).
    int read(Attr attr, double now, int32_t &value);
    int write(Attr attr, std::string_view text, double now);
    int selected_channel() const { return m_.selected; }

    // The control side. `ch` is ignored for attributes that are not per channel.
    // Setting a measurement (average, baseline, SNR parts) pins it to the
    // value, without noise, until it is freed; setting anything else stores it.
    int set(Attr attr, int ch, int32_t value, double now);
    void free(Attr attr, int ch);
    int32_t value(Attr attr, int ch, double now);
    void set_channel_model(int ch, ChannelModel model, double now);
    void set_noise(int32_t amplitude) { m_.noise_amplitude = amplitude; }
    void add_touch(int ch, int32_t depth, double start, double end);

    // Faults: a missing attribute has no file; an error makes every read or
    // write of the attribute fail with that errno until it is healed (0).
    void set_missing(Attr attr, bool missing) { m_.missing[index(attr)] = missing; }
    bool is_missing(Attr attr) const { return m_.missing[index(attr)]; }
    void set_read_error(Attr attr, int err) { m_.read_error[index(attr)] = err; }
    void set_write_error(Attr attr, int err) { m_.write_error[index(attr)] = err; }

    // What the attribute shows right after power-on, without noise.
    int32_t power_on(Attr attr) const { return touch_model_power_on(&m_, index(attr)); }

    // How fast the baseline follows a drifting average (time constant, s).
    static constexpr double baseline_time_constant = 1.0;

    // The model itself, for the control language.
    touch_model &c_model() { return m_; }

private:
    static int index(Attr attr) { return static_cast<int>(attr); }

    touch_model m_{};
};

// Seconds on the model's clock as the nanoseconds the shared model counts.
int64_t to_ns(double seconds);

} // namespace touchsim
