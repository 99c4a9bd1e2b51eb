// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// Byte layout of the service table that nanpeer shares with libsdcore.
//
// libsdcore receives addresses into these records (byte 4 of a slot, its
// pairing_info and its data_path) and reads and writes them in place, so the
// layout is an ABI fixed to the byte. On the board (32-bit ARM) pointers are
// 4 bytes and every offset below is checked at compile time. On a 64-bit
// host the three pointer fields are 8 bytes wide and everything after them
// moves; the only libsdcore that runs there is our own (the simulator and the
// test double), compiled against this same header, so both sides agree.
//
// The records are packed. Members are accessed through the packed record
// (the compiler then emits alignment-safe loads and stores); never take the
// address of a multi-byte member.
#pragma once

#include <cstddef>
#include <cstdint>

// State of a slot's exchange with its peer. Values 4 to 8 are never used.
enum class nan_status : uint8_t {
    NAN_IDLE = 0,
    NAN_DATA_REQ_SENT = 1,
    NAN_DATA_RSP_SENDING = 2,
    NAN_DATA_RSP_SENT = 3,
    NAN_DATA_CONFIRMED = 9,
    NAN_BSTRAP_REQ_SENT = 10,
    NAN_BSTRAP_DONE = 11,
    NAN_PASN_STARTED = 12,
    NAN_PASN_DONE = 13,
};

// sec_type: the library's numbering of the security choices.
enum class sec_type : uint8_t {
    open = 0,
    pmk = 1,
    passphrase = 2,
    pairing = 3
};

// security: the configuration's numbering of the same choices.
enum class security_type : uint8_t {
    open = 0,
    pmk = 1,
    pairing = 2,
    passphrase = 3,
    unknown = 4
};

#pragma pack(push, 1)

struct pairing_info_record {
    uint8_t local_role; // 1 initiator, 2 responder
    uint8_t peer_nmi[6];
    uint8_t bstrap_method;
    uint8_t pairing_type; // 1 pairing setup, 2 pairing verification
    uint8_t bstrap_type;
    uint8_t nik_caching;
    uint8_t remote_nik_caching;
    char pw[17];
    uint8_t pw_len;
    uint8_t gtk_enable;
    uint8_t spare[3];
};

struct data_path_record {
    uint8_t ndp_id; // 0: no data path
    uint8_t initiator_ndi[6];
    uint8_t peer_nmi[6];
    uint8_t reserved1[6]; // the library's own
    uint8_t spare1[2];
    uint8_t reserved2[6]; // the library's own
    uint8_t spare2[5];
    void *service; // byte 4 of the same slot
    char hostname[256];
    uint16_t port_number;
    uint8_t pmk[32];
    char passphrase[17];
    uint8_t spare3;
    uint16_t passphrase_len;
    uint8_t sec_type;
    uint8_t spare4;
};

struct nan_data_mgnt {
    uint8_t role; // 0 publisher, 1 subscriber
    ::nan_status nan_status;
    uint8_t retry; // response-timer ticks since the timer was last armed
    uint8_t spare1;
    uint8_t subscribe_id;
    uint8_t publish_id;
    uint8_t self_mac[6]; // written by the library only
    uint8_t peer_nmi[6];
    char service_name[256];
    char service_instance[64];
    uint8_t spare2[6];
    uint8_t *text_info; // heap, text_info_len bytes, owned by the slot
    uint16_t text_info_len;
    uint8_t sec_type;
    uint8_t pmk[32];
    char passphrase[17];
    uint16_t passphrase_len;
    pairing_info_record pairing_info;
    data_path_record data_path;
};

struct dns_record {
    uint8_t local_id;
    char service_name[256];
    char name_of_service_instance[64];
    uint8_t spare1;
    uint16_t textinfo_len;
    uint8_t *textinfo; // heap, textinfo_len bytes, owned by the slot
    char hostname[256];
    uint16_t port_number;
    char start_cmd[1024];
    char end_cmd[1024];
    uint8_t security;
    char pmk_key[33];
    uint16_t bstrap_method;
    char passphrase[17];
    char pairing_passphrase[17];
    uint8_t nik_caching;
    uint8_t gtk_enable;
    uint8_t spare2[2];
};

struct ServiceSlot {
    nan_data_mgnt mgnt;
    dns_record record;
};

// The whole table: the -t value, then the two slots.
struct service_table {
    uint32_t timeout;
    ServiceSlot slot[2];
};

#pragma pack(pop)

// Each pointer field is 4 bytes on the board; a wider pointer adds its extra
// bytes to every size and to every offset after it.
inline constexpr std::size_t kPointerGrowth = sizeof(void *) - 4;

static_assert(sizeof(pairing_info_record) == 34);
static_assert(sizeof(data_path_record) == 348 + kPointerGrowth);
static_assert(sizeof(nan_data_mgnt) == 784 + 2 * kPointerGrowth);
static_assert(sizeof(dns_record) == 2708 + kPointerGrowth);
static_assert(sizeof(ServiceSlot) == 3492 + 3 * kPointerGrowth);
static_assert(sizeof(service_table) == 6988 + 6 * kPointerGrowth);

