// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// The nvmem views of otpctl, answered from an in-memory image that checks
// every transfer against the command line that asked for it.
#pragma once

#include "fuzz_support.h"

// The command line of the run about to start; the image is cleared.
void nvmem_stand_in_begin(const FuzzCommandLine &line);
