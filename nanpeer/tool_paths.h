// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// The tool_paths block: six path texts handed to libsdcore with every
// publish and subscribe call, so its layout is read by the library.
#pragma once

#include <cstddef>

inline constexpr std::size_t kToolPathSize = 256;

struct tool_paths {
    char iw_path[kToolPathSize];
    char nan_r3_path[kToolPathSize];
    char wpa_supplicant_path[kToolPathSize];
    char wpa_supplicant_conf_path[kToolPathSize];
    char wpa_supplicant_log_file[kToolPathSize];
    char wpa_supplicant_dbg_para[kToolPathSize];
};
static_assert(sizeof(tool_paths) == 1536);
static_assert(offsetof(tool_paths, iw_path) == 0);
static_assert(offsetof(tool_paths, nan_r3_path) == 256);
static_assert(offsetof(tool_paths, wpa_supplicant_path) == 512);
static_assert(offsetof(tool_paths, wpa_supplicant_conf_path) == 768);
static_assert(offsetof(tool_paths, wpa_supplicant_log_file) == 1024);
static_assert(offsetof(tool_paths, wpa_supplicant_dbg_para) == 1280);