// The offsets that the library relies on are those of the 32-bit board;
// check every one of them there.
#if UINTPTR_MAX == 0xffffffffu
static_assert(offsetof(nan_data_mgnt, role) == 0);
static_assert(offsetof(nan_data_mgnt, nan_status) == 1);
static_assert(offsetof(nan_data_mgnt, retry) == 2);
static_assert(offsetof(nan_data_mgnt, subscribe_id) == 4);
static_assert(offsetof(nan_data_mgnt, publish_id) == 5);
static_assert(offsetof(nan_data_mgnt, self_mac) == 6);
static_assert(offsetof(nan_data_mgnt, peer_nmi) == 12);
static_assert(offsetof(nan_data_mgnt, service_name) == 18);
static_assert(offsetof(nan_data_mgnt, service_instance) == 274);
static_assert(offsetof(nan_data_mgnt, text_info) == 344);
static_assert(offsetof(nan_data_mgnt, text_info_len) == 348);
static_assert(offsetof(nan_data_mgnt, sec_type) == 350);
static_assert(offsetof(nan_data_mgnt, pmk) == 351);
static_assert(offsetof(nan_data_mgnt, passphrase) == 383);
static_assert(offsetof(nan_data_mgnt, passphrase_len) == 400);
static_assert(offsetof(nan_data_mgnt, pairing_info) == 402);
static_assert(offsetof(nan_data_mgnt, pairing_info.local_role) == 402);
static_assert(offsetof(nan_data_mgnt, pairing_info.peer_nmi) == 403);
static_assert(offsetof(nan_data_mgnt, pairing_info.bstrap_method) == 409);
static_assert(offsetof(nan_data_mgnt, pairing_info.pairing_type) == 410);
static_assert(offsetof(nan_data_mgnt, pairing_info.bstrap_type) == 411);
static_assert(offsetof(nan_data_mgnt, pairing_info.nik_caching) == 412);
static_assert(offsetof(nan_data_mgnt, pairing_info.remote_nik_caching) == 413);
static_assert(offsetof(nan_data_mgnt, pairing_info.pw) == 414);
static_assert(offsetof(nan_data_mgnt, pairing_info.pw_len) == 431);
static_assert(offsetof(nan_data_mgnt, pairing_info.gtk_enable) == 432);
static_assert(offsetof(nan_data_mgnt, data_path) == 436);
static_assert(offsetof(nan_data_mgnt, data_path.ndp_id) == 436);
static_assert(offsetof(nan_data_mgnt, data_path.initiator_ndi) == 437);
static_assert(offsetof(nan_data_mgnt, data_path.peer_nmi) == 443);
static_assert(offsetof(nan_data_mgnt, data_path.reserved1) == 449);
static_assert(offsetof(nan_data_mgnt, data_path.reserved2) == 457);
static_assert(offsetof(nan_data_mgnt, data_path.service) == 468);
static_assert(offsetof(nan_data_mgnt, data_path.hostname) == 472);
static_assert(offsetof(nan_data_mgnt, data_path.port_number) == 728);
static_assert(offsetof(nan_data_mgnt, data_path.pmk) == 730);
static_assert(offsetof(nan_data_mgnt, data_path.passphrase) == 762);
static_assert(offsetof(nan_data_mgnt, data_path.passphrase_len) == 780);
static_assert(offsetof(nan_data_mgnt, data_path.sec_type) == 782);

static_assert(offsetof(ServiceSlot, record) == 784);
static_assert(offsetof(dns_record, local_id) == 0);
static_assert(offsetof(dns_record, service_name) == 1);
static_assert(offsetof(dns_record, name_of_service_instance) == 257);
static_assert(offsetof(dns_record, textinfo_len) == 322);
static_assert(offsetof(dns_record, textinfo) == 324);
static_assert(offsetof(dns_record, hostname) == 328);
static_assert(offsetof(dns_record, port_number) == 584);
static_assert(offsetof(dns_record, start_cmd) == 586);
static_assert(offsetof(dns_record, end_cmd) == 1610);
static_assert(offsetof(dns_record, security) == 2634);
static_assert(offsetof(dns_record, pmk_key) == 2635);
static_assert(offsetof(dns_record, bstrap_method) == 2668);
static_assert(offsetof(dns_record, passphrase) == 2670);
static_assert(offsetof(dns_record, pairing_passphrase) == 2687);
static_assert(offsetof(dns_record, nik_caching) == 2704);
static_assert(offsetof(dns_record, gtk_enable) == 2705);
static_assert(offsetof(ServiceSlot, record) + offsetof(dns_record, start_cmd) == 1370);
static_assert(offsetof(ServiceSlot, record) + offsetof(dns_record, end_cmd) == 2394);

static_assert(offsetof(service_table, timeout) == 0);
static_assert(offsetof(service_table, slot) == 4);
static_assert(offsetof(service_table, slot[1]) == 3496);
#endif

// The library is handed `service` = byte 4 of a slot; it finds the slot again
// by stepping back over role, nan_status, retry and the spare byte.
inline constexpr std::size_t kServiceOffsetInSlot = offsetof(nan_data_mgnt, subscribe_id);
static_assert(kServiceOffsetInSlot == 4);
