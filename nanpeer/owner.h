// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// The owner thread: the one thread that reads and writes the service table.
//
// It handles libsdcore's events (queued by the callback, event_ring.h) and
// the response timer's ticks one at a time, in the order they arrived, and
// at the end runs shutdown. A handler that waits (a shell command, a pause)
// holds up the others; the waits end early once nanpeer is stopping
// (stopping.h), and the handler then only records what has happened.
#pragma once

#include <cstdint>

// Start-up, before the callback is registered: the stop descriptor, the
// ring's wake descriptor and the thread. The thread handles nothing until
// owner_begin(). 0, or -errno.
int owner_start();
// Once the stop handlers are installed: events queued meanwhile (those the
// library reported from inside dns_publish or dns_subscribe) and all later
// ones are handled from now on.
void owner_begin();
// After the wait: the owner runs shutdown (lifecycle.h) as soon as the
// handler under way has returned, then ends. Returns when it has.
void owner_shut_down(uint16_t radio);

// On the owner: handles every queued event and every tick that has fallen
// due, oldest first, until none is left. Once stop_flag is set, ticks and
// queued events are dropped instead, except a queued data end, which is
// still handled (the peer ended that data path before the stop).
void handle_pending_messages();
