// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// The service table: slot lookups by identifier and the clearing operations.
#include "service_table.h"

#include <cstring>

#include "log.h"
#include "process_globals.h"

service_table services{};

const char *to_string(nan_status status)
{
    switch (status) {
    case nan_status::NAN_IDLE:
        return "NAN_IDLE";
    case nan_status::NAN_DATA_REQ_SENT:
        return "NAN_DATA_REQ_SENT";
    case nan_status::NAN_DATA_RSP_SENDING:
        return "NAN_DATA_RSP_SENDING";
    case nan_status::NAN_DATA_RSP_SENT:
        return "NAN_DATA_RSP_SENT";
    case nan_status::NAN_DATA_CONFIRMED:
        return "NAN_DATA_CONFIRMED";
    case nan_status::NAN_BSTRAP_REQ_SENT:
        return "NAN_BSTRAP_REQ_SENT";
    case nan_status::NAN_BSTRAP_DONE:
        return "NAN_BSTRAP_DONE";
    case nan_status::NAN_PASN_STARTED:
        return "NAN_PASN_STARTED";
    case nan_status::NAN_PASN_DONE:
        return "NAN_PASN_DONE";
    }
    return "?";
}

ServiceSlot &slot_of(nan_data_mgnt &mgnt)
{
    static_assert(offsetof(ServiceSlot, mgnt) == 0);
    return *reinterpret_cast<ServiceSlot *>(&mgnt);
}

uint8_t *service_pointer(nan_data_mgnt &mgnt)
{
    return reinterpret_cast<uint8_t *>(&mgnt) + kServiceOffsetInSlot;
}

namespace {

// Slot 0 is used with one or two services, slot 1 only with two.
template <typename Match>
ServiceSlot *find_slot(Match matches)
{
    for (uint32_t index = 0; index < service_count && index < 2; ++index) {
        if (matches(services.slot[index].mgnt)) {
            return &services.slot[index];
        }
    }
    return nullptr;
}

ServiceSlot *find_slot_by_ndp_id(uint8_t ndp_id)
{
    return find_slot(
        [ndp_id](const nan_data_mgnt &mgnt) { return mgnt.data_path.ndp_id == ndp_id; });
}

} // namespace

nan_data_mgnt *get_nan_data_mgnt_by_ndp_id(uint8_t ndp_id)
{
    if (ndp_id == 0) {
        return nullptr;
    }
    ServiceSlot *slot = find_slot_by_ndp_id(ndp_id);
    if (slot == nullptr) {
        nan_log(log_severity::warning, "%s nan_data_mgnt not found, ndp_id=%d\n", __func__, ndp_id);
        return nullptr;
    }
    return &slot->mgnt;
}

dns_record *get_dns_recored_by_ndp_id(uint8_t ndp_id)
{
    if (ndp_id == 0) {
        return nullptr;
    }
    ServiceSlot *slot = find_slot_by_ndp_id(ndp_id);
    if (slot == nullptr) {
        nan_log(log_severity::warning, "%s dns_record not found, ndp_id=%d\n", __func__, ndp_id);
        return nullptr;
    }
    return &slot->record;
}

nan_data_mgnt *get_nan_data_mgnt_by_pub_id(uint8_t publish_id)
{
    ServiceSlot *slot = find_slot(
        [publish_id](const nan_data_mgnt &mgnt) { return mgnt.publish_id == publish_id; });
    if (slot == nullptr) {
        nan_log(log_severity::debug, "%s dns_recored not found, pub_id=%d\n", __func__, publish_id);
        return nullptr;
    }
    return &slot->mgnt;
}

nan_data_mgnt *get_nan_data_mgnt_by_sub_id(uint8_t subscribe_id)
{
    ServiceSlot *slot = find_slot(
        [subscribe_id](const nan_data_mgnt &mgnt) { return mgnt.subscribe_id == subscribe_id; });
    if (slot == nullptr) {
        nan_log(log_severity::debug, "%s dns_recored not found, sub_id=%d\n", __func__,
                subscribe_id);
        return nullptr;
    }
    return &slot->mgnt;
}

nan_data_mgnt *get_nan_data_mgnt_by_pairing()
{
    ServiceSlot *slot = find_slot([](const nan_data_mgnt &mgnt) {
        return mgnt.sec_type == static_cast<uint8_t>(sec_type::pairing);
    });
    if (slot == nullptr) {
        nan_log(log_severity::debug, "%s get_nan_data_mgnt_by_pairing not found\n", __func__);
        return nullptr;
    }
    return &slot->mgnt;
}

void prepare_pairing_info_as_initiator(nan_data_mgnt &mgnt)
{
    nan_log(log_severity::info, "%s\n", __func__);
    std::memcpy(mgnt.pairing_info.peer_nmi, mgnt.peer_nmi, sizeof mgnt.peer_nmi);
    mgnt.pairing_info.local_role = 1;
}

void clear_pairing_info(nan_data_mgnt *mgnt)
{
    if (mgnt == nullptr) {
        return;
    }
    nan_log(log_severity::info, "clear_pairing_info nan_status[%d]\n",
            static_cast<int>(mgnt->nan_status));
    // The configured fields (method, NIK caching, password, GTK) and what the
    // peer said about its NIK caching stay for a later pairing verification.
    mgnt->pairing_info.local_role = 0;
    std::memset(mgnt->pairing_info.peer_nmi, 0, sizeof mgnt->pairing_info.peer_nmi);
    mgnt->pairing_info.pairing_type = 0;
    mgnt->pairing_info.bstrap_type = 0;
}

void clear_data_path(nan_data_mgnt *mgnt)
{
    if (mgnt == nullptr) {
        return;
    }
    nan_log(log_severity::info, "clear_data_path nan_status[%d]\n",
            static_cast<int>(mgnt->nan_status));
    data_path_record &path = mgnt->data_path;
    mgnt->retry = 0;
    path.ndp_id = 0;
    std::memset(path.initiator_ndi, 0, sizeof path.initiator_ndi);
    std::memset(path.peer_nmi, 0, sizeof path.peer_nmi);
    std::memset(path.reserved1, 0, sizeof path.reserved1);
    std::memset(path.reserved2, 0, sizeof path.reserved2);
    std::memset(path.passphrase, 0, sizeof path.passphrase);
    path.passphrase_len = 0;
    path.sec_type = 0;
    // Only the states that wait for the peer go back to idle; a response
    // being sent, a finished bootstrapping or PASN keep their state.
    switch (mgnt->nan_status) {
    case nan_status::NAN_DATA_REQ_SENT:
    case nan_status::NAN_DATA_RSP_SENT:
    case nan_status::NAN_DATA_CONFIRMED:
    case nan_status::NAN_BSTRAP_REQ_SENT:
    case nan_status::NAN_PASN_STARTED:
        mgnt->nan_status = nan_status::NAN_IDLE;
        break;
    case nan_status::NAN_IDLE:
    case nan_status::NAN_DATA_RSP_SENDING:
    case nan_status::NAN_BSTRAP_DONE:
    case nan_status::NAN_PASN_DONE:
        break;
    }
}

extern "C" int is_array_empty(const void *bytes, unsigned length)
{
    constexpr unsigned kMostBytesLooked = 512;
    const auto *byte = static_cast<const uint8_t *>(bytes);
    const unsigned count = length < kMostBytesLooked ? length : kMostBytesLooked;
    for (unsigned index = 0; index < count; ++index) {
        if (byte[index] != 0) {
            return 0;
        }
    }
    return 1;
}
