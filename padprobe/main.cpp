// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// padprobe: serves the host's touch-tuning requests on a UART.
#include "padprobe/app.h"

int main(int argc, char **argv)
{
    return padprobe::run(argc, argv);
}
