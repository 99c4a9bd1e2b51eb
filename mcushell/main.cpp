// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// mcushell: send console command lines to the companion core.
#include "run.h"

int main(int argc, char **argv)
{
    return mcushell::run(argc, argv);
}
