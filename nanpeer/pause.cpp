// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// A pause as a wait on the stop descriptor alone. In a file of its own, so
// that the fuzz targets can put pauses that take no time in its place.
#include "pause.h"

#include "stopping.h"

bool pause_unless_stopping(unsigned seconds)
{
    return wait_unless_stopping(-1, static_cast<int>(seconds) * 1000) == 0;
}
