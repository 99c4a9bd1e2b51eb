// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// The board's attribute root: where the touch controller's driver publishes its files.
#include "padprobe/attr_root.h"

namespace padprobe {

const char *attr_root()
{
    return "/sys/devices/platform/ocp/42010000.padprobe";
}

} // namespace padprobe
