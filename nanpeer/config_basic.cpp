// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// Configuration pass 1: the tool paths and the MAC address.
#include <cstring>

#include "config.h"
#include "json_access.h"
#include "log.h"
#include "process_globals.h"

namespace {

struct tool_path_key {
    const char *object;
    const char *key;
    char (tool_paths::*field)[kToolPathSize];
};

// In the order of the tool_paths block, which is also the order printed.
constexpr tool_path_key kToolPathKeys[] = {
    {"iw", "iw_path", &tool_paths::iw_path},
    {"nan_r3", "nan_r3_path", &tool_paths::nan_r3_path},
    {"wpa_supplicant", "wpa_supplicant_path", &tool_paths::wpa_supplicant_path},
    {"wpa_supplicant", "wpa_supplicant_conf_path", &tool_paths::wpa_supplicant_conf_path},
    {"wpa_supplicant", "wpa_supplicant_log_file", &tool_paths::wpa_supplicant_log_file},
    {"wpa_supplicant", "wpa_supplicant_dbg_para", &tool_paths::wpa_supplicant_dbg_para},
};

} // namespace

int parse_bin_path(json_object *bin_path, tool_paths &paths)
{
    for (const tool_path_key &entry : kToolPathKeys) {
        json_object *tool = required_member(bin_path, entry.object);
        if (tool == nullptr) {
            return 0;
        }
        json_object *value = required_member(tool, entry.key);
        if (value == nullptr ||
            !copy_text_member(paths.*entry.field, kToolPathSize, value, entry.key)) {
            return 0;
        }
    }
    qvx_iw = paths.iw_path;
    qvx_nan_r3 = paths.nan_r3_path;
    for (const tool_path_key &entry : kToolPathKeys) {
        nan_log(log_severity::info, "%s: %s \n", entry.key, paths.*entry.field);
    }
    return 1;
}

int parse_mac_addr(json_object *basic, char (&mac_text)[kMacTextSize])
{
    json_object *value = required_member(basic, "mac_addr");
    if (value == nullptr) {
        return 0;
    }
    const char *text = json_object_get_string(value);
    if (std::strlen(text) != kMacTextSize - 1) {
        nan_log(log_severity::info, "wrong mac address %s \n", text);
        return 0;
    }
    std::memcpy(mac_text, text, kMacTextSize);
    nan_log(log_severity::info, "mac_addr : %s \n", mac_text);
    return 1;
}

int parse_basic_config(const char *path, tool_paths &paths, char (&mac_text)[kMacTextSize])
{
    nan_log(log_severity::info, "filename: %s \n", printable_path(path));
    const json_document document = read_json_file(path);
    if (!document) {
        nan_log(log_severity::info, "Cannot open %s\n", printable_path(path));
        return 0;
    }
    json_object *bin_path = json_member(document.get(), "bin_path");
    if (bin_path == nullptr) {
        nan_log(log_severity::info, "Cannot find bin path \n");
        return 0;
    }
    if (!parse_bin_path(bin_path, paths)) {
        return 0;
    }
    json_object *basic = json_member(document.get(), "basic");
    if (basic == nullptr) {
        nan_log(log_severity::info, "Cannot find basic \n");
        return 0;
    }
    // A wrong address must stop start-up: an empty MAC text would match the
    // first word of the iw listing and pick an arbitrary radio.
    return parse_mac_addr(basic, mac_text);
}
