// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// nanpeer: one side of a NAN service exchange.
#include "nanpeer.h"

int main(int argc, char **argv)
{
    return run(argc, argv);
}
