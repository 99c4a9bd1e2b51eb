// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// The MBias auto-tune: walks a channel's MBias until its average nears a target.
#pragma once

#include <cstdint>

namespace padprobe {

// The walk gives up after this many settings; a reading that jumps across
// the tolerance band between two neighbouring settings would otherwise
// step back and forth between them for ever.
inline constexpr unsigned kTuneMaxSteps = 128;
// The result after giving up: above 63 like every failure, and apart from
// 64 (ran past the top) and 255 (ran below 0).
inline constexpr uint8_t kTuneGaveUp = 128;

// Returns the MBias setting found (0 to 63), or a value above 63 when the
// tune failed. Runs for up to kTuneMaxSteps settling delays.
uint8_t ctc_tune_mbias(uint8_t channel, uint32_t target, uint32_t tolerance);

} // namespace padprobe
