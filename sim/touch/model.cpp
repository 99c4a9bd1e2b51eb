// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// The touch controller's model for C++ callers: seconds in, the shared
// model's nanoseconds out.
#include "model.h"

#include <cmath>

namespace touchsim {

int64_t to_ns(double seconds)
{
    return std::llround(seconds * 1e9);
}

TouchModel::TouchModel(uint32_t seed, bool strict)
{
    touch_model_init(&m_, seed, strict);
}

int TouchModel::read(Attr attr, double now, int32_t &value)
{
    return touch_model_read(&m_, index(attr), to_ns(now), &value);
}

int TouchModel::write(Attr attr, std::string_view text, double now)
{
    return touch_model_write(&m_, index(attr), text.data(), text.size(), to_ns(now));
}

int TouchModel::set(Attr attr, int ch, int32_t value, double now)
{
    return touch_model_set(&m_, index(attr), ch, value, to_ns(now));
}

void TouchModel::free(Attr attr, int ch)
{
    touch_model_free(&m_, index(attr), ch);
}

int32_t TouchModel::value(Attr attr, int ch, double now)
{
    return touch_model_value(&m_, index(attr), ch, to_ns(now));
}

void TouchModel::set_channel_model(int ch, ChannelModel model, double now)
{
    touch_model_set_channel(&m_, ch, {model.offset, model.gain}, to_ns(now));
}

void TouchModel::add_touch(int ch, int32_t depth, double start, double end)
{
    touch_model_add_touch(&m_, ch, depth, to_ns(start), to_ns(end));
}

} // namespace touchsim
