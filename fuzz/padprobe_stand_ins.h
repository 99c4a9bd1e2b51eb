// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// What padprobe's fuzz target puts in place of the controller's attribute
// directory and of the monitor's interval timer.
#pragma once

namespace padprobe_fuzz {

// Fills a fresh attribute tree in /dev/shm (once) or resets every
// attribute to its first value (each later call); the attribute root
// points there.
void reset_attribute_tree();

// The interval timer stand-in: a tick is posted when the monitor starts and
// whenever this is called while it runs, never from a signal.
void post_monitor_tick();

// While set on a thread, sleeping there takes no time (the MBias tune
// settles between steps).
void skip_sleeps(bool skip);

} // namespace padprobe_fuzz
