// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// The response timer: one periodic tick that bounds each wait for the peer.
//
// The timer is a due time that the owner thread keeps and waits for
// alongside the event ring; a tick is handled like an event, in the order
// of arrival (owner.h). Everything here runs on the owner thread.
#pragma once

#include <cstdint>

#include "service_slot.h"

// retry := 0, then start_response_timer().
void arm_response_timer(nan_data_mgnt &mgnt);
// The first tick falls due 5 s from now, then one every 5 s. A tick of an
// earlier arming that has not been handled yet is gone.
void start_response_timer();
// No tick comes until the next arming. Does nothing when none is armed.
void delete_response_timer();
bool response_timer_armed();

// When the next tick falls due (monotonic_ns); false when none is armed.
bool next_tick_due(int64_t &due_ns);
// One tick: the next one falls due a period later, then every used slot's
// retry counts up and the slots that still wait on the fourth tick are
// given up.
void on_response_timer();
