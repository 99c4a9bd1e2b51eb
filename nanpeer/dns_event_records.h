// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// Event ids and event record layouts delivered by libsdcore to nanpeer.
//
// Records are byte layouts, not host structs: a receiver checks the length,
// copies the bytes into one of these packed records and reads the fields
// from the copy, so nothing is ever read unaligned from the library's buffer.
// Multi-byte fields are in host byte order (little-endian on the board).
#pragma once

#include <cstddef>
#include <cstdint>

enum dns_event_id : uint32_t {
    DNS_DISCOVERY_RESULT = 0,
    DNS_DATA_INDICATION = 1,
    DNS_DATA_CONFIRM = 2,
    DNS_DATA_ESTABLISHED = 3,
    DNS_BSTRAP_RESULT = 4,
    DNS_PASN_RESULT = 5,
    DNS_DATA_END = 8,
};

#pragma pack(push, 1)

struct dns_discovery_result_record {
    uint8_t subscribe_id;
    uint8_t publisher_id;
    uint8_t peer_nmi[6];
    uint8_t service_id[6];
    char service_name[256];
    char service_instance[64];
    uint8_t text_info[256];
    uint16_t text_info_len;
    uint8_t pmk_set;        // the peer's service is secured by a PMK or passphrase
    uint8_t pairing_enable; // the peer's service needs pairing
    uint8_t paired;         // both sides cached their NIK: verification, not setup
    uint8_t spare;
};
static_assert(sizeof(dns_discovery_result_record) == 596);
static_assert(offsetof(dns_discovery_result_record, peer_nmi) == 2);
static_assert(offsetof(dns_discovery_result_record, service_id) == 8);
static_assert(offsetof(dns_discovery_result_record, service_name) == 14);
static_assert(offsetof(dns_discovery_result_record, service_instance) == 270);
static_assert(offsetof(dns_discovery_result_record, text_info) == 334);
static_assert(offsetof(dns_discovery_result_record, text_info_len) == 590);
static_assert(offsetof(dns_discovery_result_record, pmk_set) == 592);
static_assert(offsetof(dns_discovery_result_record, pairing_enable) == 593);
static_assert(offsetof(dns_discovery_result_record, paired) == 594);

struct dns_data_indication_record {
    uint8_t type;
    uint8_t publish_id;
    uint8_t ndp_id;
    uint8_t mc_id;
    uint8_t initiator_ndi[6];
    uint8_t responder_ndi[6];
    uint8_t security; // non-zero: the data path is secured
    uint8_t ipv6[8];  // interface identifier, printed only
};
static_assert(sizeof(dns_data_indication_record) == 25);
static_assert(offsetof(dns_data_indication_record, initiator_ndi) == 4);
static_assert(offsetof(dns_data_indication_record, responder_ndi) == 10);
static_assert(offsetof(dns_data_indication_record, security) == 16);
static_assert(offsetof(dns_data_indication_record, ipv6) == 17);

struct dns_data_confirm_record {
    uint8_t type;
    uint8_t status; // 0: the data path is up
    uint8_t ndp_id;
    uint8_t mc_id;
    uint8_t nmsg_id;
    uint8_t initiator_ndi[6];
    uint8_t responder_ndi[6];
    char host_name[256];
    uint8_t spare;
    uint16_t port_number;
    uint8_t peer_ipv6[8]; // printed only
};
static_assert(sizeof(dns_data_confirm_record) == 284);
static_assert(offsetof(dns_data_confirm_record, initiator_ndi) == 5);
static_assert(offsetof(dns_data_confirm_record, responder_ndi) == 11);
static_assert(offsetof(dns_data_confirm_record, host_name) == 17);
static_assert(offsetof(dns_data_confirm_record, port_number) == 274);
static_assert(offsetof(dns_data_confirm_record, peer_ipv6) == 276);

// Only ndp_id is read; the other bytes belong to the library.
struct dns_data_established_record {
    uint8_t type;
    uint8_t status;
    uint8_t ndp_id;
    uint8_t reserved[6];
};
static_assert(sizeof(dns_data_established_record) == 9);
static_assert(offsetof(dns_data_established_record, ndp_id) == 2);

struct dns_data_end_record {
    uint8_t type;
    uint8_t reason;
    uint8_t ndp_id;
};
static_assert(sizeof(dns_data_end_record) == 3);

struct dns_bstrap_result_record {
    uint8_t status;
    uint8_t peer_id;
    uint8_t own_id;
    uint8_t role; // 1: this side is the subscriber and initiates PASN
    uint16_t bstrap_method;
    uint8_t peer_nmi[6];
};
static_assert(sizeof(dns_bstrap_result_record) == 12);
static_assert(offsetof(dns_bstrap_result_record, bstrap_method) == 4);
static_assert(offsetof(dns_bstrap_result_record, peer_nmi) == 6);

struct dns_pasn_result_record {
    uint8_t status;     // 4: success
    uint8_t local_role; // 1: initiator
    uint8_t pairing_type;
    uint8_t remote_nik_caching;
    uint8_t peer_nmi[6];
};
static_assert(sizeof(dns_pasn_result_record) == 10);
static_assert(offsetof(dns_pasn_result_record, peer_nmi) == 4);

#pragma pack(pop)

// Status values the handlers test.
inline constexpr uint8_t DNS_PASN_STATUS_SUCCESS = 4;
