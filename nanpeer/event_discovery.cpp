// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// DNS_DISCOVERY_RESULT: saving the peer's service and starting the exchange
// the peer's security asks for.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "events.h"
#include "link_setup.h"
#include "log.h"
#include "process_globals.h"
#include "response_timer.h"
#include "sdcore.h"
#include "service_table.h"

namespace {

constexpr uint16_t kMostTextInfo = sizeof(dns_discovery_result_record::text_info);

// The record can claim more text information than it carries.
uint16_t text_info_length(const dns_discovery_result_record &record)
{
    const uint16_t claimed = record.text_info_len;
    return claimed < kMostTextInfo ? claimed : kMostTextInfo;
}

// Slot 0 once the library has filled in our own address; else the slot that
// publishes the id the peer answered.
ServiceSlot *discovery_slot(const dns_discovery_result_record &record)
{
    if (!is_array_empty(services.slot[0].mgnt.self_mac, sizeof services.slot[0].mgnt.self_mac)) {
        return &services.slot[0];
    }
    if (services.slot[0].mgnt.publish_id == record.publisher_id) {
        return &services.slot[0];
    }
    if (service_count == 2 && services.slot[1].mgnt.publish_id == record.publisher_id) {
        return &services.slot[1];
    }
    return nullptr;
}

// False when nanpeer began to stop while the ip commands ran.
bool set_own_address(const nan_data_mgnt &mgnt)
{
    char mac_text[kMacTextBufferSize];
    format_mac_text(mgnt.self_mac, mac_text);
    char address[kIpv6TextSize];
    return !ipv6_link_local(mac_text, address) || set_self_ipv6(nan_intf, mac_text, address);
}

void log_security_mismatch(const nan_data_mgnt &mgnt)
{
    nan_log(log_severity::info, "Security is mismatched, sec_type[%d]\n", mgnt.sec_type);
}

void start_pairing(nan_data_mgnt &mgnt, const dns_discovery_result_record &record)
{
    mgnt.data_path.sec_type = static_cast<uint8_t>(sec_type::pairing);
    prepare_pairing_info_as_initiator(mgnt);
    if (record.paired != 0) {
        nan_log(log_severity::info, "Pairing verification start\n");
        mgnt.nan_status = nan_status::NAN_PASN_STARTED;
        mgnt.pairing_info.pairing_type = 2;
        if (dns_pairing_start(&mgnt.pairing_info) == 0) {
            arm_response_timer(mgnt);
        }
        return;
    }
    nan_log(log_severity::info, "Pairing setup start\n");
    mgnt.nan_status = nan_status::NAN_BSTRAP_REQ_SENT;
    mgnt.pairing_info.pairing_type = 1;
    if (dns_bstrap_start(service_pointer(mgnt)) == 0) {
        nan_log(log_severity::info, "send bootstrapping request success!!!\n");
        arm_response_timer(mgnt);
    }
}

// An open data path arms no timer: the peer answers or the slot waits.
void request_data_path(nan_data_mgnt &mgnt, bool secured)
{
    mgnt.data_path.sec_type = mgnt.sec_type;
    if (dns_datapath_req(&mgnt.data_path) != 0) {
        return;
    }
    nan_log(log_severity::info, "send data path success!!!\n");
    mgnt.nan_status = nan_status::NAN_DATA_REQ_SENT;
    if (secured) {
        arm_response_timer(mgnt);
    } else {
        mgnt.retry = 0;
    }
}

void start_exchange(nan_data_mgnt &mgnt, const dns_discovery_result_record &record)
{
    const auto type = static_cast<sec_type>(mgnt.sec_type);
    if (record.pairing_enable != 0) {
        if (type != sec_type::pairing) {
            log_security_mismatch(mgnt);
            return;
        }
        start_pairing(mgnt, record);
    } else if (record.pmk_set != 0) {
        if (type != sec_type::pmk && type != sec_type::passphrase) {
            log_security_mismatch(mgnt);
            return;
        }
        request_data_path(mgnt, true);
    } else {
        if (type != sec_type::open) {
            log_security_mismatch(mgnt);
            return;
        }
        request_data_path(mgnt, false);
    }
}

} // namespace

