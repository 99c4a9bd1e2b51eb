// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// The configured start and end commands of a service.
#pragma once

#include <cstdint>

#include "shell_command.h"

// For DNS_DATA_ESTABLISHED (9-byte record): runs the slot's start_cmd. Once
// nanpeer is stopping it no longer waits for the command.
void exec_start_script(const void *record, int length);
// For DNS_DATA_END (3-byte record): runs the slot's end_cmd. With
// command_wait::until_stop, once nanpeer is stopping it no longer waits for
// the command.
void exec_stop_script(const void *record, int length, command_wait wait = command_wait::until_stop);
// At shutdown, for a confirmed data path: runs the slot's end_cmd and waits
// for it to end.
void exec_stop_script_ex(uint8_t ndp_id);
