// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// Command words, their views and their directions.
#include "command.h"

#include <array>

namespace otpctl {

namespace {

constexpr const char raw_view[] = "/sys/bus/nvmem/devices/otp_raw0/nvmem";
constexpr const char map_view[] = "/sys/bus/nvmem/devices/otp_map0/nvmem";

// Matched in this order; the order only matters to someone reading a trace.
constexpr std::array all_commands{Command::read_raw, Command::write_raw, Command::read_map,
                                  Command::write_map};

} // namespace

const char *to_string(Command command)
{
    switch (command) {
    case Command::read_raw:
        return "rraw";
    case Command::write_raw:
        return "wraw";
    case Command::read_map:
        return "rmap";
    case Command::write_map:
        return "wmap";
    }
    return "?";
}

std::optional<Command> find_command(std::string_view word)
{
    for (const Command command : all_commands) {
        if (word == to_string(command))
            return command;
    }
    return std::nullopt;
}

bool is_write(Command command)
{
    switch (command) {
    case Command::read_raw:
    case Command::read_map:
        return false;
    case Command::write_raw:
    case Command::write_map:
        return true;
    }
    return false;
}

const char *device_path(Command command)
{
    switch (command) {
    case Command::read_raw:
    case Command::write_raw:
        return raw_view;
    case Command::read_map:
    case Command::write_map:
        return map_view;
    }
    return raw_view;
}

} // namespace otpctl
