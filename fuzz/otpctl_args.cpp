// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// otpctl's command line, any words in any number, through the whole run
// against the checking stand-in for the nvmem views.
#include "fuzz_support.h"
#include "otpctl_nvmem_stand_in.h"
#include "run.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // Up to six words: a fifth and sixth must be ignored.
    const FuzzCommandLine line("otpctl", data, size, 6);
    nvmem_stand_in_begin(line);
    const int status = otpctl::run(line.argc(), line.argv());
    fuzz_require(status >= 0 && status <= 255, "an exit status outside 0..255");
    return 0;
}
