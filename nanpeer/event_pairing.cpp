// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// Pairing events: the bootstrapping result and the PASN result.
#include <cstring>

#include "events.h"
#include "log.h"
#include "response_timer.h"
#include "sdcore.h"
#include "service_table.h"

namespace {

constexpr uint8_t kInitiatorRole = 1;
constexpr uint8_t kResponderRole = 2;
constexpr uint8_t kPairingSetup = 1;

} // namespace

void dns_evt_bstrap_result(const void *record, int length)
{
    dns_bstrap_result_record result{};
    if (!read_event_record(record, length, result)) {
        nan_log(log_severity::info, "info or len(%d) error!\n", length);
        return;
    }
    nan_data_mgnt *mgnt = nullptr;
    if (result.role == kInitiatorRole) {
        mgnt = get_nan_data_mgnt_by_sub_id(result.own_id);
    } else {
        mgnt = get_nan_data_mgnt_by_pub_id(result.own_id);
        if (mgnt != nullptr) {
            mgnt->subscribe_id = result.peer_id;
        }
    }
    if (mgnt == nullptr) {
        return;
    }
    const uint16_t method = result.bstrap_method;
    // A method agreed on counts whatever the status says.
    if (method == 0 && result.status != 0) {
        nan_log(log_severity::info, "%s, fail! status[%d]\n", __func__, result.status);
        return;
    }
    delete_response_timer();
    nan_log(log_severity::info, "%s, bstrap_method[0x%x]\n", __func__,
            static_cast<unsigned>(method));

    pairing_info_record &pairing = mgnt->pairing_info;
    mgnt->nan_status = nan_status::NAN_BSTRAP_DONE;
    std::memcpy(pairing.peer_nmi, result.peer_nmi, sizeof pairing.peer_nmi);
    pairing.pairing_type = kPairingSetup;
    pairing.bstrap_type = static_cast<uint8_t>((method & 0x1u) + 1);
    if (result.role == kInitiatorRole) {
        if (dns_pairing_start(&mgnt->pairing_info) != 0) {
            return;
        }
        mgnt->nan_status = nan_status::NAN_PASN_STARTED;
        arm_response_timer(*mgnt);
        return;
    }
    // The responder makes no call: it waits for the peer's PASN.
    pairing.local_role = kResponderRole;
    mgnt->nan_status = nan_status::NAN_PASN_STARTED;
    arm_response_timer(*mgnt);
}

void dns_evt_pasn_result(const void *record, int length)
{
    dns_pasn_result_record result{};
    if (!read_event_record(record, length, result)) {
        nan_log(log_severity::info, "info or len(%d) error!\n", length);
        return;
    }
    nan_log(log_severity::info,
            "%s, status[0x%x], local_role[0x%x], pairing_type[0x%x],remote_nik_caching[0x%x]\n",
            __func__, result.status, result.local_role, result.pairing_type,
            result.remote_nik_caching);
    nan_data_mgnt *mgnt = get_nan_data_mgnt_by_pairing();
    if (mgnt == nullptr) {
        return;
    }
    if (result.status != DNS_PASN_STATUS_SUCCESS) {
        nan_log(log_severity::info, "%s, PASN failed! status[%d]\n", __func__, result.status);
        return;
    }
    // A repeated success after the data path request changes nothing.
    if (mgnt->nan_status == nan_status::NAN_DATA_REQ_SENT) {
        return;
    }
    nan_log(log_severity::info, "%s, PASN success! \n", __func__);
    pairing_info_record &pairing = mgnt->pairing_info;
    pairing.local_role = result.local_role;
    pairing.pairing_type = result.pairing_type;
    pairing.remote_nik_caching = result.remote_nik_caching;
    std::memcpy(pairing.peer_nmi, result.peer_nmi, sizeof pairing.peer_nmi);
    delete_response_timer();

    mgnt->nan_status = nan_status::NAN_PASN_DONE;
    if (result.local_role == kInitiatorRole) {
        if (dns_datapath_req(&mgnt->data_path) != 0) {
            return;
        }
        nan_log(log_severity::info, "send data path success!!!\n");
        mgnt->nan_status = nan_status::NAN_DATA_REQ_SENT;
        arm_response_timer(*mgnt);
        return;
    }
    nan_log(log_severity::info, "Waitting for data path request!!!\n");
}
