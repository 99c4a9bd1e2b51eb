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
// nanpeer's callback only copies the event into a queue and returns, on
// any thread, inside a dns_* call too; one thread of nanpeer then handles
// the events one at a time and makes the calls. So a library may wait in
// any call for its event thread, and dns_stop_service may wait for it to
// finish delivering. Once nanpeer has begun to stop, it drops every event.
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
