// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// The four command words: which view each selects and in which direction.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace otpctl {

enum class Command : uint8_t {
    read_raw = 0,
    write_raw = 1,
    read_map = 2,
    write_map = 3,
};

// The command word as typed on the command line ("rraw", ...).
const char *to_string(Command command);

// Exact, case-sensitive match of a whole argument; nothing for other words.
std::optional<Command> find_command(std::string_view word);

bool is_write(Command command);

// The nvmem file of the view the command works on.
const char *device_path(Command command);

} // namespace otpctl
