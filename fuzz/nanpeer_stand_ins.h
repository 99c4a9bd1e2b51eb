// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// What nanpeer's fuzz targets put in place of the shell and of libsdcore,
// and the checks they run on the service table.
#pragma once

#include <cstdint>

// The shell: no command runs. A command is accepted when it is one of the
// configured scripts, or an ip / ping6 line made only of the characters
// that addresses and options are written with: nothing a peer sends may
// reach the shell as text.
void shell_stand_in_allow_scripts(const char *start_cmd, const char *end_cmd);

// libsdcore: every call checks that its pointer is the one field of the
// service table that call is given, reads it whole, and returns 0 unless
// its bit in failing_calls is set.
enum sdcore_call_bit : uint8_t {
    kFailBstrapStart = 1u << 0,
    kFailPairingStart = 1u << 1,
    kFailDatapathReq = 1u << 2,
    kFailDatapathRsp = 1u << 3,
    kFailDatapathEnd = 1u << 4,
};
void sdcore_stand_in_fail(uint8_t failing_calls);

// The table as the code must always leave it: every used slot in a known
// state, text fields terminated, heap blocks of the size they claim; in the
// first prepared_slots slots, each data path still points at its own slot.
void require_sound_service_table(uint32_t prepared_slots);

// Frees what the table holds on the heap and zeroes it, for the next input.
void reset_service_table();
