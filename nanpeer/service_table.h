// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// The static service table and the operations on its slots.
#pragma once

#include <cstdint>

#include "service_slot.h"

// The one table of the process: the -t value and the two slots. libsdcore
// holds addresses into it, so it never moves.
extern service_table services;

const char *to_string(nan_status status);

// The slot that holds a run-time record (the record is the slot's first part).
ServiceSlot &slot_of(nan_data_mgnt &mgnt);
// Byte 4 of a slot: what dns_publish, dns_subscribe and dns_bstrap_start get.
uint8_t *service_pointer(nan_data_mgnt &mgnt);

// Lookups over the used slots (slot 0, and slot 1 only with two services);
// each returns the first match or nullptr, printing its own not-found line.
nan_data_mgnt *get_nan_data_mgnt_by_ndp_id(uint8_t ndp_id);
dns_record *get_dns_recored_by_ndp_id(uint8_t ndp_id);
nan_data_mgnt *get_nan_data_mgnt_by_pub_id(uint8_t publish_id);
nan_data_mgnt *get_nan_data_mgnt_by_sub_id(uint8_t subscribe_id);
nan_data_mgnt *get_nan_data_mgnt_by_pairing();

void prepare_pairing_info_as_initiator(nan_data_mgnt &mgnt);
// Both accept nullptr and then do nothing.
void clear_pairing_info(nan_data_mgnt *mgnt);
void clear_data_path(nan_data_mgnt *mgnt);

extern "C" {
// 1 when the first min(length, 512) bytes are all zero (length 0 included).
int is_array_empty(const void *bytes, unsigned length);
}
