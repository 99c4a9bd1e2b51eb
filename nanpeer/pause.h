// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// The pauses of event handling, which end early when nanpeer stops.
#pragma once

// Waits `seconds` unless shutdown begins first. Returns true when the whole
// pause has passed, false when nanpeer is stopping. Call it with the event
// lock let go.
bool pause_unless_stopping(unsigned seconds);

// Ends the pauses under way; called by shutdown once stop_flag is set, so
// every later pause returns at once as well.
void wake_pauses();
