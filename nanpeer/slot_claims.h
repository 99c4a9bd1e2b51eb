// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// Claims on the slots by handlers that let go of the event lock between
// their steps.
#pragma once

#include <cstdint>

#include "service_slot.h"

// A handler that lets go of the table around a blocking step (a command, a
// pause) claims its slot first; once it has the table back it goes on only
// while its claim holds. Another handler's claim on the slot and every
// clearing of the slot's data path (a give-up, a data path end, shutdown)
// end the claim. All of these are called with the event lock held.
uint32_t claim_slot(const nan_data_mgnt &mgnt);
bool claim_holds(const nan_data_mgnt &mgnt, uint32_t claim);
void end_claims(const nan_data_mgnt &mgnt);

// Set while a handler runs the end command of a data path that the peer has
// ended: shutdown leaves that slot to the handler instead of running the
// command a second time and ending a data path that is already gone.
void set_end_under_way(const nan_data_mgnt &mgnt, bool under_way);
bool end_under_way(const nan_data_mgnt &mgnt);
