// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// The configured start and end commands of a service.
#pragma once

#include <cstdint>

class table_lock;

// Each is called with the event lock held, lets go of it while the command
// runs and takes it back before returning: the caller must check that its
// slot is still the one it left.

// For DNS_DATA_ESTABLISHED (9-byte record): runs the slot's start_cmd.
void exec_start_script(table_lock &lock, const void *record, int length);
// For DNS_DATA_END (3-byte record): runs the slot's end_cmd.
void exec_stop_script(table_lock &lock, const void *record, int length);
// At shutdown, for a confirmed data path: runs the slot's end_cmd.
void exec_stop_script_ex(table_lock &lock, uint8_t ndp_id);
