// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// The one access path to the controller's attribute files and their value format.
#pragma once

#include <cstddef>
#include <cstdint>

namespace padprobe {

enum class AttrGroup : uint8_t {
    common = 0,
    etc = 1,
    channel = 2,
};

// The directory of a group, below the attribute root.
const char *to_string(AttrGroup group);

// The driver's values are read as their first four characters.
inline constexpr size_t kReadWidth = 4;

// Decimal text of a value as written: any 32-bit value fits whole.
struct ValueText {
    char text[12];
};
ValueText format_value(int32_t value);

// Writes text (without its terminator) to an attribute. Returns 0, or -errno
// when the file cannot be opened or the write fails or falls short; the
// failure is logged here, any label is the caller's.
int attr_write(AttrGroup group, const char *name, const char *text);

// Reads at most kReadWidth bytes of an attribute into buffer, which the
// caller has cleared. Returns 0, or -errno when the file cannot be opened
// (logged; the buffer stays clear). A failed read ends the process with
// status 255: the controller is then in no state to be driven.
int attr_read(AttrGroup group, const char *name, char (&buffer)[kReadWidth + 1]);

// Reads an attribute and converts it in base 10; a file that cannot be
// opened reads as 0.
int32_t read_value(AttrGroup group, const char *name);

// Writes a value as "%d" text.
int write_value(AttrGroup group, const char *name, int32_t value);

// Writes an on/off attribute: "1" when on, else "0".
int write_flag(AttrGroup group, const char *name, bool on);

} // namespace padprobe
