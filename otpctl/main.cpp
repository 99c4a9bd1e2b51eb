// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// otpctl: read or write a run of OTP bytes.
#include "run.h"

int main(int argc, char **argv)
{
    return otpctl::run(argc, argv);
}
