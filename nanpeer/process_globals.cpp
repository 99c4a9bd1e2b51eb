// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// Definitions of the process-wide values.
#include "process_globals.h"

namespace {
char nan_intf_name[] = "nan0";
} // namespace

int32_t log_level = 5;
uint32_t service_count = 1;
std::atomic<int32_t> stop_flag{0};

extern "C" {
char *nan_intf = nan_intf_name;
char *qvx_iw = nullptr;
char *qvx_nan_r3 = nullptr;
}
