// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// Filling a command record.
#include "command_record.h"

#include <algorithm>
#include <cstring>

namespace mcushell {

void clear_text(CommandRecord &record)
{
    std::memset(record.text, 0, sizeof record.text);
}

void set_command(CommandRecord &record, std::string_view command)
{
    clear_text(record);
    const size_t count = std::min(command.size(), max_command_chars);
    std::memcpy(record.text, command.data(), count);
    record.length = static_cast<uint8_t>(count);
}

} // namespace mcushell
