// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// The command record handed to the console control device: a length byte
// and a zero-filled, NUL-terminated text of at most 127 characters.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace mcushell {

inline constexpr size_t record_text_size = 128;
inline constexpr size_t max_command_chars = record_text_size - 1;

struct [[gnu::packed]] CommandRecord {
    uint8_t length;              // characters in text, without the NUL
    char text[record_text_size]; // the characters, then zeros
};

// The driver reads exactly these bytes; nothing may move.
static_assert(sizeof(CommandRecord) == 129);
static_assert(offsetof(CommandRecord, length) == 0);
static_assert(offsetof(CommandRecord, text) == 1);

// Zeroes the text field (the length byte is left alone).
void clear_text(CommandRecord &record);

// Puts the first 127 characters of command into a cleared text field and
// sets the length byte to the number copied.
void set_command(CommandRecord &record, std::string_view command);

} // namespace mcushell
