// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// The control language of the simulated controller: one command per line,
// from the board's options and from the control socket.
#include "control.h"

#include <array>
#include <cerrno>
#include <cstdint>

#include "value_text.h"
#include "write_log.h"

namespace touchsim {

namespace {

constexpr std::size_t max_words = 6;

struct Words {
    std::array<std::string_view, max_words> word{};
    std::size_t count = 0;
    bool too_many = false;
};

Words split(std::string_view line)
{
    Words w;
    std::size_t pos = 0;
    while (pos < line.size()) {
        const std::size_t start = line.find_first_not_of(" \t\r\n", pos);
        if (start == std::string_view::npos)
            break;
        std::size_t end = line.find_first_of(" \t\r\n", start);
        if (end == std::string_view::npos)
            end = line.size();
        if (w.count == max_words) {
            w.too_many = true;
            break;
        }
        w.word[w.count++] = line.substr(start, end - start);
        pos = end;
    }
    return w;
}

ControlResult error(std::string_view why)
{
    return {"error: " + std::string(why) + "\n"};
}

bool number(std::string_view text, int32_t &value)
{
    return parse_value(text, value) == 0;
}

// A key names an attribute, with ":<channel>" for per-channel ones.
struct Key {
    const AttrInfo *attr = nullptr;
    int ch = 0;
};

bool parse_key(std::string_view text, Key &key)
{
    std::string_view name = text;
    std::string_view channel;
    if (auto colon = text.find(':'); colon != std::string_view::npos) {
        name = text.substr(0, colon);
        channel = text.substr(colon + 1);
    }
    key.attr = find_attribute(name);
    if (key.attr == nullptr)
        return false;
    if (!per_channel(key.attr->id))
        return channel.empty();
    int32_t ch = 0;
    if (!number(channel, ch) || ch < 0 || ch >= channel_count)
        return false;
    key.ch = ch;
    return true;
}

bool parse_channel(std::string_view text, int &ch)
{
    int32_t value = 0;
    if (!number(text, value) || value < 0 || value >= channel_count)
        return false;
    ch = value;
    return true;
}

ControlResult set_fault(TouchModel &model, const Words &w, bool reading)
{
    if (w.count < 2 || w.count > 3)
        return error(reading ? "usage: fail-read ATTR [ERRNO]" : "usage: fail-write ATTR [ERRNO]");
    const AttrInfo *attr = find_attribute(w.word[1]);
    if (attr == nullptr)
        return error("no attribute " + std::string(w.word[1]));
    int err = reading ? EIO : EINVAL;
    if (w.count == 3 && (err = errno_from_name(w.word[2])) == 0)
        return error("unknown errno " + std::string(w.word[2]));
    if (reading)
        model.set_read_error(attr->id, err);
    else
        model.set_write_error(attr->id, err);
    return {"ok\n"};
}

} // namespace

ControlResult run_control_line(TouchModel &model, std::string_view line, double now)
{
    const Words w = split(line);
    if (w.count == 0 || w.word[0].front() == '#')
        return {"ok\n"};
    if (w.too_many)
        return error("too many words");
    const std::string_view cmd = w.word[0];

    if (cmd == "set" || cmd == "get" || cmd == "free") {
        const std::size_t wanted = cmd == "set" ? 3 : 2;
        Key key;
        if (w.count != wanted)
            return error("usage: " + std::string(cmd) + (cmd == "set" ? " KEY VALUE" : " KEY"));
        if (!parse_key(w.word[1], key))
            return error("bad key " + std::string(w.word[1]) + " (name, or name:CH for chx_)");
        if (cmd == "get")
            return {std::to_string(model.value(key.attr->id, key.ch, now)) + "\n"};
        if (cmd == "free") {
            model.free(key.attr->id, key.ch);
            return {"ok\n"};
        }
        int32_t value = 0;
        if (!number(w.word[2], value))
            return error("bad value " + std::string(w.word[2]));
        if (model.set(key.attr->id, key.ch, value, now) != 0)
            return error("value out of range");
        return {"ok\n"};
    }
    if (cmd == "model") {
        int ch = 0;
        int32_t offset = 0;
        int32_t gain = 0;
        if (w.count != 4 || !parse_channel(w.word[1], ch) || !number(w.word[2], offset) ||
            !number(w.word[3], gain))
            return error("usage: model CH OFFSET GAIN");
        model.set_channel_model(ch, {offset, gain}, now);
        return {"ok\n"};
    }
    if (cmd == "noise") {
        int32_t amplitude = 0;
        if (w.count != 2 || !number(w.word[1], amplitude) || amplitude < 0 || amplitude > 10000)
            return error("usage: noise AMPLITUDE (0 to 10000)");
        model.set_noise(amplitude);
        return {"ok\n"};
    }
    if (cmd == "touch") {
        int ch = 0;
        int32_t depth = 0;
        int32_t duration = 0;
        int32_t delay = 0;
        if (w.count < 4 || w.count > 5 || !parse_channel(w.word[1], ch) ||
            !number(w.word[2], depth) || !number(w.word[3], duration) || duration < 0 ||
            (w.count == 5 && (!number(w.word[4], delay) || delay < 0)))
            return error("usage: touch CH DEPTH DURATION_MS [DELAY_MS]");
        const double start = now + delay / 1000.0;
        model.add_touch(ch, depth, start, start + duration / 1000.0);
        return {"ok\n"};
    }
    if (cmd == "missing" || cmd == "restore") {
        if (w.count != 2)
            return error("usage: " + std::string(cmd) + " ATTR");
        const AttrInfo *attr = find_attribute(w.word[1]);
        if (attr == nullptr)
            return error("no attribute " + std::string(w.word[1]));
        const bool missing = cmd == "missing";
        model.set_missing(attr->id, missing);
        if (!missing) {
            model.set_read_error(attr->id, 0);
            model.set_write_error(attr->id, 0);
        }
        return {"ok\n", attr};
    }
    if (cmd == "fail-read")
        return set_fault(model, w, true);
    if (cmd == "fail-write")
        return set_fault(model, w, false);
    return error("unknown command " + std::string(cmd));
}

} // namespace touchsim