void parse_discovery_result(nan_data_mgnt &mgnt, const dns_discovery_result_record &record)
{
    nan_log(log_severity::info, "%s\n", __func__);
    nan_log(log_severity::info, "subscribe_id(%d), publisher_id(%d)\n", record.subscribe_id,
            record.publisher_id);
    const uint8_t *nmi = record.peer_nmi;
    nan_log(log_severity::info, "peer_nmi(%02x:%02x:%02x:%02x:%02x:%02x)\n", nmi[0], nmi[1], nmi[2],
            nmi[3], nmi[4], nmi[5]);
    const uint8_t *id = record.service_id;
    nan_log(log_severity::info, "service_id(%02x:%02x:%02x:%02x:%02x:%02x)\n", id[0], id[1], id[2],
            id[3], id[4], id[5]);
    // The peer's texts need not be terminated; never read past their fields.
    nan_log(log_severity::info, "service_name(%.*s), service_instance(%.*s)\n",
            static_cast<int>(sizeof record.service_name), record.service_name,
            static_cast<int>(sizeof record.service_instance), record.service_instance);
    const uint16_t text_length = text_info_length(record);
    if (record.text_info_len != 0) {
        nan_log(log_severity::info, "text_info_len(%d)\n", record.text_info_len);
        nan_log(log_severity::info, "text_info ");
        for (uint16_t index = 0; index < text_length; ++index) {
            std::printf("%02x ", record.text_info[index]);
        }
        nan_log(log_severity::info, "\n");
    }
    nan_log(log_severity::info, "pairing_enable(%d), paired(%d)\n", record.pairing_enable,
            record.paired);

    mgnt.publish_id = record.publisher_id;
    std::memcpy(mgnt.peer_nmi, record.peer_nmi, sizeof mgnt.peer_nmi);
    std::memcpy(mgnt.service_name, record.service_name, sizeof mgnt.service_name);
    mgnt.service_name[sizeof mgnt.service_name - 1] = '\0';
    std::memcpy(mgnt.service_instance, record.service_instance, sizeof mgnt.service_instance);
    mgnt.service_instance[sizeof mgnt.service_instance - 1] = '\0';
    if (text_length != 0) {
        auto *copy = static_cast<uint8_t *>(std::calloc(text_length, 1));
        if (copy == nullptr) {
            nan_log(log_severity::info, "memory alloc fail!\n");
            return;
        }
        std::memcpy(copy, record.text_info, text_length);
        mgnt.text_info = copy;
        mgnt.text_info_len = text_length;
    }
}

void dns_evt_discovery_result(const void *record, int length)
{
    dns_discovery_result_record result{};
    if (!read_event_record(record, length, result)) {
        nan_log(log_severity::info, "info or len(%d) error\n", length);
        return;
    }
    ServiceSlot *slot = discovery_slot(result);
    if (slot == nullptr) {
        nan_log(log_severity::info, "%s, publish id is mismatch!\n", __func__);
        return;
    }
    nan_data_mgnt &mgnt = slot->mgnt;
    nan_log(log_severity::info, "%s, nan_status[%d]\n", __func__,
            static_cast<int>(mgnt.nan_status));
    // The peer's service is saved once: the first record with text
    // information fixes it; a peer without any is copied again each time.
    if (mgnt.text_info_len == 0) {
        parse_discovery_result(mgnt, result);
    } else {
        nan_log(log_severity::debug, "already save a service, skip\n");
    }
    if (mgnt.nan_status != nan_status::NAN_IDLE) {
        return;
    }
    mgnt.data_path.ndp_id = 1;
    std::memcpy(mgnt.data_path.peer_nmi, mgnt.peer_nmi, sizeof mgnt.data_path.peer_nmi);
    // Stopping: no request is sent any more.
    if (!set_own_address(mgnt)) {
        return;
    }
    nan_log(log_severity::info, "peer's security: pairing_enable[%d], pmk_set[%d], paired[%d]\n",
            result.pairing_enable, result.pmk_set, result.paired);
    start_exchange(mgnt, result);
}
