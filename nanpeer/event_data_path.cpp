// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// Data path events: indication (responder), confirm, and end.
#include <cstdio>
#include <cstring>

#include "events.h"
#include "link_setup.h"
#include "log.h"
#include "pause.h"
#include "process_globals.h"
#include "response_timer.h"
#include "sdcore.h"
#include "service_scripts.h"
#include "service_table.h"

namespace {

constexpr int kPeerPings = 10;
constexpr unsigned kPauseBeforePingSeconds = 3;

// Address lines carry no tag and are printed at every log level.
void print_address_line(const char *name, const uint8_t (&address)[6])
{
    std::printf("%s: %02x:%02x:%02x:%02x:%02x:%02x\n", name, address[0], address[1], address[2],
                address[3], address[4], address[5]);
}

void print_ipv6_line(const char *name, const uint8_t (&id)[8])
{
    std::printf("%s: %02x:%02x:%02x:%02x:%02x:%02x:%02x:%02x\n", name, id[0], id[1], id[2], id[3],
                id[4], id[5], id[6], id[7]);
}

// Publisher (responder): its own address is the responder's, the peer the
// initiator. Subscriber (initiator): its own address was set at discovery;
// it installs the responder as neighbour and checks the path with a ping.
// Once nanpeer is stopping no further command runs.
void set_up_link(const nan_data_mgnt &mgnt, const dns_data_confirm_record &confirm)
{
    char initiator[kMacTextBufferSize];
    char responder[kMacTextBufferSize];
    format_mac_text(confirm.initiator_ndi, initiator);
    format_mac_text(confirm.responder_ndi, responder);
    char responder_address[kIpv6TextSize];
    if (mgnt.role != 0) {
        if (ipv6_link_local(responder, responder_address) &&
            set_peer_ipv6(nan_intf, responder, responder_address) &&
            pause_unless_stopping(kPauseBeforePingSeconds)) {
            static_cast<void>(ping6_peer(nan_intf, responder_address, kPeerPings));
        }
        return;
    }
    char initiator_address[kIpv6TextSize];
    if (ipv6_link_local(responder, responder_address) &&
        !set_self_ipv6(nan_intf, responder, responder_address)) {
        return;
    }
    if (ipv6_link_local(initiator, initiator_address)) {
        static_cast<void>(set_peer_ipv6(nan_intf, initiator, initiator_address));
    }
}

} // namespace

void parse_data_indication(nan_data_mgnt &mgnt, const dns_data_indication_record &record)
{
    nan_log(log_severity::info, "%s\n", __func__);
    nan_log(log_severity::info, "type(%d), publish_id(%d), ndp_id(%d), mc_id(%d)\n", record.type,
            record.publish_id, record.ndp_id, record.mc_id);
    print_address_line("initiator_ndi", record.initiator_ndi);
    print_address_line("responder_ndi", record.responder_ndi);
    nan_log(log_severity::info, "security(%d)\n", record.security);
    print_ipv6_line("ipv6", record.ipv6);

    data_path_record &path = mgnt.data_path;
    path.ndp_id = record.ndp_id;
    path.sec_type = static_cast<uint8_t>(sec_type::open);
    if (record.security != 0) {
        path.sec_type = static_cast<uint8_t>(
            mgnt.sec_type == static_cast<uint8_t>(sec_type::passphrase) ? sec_type::passphrase
                                                                        : sec_type::pmk);
        // After pairing the data path is secured by the pairing's keys.
        if (mgnt.nan_status == nan_status::NAN_PASN_DONE) {
            path.sec_type = static_cast<uint8_t>(sec_type::pairing);
        }
    }
    std::memcpy(path.initiator_ndi, record.initiator_ndi, sizeof path.initiator_ndi);
}

void dns_evt_data_indication(const void *record, int length)
{
    dns_data_indication_record indication{};
    if (!read_event_record(record, length, indication)) {
        nan_log(log_severity::info, "info or len(%d) error!\n", length);
        return;
    }
    nan_data_mgnt *mgnt = get_nan_data_mgnt_by_pub_id(indication.publish_id);
    if (mgnt == nullptr) {
        return;
    }
    nan_log(log_severity::info, "%s, nan_status[%d]\n", __func__,
            static_cast<int>(mgnt->nan_status));
    delete_response_timer();
    parse_data_indication(*mgnt, indication);
    mgnt->nan_status = nan_status::NAN_DATA_RSP_SENDING;
    if (dns_datapath_rsp(&mgnt->data_path) != 0) {
        return;
    }
    mgnt->nan_status = nan_status::NAN_DATA_RSP_SENT;
    if (mgnt->data_path.sec_type != 0) {
        arm_response_timer(*mgnt);
    }
}

void dns_evt_data_confirm(const void *record, int length)
{
    dns_data_confirm_record confirm{};
    if (!read_event_record(record, length, confirm)) {
        nan_log(log_severity::info, "info or len(%d) error!\n", length);
        return;
    }
    if (confirm.ndp_id == 0) {
        return;
    }
    nan_data_mgnt *mgnt = get_nan_data_mgnt_by_ndp_id(confirm.ndp_id);
    if (mgnt == nullptr) {
        return;
    }
    delete_response_timer();
    nan_log(log_severity::info, "%s, nan_status[%d]\n", __func__,
            static_cast<int>(mgnt->nan_status));
    nan_log(log_severity::info, "type(%d), status(%d), ndp_id(%d), mc_id(%d), nmsg_id(%d)\n",
            confirm.type, confirm.status, confirm.ndp_id, confirm.mc_id, confirm.nmsg_id);
    print_address_line("initiator_ndi", confirm.initiator_ndi);
    print_address_line("responder_ndi", confirm.responder_ndi);
    nan_log(log_severity::info, "host_name(%.*s), port_number(%d)\n",
            static_cast<int>(sizeof confirm.host_name), confirm.host_name,
            static_cast<int>(confirm.port_number));
    print_ipv6_line("peer ipv6", confirm.peer_ipv6);

    if (confirm.status != 0) {
        nan_log(log_severity::info, "%s, ndp setup fail!\n", __func__);
        clear_pairing_info(mgnt);
        clear_data_path(mgnt);
        return;
    }
    mgnt->nan_status = nan_status::NAN_DATA_CONFIRMED;
    set_up_link(*mgnt, confirm);
}

void dns_evt_data_end(const void *record, int length, command_wait wait)
{
    dns_data_end_record end{};
    if (!read_event_record(record, length, end)) {
        nan_log(log_severity::info, "info or len(%d) error!\n", length);
        return;
    }
    if (end.ndp_id == 0) {
        return;
    }
    nan_data_mgnt *mgnt = get_nan_data_mgnt_by_ndp_id(end.ndp_id);
    if (mgnt == nullptr) {
        return;
    }
    nan_log(log_severity::info, "%s, ndp_id[%d]\n", __func__, end.ndp_id);
    // Before the clearing, so that the script's lookup by ndp_id still works.
    // Whether the command ended or stopping cut the wait short, the peer has
    // ended the data path: the slot is cleared, and shutdown neither runs
    // the end command again nor ends the data path at the library.
    exec_stop_script(&end, sizeof end, wait);
    // With both sides caching their NIK the pairing stays for a later
    // pairing verification.
    if (mgnt->pairing_info.nik_caching == 0 || mgnt->pairing_info.remote_nik_caching == 0) {
        clear_pairing_info(mgnt);
    }
    clear_data_path(mgnt);
}
