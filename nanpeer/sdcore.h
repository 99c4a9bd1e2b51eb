// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// The calls of libsdcore, the board's NAN service library, as nanpeer uses them.
//
// This header is the whole contract between nanpeer and the library: the
// board's library, the test double and the simulated library all implement
// exactly these declarations, so any of them can be the libsdcore.so that
// the loader finds. Every call returns 0 on success. Pointers handed over
// point into nanpeer's static service table (service_table.h) or its
// tool_paths block and stay valid until dns_stop_service has returned.
#pragma once

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// Delivered from the library's own thread, or from inside a dns_* call on
// the caller's thread. The record is only valid during the call; its layout
// is given by the event id (dns_event_records.h).
//
// nanpeer handles events, timer ticks and shutdown under one lock and calls
// the library with that lock held. An event delivered from inside a call is
// copied and handled once the call, and the handler step that made it, are
// over. Rules a library keeps:
// - No call other than dns_stop_service waits for the event thread, since
//   that thread may be waiting for the lock the caller holds.
// - dns_stop_service may wait for the event thread; nanpeer calls it without
//   the lock, and drops every event once it has begun to stop. The thread
//   may then still be inside the callback, running a service's command that
//   has not ended, so the wait should be bounded.
typedef void (*dns_evt_cb)(uint32_t event_id, void *record, int length);

int dns_register_evt_cb(dns_evt_cb cb);
// service: byte 4 of a ServiceSlot (its subscribe_id). flag: the -b option.
int dns_publish(uint16_t radio, void *tool_paths, void *service, int flag);
int dns_subscribe(uint16_t radio, void *tool_paths, void *service, int flag);
int dns_bstrap_start(void *service);
int dns_pairing_start(void *pairing_info);
int dns_datapath_req(void *data_path);
int dns_datapath_rsp(void *data_path);
int dns_datapath_end(uint8_t ndp_id);
int dns_stop_service(uint16_t radio);

#ifdef __cplusplus
}
#endif
