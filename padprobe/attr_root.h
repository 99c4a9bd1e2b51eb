// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// Where the controller's attribute directories live. The tool links the
// board's path; the unit tests link a definition that points into a
// temporary directory.
#pragma once

namespace padprobe {

// The directory that holds common_config, etc_config and chx_config.
const char *attr_root();

} // namespace padprobe
