// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// The response timer: one periodic timer that bounds each wait for the peer.
#pragma once

#include <csignal>

#include "service_slot.h"

// The timer's signal. It stays blocked in every thread (the tick thread
// takes it with sigwaitinfo); commands run through the shell start with no
// signal blocked.
inline constexpr int kResponseTimerSignal = SIGUSR1;
// A set holding just that signal.
sigset_t response_timer_signal_set();

// Starts the thread that receives the timer's ticks (start-up, before any
// event can arm the timer). Returns 0, or -errno.
int response_timer_thread_start();
// Ends that thread and removes the timer (shutdown, after dns_stop_service).
void response_timer_thread_stop();

// Event handlers call these with the event lock held.
// retry := 0, then (re)arm: first tick 5 s from now, then one every 5 s.
void arm_response_timer(nan_data_mgnt &mgnt);
// (Re)arms the timer; the one timer is reused, never a second one made.
void start_response_timer();
// No tick comes until the next arming. Does nothing before the first arming.
void delete_response_timer();

// Whether ticks are due, that is armed and not deleted since. Takes the
// event lock.
bool response_timer_armed();

// One tick: counts up every used slot's retry and gives up the slots that
// still wait on the fourth tick. Takes the event lock.
void on_response_timer(int signal_number);
