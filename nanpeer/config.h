// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// The configuration file: the two passes that read it, the parsers of its
// sections and values, and the preparation of a slot from what was read.
// Parsers return 1 for success and 0 for failure, having printed why.
#pragma once

#include <cstddef>
#include <cstdint>

#include "service_slot.h"
#include "tool_paths.h"

struct json_object;

// Six lower-case hex pairs with colons, and the terminator.
inline constexpr std::size_t kMacTextSize = 18;

inline constexpr int kRolePublish = 0;
inline constexpr int kRoleSubscribe = 1;
inline constexpr int kRoleUnknown = 2;

// Pass 1: tool paths (sets qvx_iw, qvx_nan_r3) and the MAC text.
int parse_basic_config(const char *path, tool_paths &paths, char (&mac_text)[kMacTextSize]);
// Pass 2: the service sections into the dns_record of each used slot.
int parse_dns_sd_record(const char *path, int role);

int parse_bin_path(json_object *bin_path, tool_paths &paths);
int parse_mac_addr(json_object *basic, char (&mac_text)[kMacTextSize]);
int parse_publish_record(json_object *section, dns_record &record);
int parse_subscribe_record(json_object *section, dns_record &record);

// Fills the run-time half of a slot from its configured half.
void prepare_service_slot(int role, dns_record &record, nan_data_mgnt &mgnt);

// TXT text ("3 abc|0x2 de") to length-prefixed strings; returns the count.
uint16_t cvert_text_info(const char *text, uint8_t *out, std::size_t capacity);
// "open" 0, "pmk" 1, "pairing" 2, "passphrase" or "pw" 3, else 4.
security_type get_security_type(const char *text);
// "publish" 0, "subscribe" 1, else 2.
int get_role(const char *text);
// The OR of the bootstrapping method bits named in the text, for the role.
uint16_t get_bstrap_method(const char *text, int role);
