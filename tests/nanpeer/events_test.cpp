// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// Event handling: every row of a slot's transition table, driven through
// the library double's event thread.
#include <cstring>
#include <string>
#include <vector>

#include "events.h"
#include "process_globals.h"
#include "sdcore_double.h"
#include "service_table.h"
#include "stopping.h"
#include "test_support.h"

namespace {

using events_test = nanpeer_test;
using names = std::vector<std::string>;

template <typename Record>
std::string deliver(uint32_t event_id, const Record &record)
{
    output_capture capture;
    deliver_and_handle(event_id, record);
    return capture.finish();
}

std::string deliver_raw(uint32_t event_id, const void *record, int length)
{
    output_capture capture;
    deliver_and_handle(event_id, record, length);
    return capture.finish();
}

template <typename Record>
Record last_call_bytes(const std::string &name)
{
    Record record{};
    for (const sdcore_double::recorded_call &call : sdcore_double::calls()) {
        if (call.name == name && call.bytes.size() >= sizeof record) {
            std::memcpy(&record, call.bytes.data(), sizeof record);
        }
    }
    return record;
}

bool contains(const std::string &text, const std::string &part)
{
    return text.find(part) != std::string::npos;
}

} // namespace

TEST_F(events_test, open_discovery_sets_own_address_and_requests_without_timer)
{
    nan_data_mgnt &mgnt = prepare_subscriber(sec_type::open);
    const std::string out = deliver(DNS_DISCOVERY_RESULT, discovery(9));
    EXPECT_EQ(out,
              info("DNS_DISCOVERY_RESULT\n") + info("dns_evt_discovery_result, nan_status[0]\n") +
                  info("parse_discovery_result\n") + info("subscribe_id(7), publisher_id(9)\n") +
                  info("peer_nmi(02:00:00:00:00:02)\n") + info("service_id(aa:bb:cc:dd:ee:ff)\n") +
                  info("service_name(peer-service), service_instance(peer-1)\n") +
                  info("pairing_enable(0), paired(0)\n") +
                  info("ipv6_link_local: fe80::0:ff:fe00:1\n") +
                  info("set_self_ipv6[fe80::0:ff:fe00:1], mac[02:00:00:00:00:01]\n") +
                  info("peer's security: pairing_enable[0], pmk_set[0], paired[0]\n") +
                  info("send data path success!!!\n"));
    EXPECT_EQ(shell_commands(), (names{"ip -6 address add fe80::0:ff:fe00:1/64 dev nan0",
                                       "ip -6 route add fe80::0:ff:fe00:1/64 dev nan0"}));
    EXPECT_EQ(sdcore_double::call_names(), names{"dns_datapath_req"});
    const auto path = last_call_bytes<data_path_record>("dns_datapath_req");
    EXPECT_EQ(path.ndp_id, 1);
    const uint8_t peer[6] = {0x02, 0, 0, 0, 0, 0x02};
    EXPECT_EQ(std::memcmp(path.peer_nmi, peer, 6), 0);
    EXPECT_EQ(path.sec_type, 0);
    EXPECT_EQ(sdcore_double::calls()[0].pointer, &mgnt.data_path);
    EXPECT_EQ(mgnt.nan_status, nan_status::NAN_DATA_REQ_SENT);
    EXPECT_EQ(mgnt.publish_id, 9);
    EXPECT_STREQ(mgnt.service_name, "peer-service");
    EXPECT_FALSE(timer_armed());

    sdcore_double::reset();
    mgnt.nan_status = nan_status::NAN_IDLE;
    sdcore_double::set_result("dns_datapath_req", -1);
    EXPECT_FALSE(contains(deliver(DNS_DISCOVERY_RESULT, discovery(9)), "success"));
    EXPECT_EQ(mgnt.nan_status, nan_status::NAN_IDLE);
}

TEST_F(events_test, secured_discovery_requests_data_path_and_arms_timer)
{
    for (const sec_type security : {sec_type::pmk, sec_type::passphrase}) {
        nan_data_mgnt &mgnt = prepare_subscriber(security);
        sdcore_double::reset();
        deliver(DNS_DISCOVERY_RESULT, discovery(9, 1));
        EXPECT_EQ(sdcore_double::call_names(), names{"dns_datapath_req"});
        EXPECT_EQ(last_call_bytes<data_path_record>("dns_datapath_req").sec_type,
                  static_cast<uint8_t>(security));
        EXPECT_EQ(mgnt.nan_status, nan_status::NAN_DATA_REQ_SENT);
        EXPECT_TRUE(timer_armed());
        EXPECT_EQ(mgnt.retry, 0);

        // Rejected: back to idle and no timer.
        deliver(DNS_DATA_CONFIRM, confirm(1, 1)); // clears the slot and the timer
        sdcore_double::set_result("dns_datapath_req", -1);
        deliver(DNS_DISCOVERY_RESULT, discovery(9, 1));
        EXPECT_EQ(mgnt.nan_status, nan_status::NAN_IDLE);
        EXPECT_FALSE(timer_armed());
        sdcore_double::reset();
    }
}

TEST_F(events_test, pairing_discovery_verifies_or_bootstraps)
{
    nan_data_mgnt &mgnt = prepare_subscriber(sec_type::pairing);
    std::string out = deliver(DNS_DISCOVERY_RESULT, discovery(9, 1, 1, 1));
    EXPECT_TRUE(contains(out, info("prepare_pairing_info_as_initiator\n") +
                                  info("Pairing verification start\n")));
    EXPECT_EQ(sdcore_double::call_names(), names{"dns_pairing_start"});
    EXPECT_EQ(sdcore_double::calls()[0].pointer, &mgnt.pairing_info);
    const auto pairing = last_call_bytes<pairing_info_record>("dns_pairing_start");
    EXPECT_EQ(pairing.local_role, 1);
    EXPECT_EQ(pairing.pairing_type, 2);
    EXPECT_EQ(pairing.peer_nmi[5], 0x02);
    EXPECT_STREQ(pairing.pw, "pairpw");
    EXPECT_EQ(mgnt.data_path.sec_type, 3);
    EXPECT_EQ(mgnt.nan_status, nan_status::NAN_PASN_STARTED);
    EXPECT_TRUE(timer_armed());

    mgnt.nan_status = nan_status::NAN_IDLE;
    mgnt.retry = 2;
    sdcore_double::reset();
    out = deliver(DNS_DISCOVERY_RESULT, discovery(9, 0, 1, 0));
    EXPECT_TRUE(contains(out, info("Pairing setup start\n") +
                                  info("send bootstrapping request success!!!\n")));
    EXPECT_EQ(sdcore_double::call_names(), names{"dns_bstrap_start"});
    EXPECT_EQ(sdcore_double::calls()[0].pointer, service_pointer(mgnt));
    EXPECT_EQ(mgnt.nan_status, nan_status::NAN_BSTRAP_REQ_SENT);
    EXPECT_EQ(mgnt.pairing_info.pairing_type, 1);
    EXPECT_EQ(mgnt.retry, 0); // re-armed
}

TEST_F(events_test, rejected_pairing_calls_keep_their_state_without_timer)
{
    nan_data_mgnt &mgnt = prepare_subscriber(sec_type::pairing);
    sdcore_double::set_result("dns_pairing_start", -1);
    sdcore_double::set_result("dns_bstrap_start", -1);
    deliver(DNS_DISCOVERY_RESULT, discovery(9, 0, 1, 1));
    EXPECT_EQ(mgnt.nan_status, nan_status::NAN_PASN_STARTED);
    EXPECT_FALSE(timer_armed());
    mgnt.nan_status = nan_status::NAN_IDLE;
    EXPECT_FALSE(contains(deliver(DNS_DISCOVERY_RESULT, discovery(9, 0, 1, 0)), "success"));
    EXPECT_EQ(mgnt.nan_status, nan_status::NAN_BSTRAP_REQ_SENT);
    EXPECT_FALSE(timer_armed());
}

TEST_F(events_test, security_mismatch_leaves_slot_idle)
{
    struct mismatch {
        sec_type slot;
        uint8_t pmk_set, pairing_enable;
    };
    // pairing_enable alone decides when both flags are set.
    for (const mismatch m : {mismatch{sec_type::open, 0, 1}, mismatch{sec_type::pmk, 1, 1},
                             mismatch{sec_type::open, 1, 0}, mismatch{sec_type::pairing, 1, 0},
                             mismatch{sec_type::passphrase, 0, 0}}) {
        nan_data_mgnt &mgnt = prepare_subscriber(m.slot);
        const std::string out =
            deliver(DNS_DISCOVERY_RESULT, discovery(9, m.pmk_set, m.pairing_enable));
        EXPECT_TRUE(contains(out, info("Security is mismatched, sec_type[" +
                                       std::to_string(static_cast<int>(m.slot)) + "]\n")))
            << out;
        EXPECT_EQ(mgnt.nan_status, nan_status::NAN_IDLE);
    }
    EXPECT_TRUE(sdcore_double::calls().empty());
}

TEST_F(events_test, discovery_saves_the_service_once_and_starts_only_from_idle)
{
    nan_data_mgnt &mgnt = prepare_subscriber(sec_type::open);
    mgnt.nan_status = nan_status::NAN_DATA_CONFIRMED;
    // Without text information the peer is copied again every time.
    deliver(DNS_DISCOVERY_RESULT, discovery(9));
    EXPECT_EQ(mgnt.publish_id, 9);
    auto with_text = discovery(10);
    with_text.text_info_len = 3;
    std::memcpy(with_text.text_info, "\x02hi", 3);
    std::string out = deliver(DNS_DISCOVERY_RESULT, with_text);
    EXPECT_TRUE(
        contains(out, info("text_info_len(3)\n") + info("text_info ") + "02 68 69 " + info("\n")));
    EXPECT_EQ(mgnt.publish_id, 10);
    ASSERT_EQ(+mgnt.text_info_len, 3);
    EXPECT_EQ(std::memcmp(mgnt.text_info, "\x02hi", 3), 0);

    out = deliver(DNS_DISCOVERY_RESULT, discovery(11));
    EXPECT_EQ(out, info("DNS_DISCOVERY_RESULT\n") +
                       info("dns_evt_discovery_result, nan_status[9]\n") +
                       debug("already save a service, skip\n"));
    EXPECT_EQ(mgnt.publish_id, 10);
    EXPECT_EQ(mgnt.nan_status, nan_status::NAN_DATA_CONFIRMED);
    EXPECT_TRUE(sdcore_double::calls().empty());
    EXPECT_TRUE(shell_commands().empty());
}

TEST_F(events_test, discovery_text_information_is_bounded_by_the_record)
{
    nan_data_mgnt &mgnt = prepare_subscriber(sec_type::open);
    auto record = discovery(9);
    record.text_info_len = 0xffff;
    std::memset(record.text_info, 0x41, sizeof record.text_info);
    std::memset(record.service_name, 'n', sizeof record.service_name); // unterminated
    deliver(DNS_DISCOVERY_RESULT, record);
    ASSERT_EQ(+mgnt.text_info_len, 256);
    EXPECT_EQ(+mgnt.text_info[255], 0x41);
    EXPECT_EQ(std::strlen(mgnt.service_name), 255u);
}

TEST_F(events_test, publisher_discovery_selects_slot_by_publish_id)
{
    service_count = 2;
    prepare_publisher(0, 1, sec_type::open);
    nan_data_mgnt &second = prepare_publisher(1, 2, sec_type::open);
    deliver(DNS_DISCOVERY_RESULT, discovery(2));
    EXPECT_EQ(second.nan_status, nan_status::NAN_DATA_REQ_SENT);
    EXPECT_EQ(deliver(DNS_DISCOVERY_RESULT, discovery(3)),
              info("DNS_DISCOVERY_RESULT\n") +
                  info("dns_evt_discovery_result, publish id is mismatch!\n"));
    service_count = 1;
    second.nan_status = nan_status::NAN_IDLE;
    deliver(DNS_DISCOVERY_RESULT, discovery(2));
    EXPECT_EQ(second.nan_status, nan_status::NAN_IDLE);
}

TEST_F(events_test, bootstrapping_result_rows)
{
    nan_data_mgnt &mgnt = prepare_subscriber(sec_type::pairing);
    mgnt.nan_status = nan_status::NAN_BSTRAP_REQ_SENT;
    // Method 0 with a failure status: refused, nothing changes.
    std::string out = deliver(DNS_BSTRAP_RESULT, bstrap_result(5, 1, 7, 1, 0));
    EXPECT_EQ(out, info("DNS_BSTRAP_RESULT\n") + info("dns_evt_bstrap_result, fail! status[5]\n"));
    EXPECT_EQ(mgnt.nan_status, nan_status::NAN_BSTRAP_REQ_SENT);

    // A method agreed on is taken whatever the status; the initiator starts PASN.
    out = deliver(DNS_BSTRAP_RESULT, bstrap_result(5, 1, 7, 1, 0x0001));
    EXPECT_TRUE(contains(out, info("dns_evt_bstrap_result, bstrap_method[0x1]\n")));
    EXPECT_EQ(sdcore_double::call_names(), names{"dns_pairing_start"});
    const auto pairing = last_call_bytes<pairing_info_record>("dns_pairing_start");
    EXPECT_EQ(pairing.pairing_type, 1);
    EXPECT_EQ(pairing.bstrap_type, 2);
    EXPECT_EQ(pairing.peer_nmi[5], 0x03);
    EXPECT_EQ(mgnt.nan_status, nan_status::NAN_PASN_STARTED);
    EXPECT_TRUE(timer_armed());

    sdcore_double::set_result("dns_pairing_start", -1);
    deliver(DNS_BSTRAP_RESULT, bstrap_result(0, 1, 7, 1, 0x0002));
    EXPECT_EQ(mgnt.nan_status, nan_status::NAN_BSTRAP_DONE);
    EXPECT_EQ(mgnt.pairing_info.bstrap_type, 1);
    EXPECT_FALSE(timer_armed());
}

TEST_F(events_test, bootstrapping_responder_waits_for_pasn_without_a_call)
{
    nan_data_mgnt &mgnt = prepare_publisher(0, 1, sec_type::pairing);
    deliver(DNS_BSTRAP_RESULT, bstrap_result(1, 33, 1, 0, 0));
    EXPECT_EQ(mgnt.subscribe_id, 33); // stored even though refused
    EXPECT_EQ(mgnt.nan_status, nan_status::NAN_IDLE);

    deliver(DNS_BSTRAP_RESULT, bstrap_result(0, 34, 1, 0, 0x0001));
    EXPECT_EQ(mgnt.subscribe_id, 34);
    EXPECT_EQ(mgnt.pairing_info.local_role, 2);
    EXPECT_EQ(mgnt.nan_status, nan_status::NAN_PASN_STARTED);
    EXPECT_TRUE(timer_armed());
    EXPECT_TRUE(sdcore_double::calls().empty());
}

TEST_F(events_test, pasn_result_rows)
{
    nan_data_mgnt &mgnt = prepare_subscriber(sec_type::pairing);
    deliver(DNS_DISCOVERY_RESULT, discovery(9, 0, 1, 1));
    ASSERT_TRUE(timer_armed());
    sdcore_double::reset();

    std::string out = deliver(DNS_PASN_RESULT, pasn_result(3, 1));
    EXPECT_EQ(out, info("DNS_PASN_RESULT\n") +
                       info("dns_evt_pasn_result, status[0x3], local_role[0x1], "
                            "pairing_type[0x1],remote_nik_caching[0x1]\n") +
                       info("dns_evt_pasn_result, PASN failed! status[3]\n"));
    EXPECT_EQ(mgnt.nan_status, nan_status::NAN_PASN_STARTED);
    EXPECT_TRUE(timer_armed());

    sdcore_double::set_result("dns_datapath_req", -1);
    deliver(DNS_PASN_RESULT, pasn_result(4, 1));
    EXPECT_EQ(mgnt.nan_status, nan_status::NAN_PASN_DONE);
    EXPECT_FALSE(timer_armed());
    EXPECT_EQ(mgnt.pairing_info.remote_nik_caching, 1);
    EXPECT_EQ(mgnt.pairing_info.peer_nmi[5], 0x04);

    sdcore_double::set_result("dns_datapath_req", 0);
    out = deliver(DNS_PASN_RESULT, pasn_result(4, 1));
    EXPECT_TRUE(contains(out, info("dns_evt_pasn_result, PASN success! \n") +
                                  info("send data path success!!!\n")));
    EXPECT_EQ(mgnt.nan_status, nan_status::NAN_DATA_REQ_SENT);
    EXPECT_TRUE(timer_armed());

    // A second success while the request is out changes nothing.
    sdcore_double::reset();
    out = deliver(DNS_PASN_RESULT, pasn_result(4, 1));
    EXPECT_FALSE(contains(out, "success"));
    EXPECT_TRUE(sdcore_double::calls().empty());
    EXPECT_EQ(mgnt.nan_status, nan_status::NAN_DATA_REQ_SENT);
}

TEST_F(events_test, pasn_responder_waits_and_every_result_goes_to_slot_0)
{
    service_count = 2;
    nan_data_mgnt &first = prepare_publisher(0, 1, sec_type::pairing);
    nan_data_mgnt &second = prepare_publisher(1, 2, sec_type::pairing);
    const std::string out = deliver(DNS_PASN_RESULT, pasn_result(4, 2));
    EXPECT_TRUE(contains(out, info("Waitting for data path request!!!\n")));
    EXPECT_EQ(first.nan_status, nan_status::NAN_PASN_DONE);
    EXPECT_EQ(first.pairing_info.local_role, 2);
    EXPECT_EQ(second.nan_status, nan_status::NAN_IDLE);
    EXPECT_TRUE(sdcore_double::calls().empty());
}

TEST_F(events_test, data_indication_answers_in_any_state_with_derived_security)
{
    struct row {
        sec_type slot;
        nan_status state;
        uint8_t security;
        uint8_t path_sec_type;
        bool armed;
    };
    const row rows[] = {
        {sec_type::open, nan_status::NAN_IDLE, 0, 0, false},
        {sec_type::passphrase, nan_status::NAN_IDLE, 1, 2, true},
        {sec_type::pmk, nan_status::NAN_DATA_CONFIRMED, 1, 1, true},
        {sec_type::pairing, nan_status::NAN_PASN_DONE, 1, 3, true},
        {sec_type::pairing, nan_status::NAN_IDLE, 1, 1, true},
    };
    for (const row &r : rows) {
        SCOPED_TRACE(to_string(r.state));
        nan_data_mgnt &mgnt = prepare_publisher(0, 1, r.slot);
        mgnt.nan_status = r.state;
        sdcore_double::reset();
        deliver(DNS_DATA_INDICATION, indication(1, 5, r.security));
        EXPECT_EQ(sdcore_double::call_names(), names{"dns_datapath_rsp"});
        const auto path = last_call_bytes<data_path_record>("dns_datapath_rsp");
        EXPECT_EQ(path.ndp_id, 5);
        EXPECT_EQ(path.sec_type, r.path_sec_type);
        EXPECT_EQ(path.initiator_ndi[5], 0x55);
        EXPECT_EQ(mgnt.nan_status, nan_status::NAN_DATA_RSP_SENT);
        EXPECT_EQ(timer_armed(), r.armed);
        disarm_timer();
    }
}

TEST_F(events_test, data_indication_output_and_rejected_response)
{
    nan_data_mgnt &mgnt = prepare_publisher(0, 1, sec_type::pmk);
    sdcore_double::set_result("dns_datapath_rsp", -1);
    auto record = indication(1, 5, 1);
    record.ipv6[0] = 0xfe;
    const std::string out = deliver(DNS_DATA_INDICATION, record);
    EXPECT_EQ(out, info("DNS_DATA_INDICATION\n") +
                       info("dns_evt_data_indication, nan_status[0]\n") +
                       info("parse_data_indication\n") +
                       info("type(1), publish_id(1), ndp_id(5), mc_id(0)\n") +
                       "initiator_ndi: 00:11:22:33:44:55\nresponder_ndi: 00:aa:bb:cc:dd:ee\n" +
                       info("security(1)\n") + "ipv6: fe:00:00:00:00:00:00:00\n");
    EXPECT_EQ(mgnt.nan_status, nan_status::NAN_DATA_RSP_SENDING);
    EXPECT_FALSE(timer_armed());
    // Not the slot's publish id: only the lookup's line.
    EXPECT_EQ(deliver(DNS_DATA_INDICATION, indication(4, 5, 1)),
              info("DNS_DATA_INDICATION\n") +
                  debug("get_nan_data_mgnt_by_pub_id dns_recored not found, pub_id=4\n"));
}

TEST_F(events_test, publisher_confirm_sets_both_addresses_in_order)
{
    nan_data_mgnt &mgnt = prepare_publisher(0, 1, sec_type::pmk);
    deliver(DNS_DATA_INDICATION, indication(1, 5, 1));
    ASSERT_TRUE(timer_armed());
    clear_shell_commands();
    const std::string out = deliver(DNS_DATA_CONFIRM, confirm(5, 0));
    EXPECT_EQ(out, info("DNS_DATA_CONFIRM\n") + info("dns_evt_data_confirm, nan_status[3]\n") +
                       info("type(2), status(0), ndp_id(5), mc_id(0), nmsg_id(0)\n") +
                       "initiator_ndi: 00:11:22:33:44:55\nresponder_ndi: 00:aa:bb:cc:dd:ee\n" +
                       info("host_name(peerhost), port_number(8080)\n") +
                       "peer ipv6: 00:00:00:00:00:00:00:00\n" +
                       info("ipv6_link_local: fe80::2aa:bbff:fecc:ddee\n") +
                       info("set_self_ipv6[fe80::2aa:bbff:fecc:ddee], mac[00:aa:bb:cc:dd:ee]\n") +
                       info("ipv6_link_local: fe80::211:22ff:fe33:4455\n") +
                       info("set_peer_ipv6[fe80::211:22ff:fe33:4455], mac[00:11:22:33:44:55]\n"));
    EXPECT_EQ(
        shell_commands(),
        (names{"ip -6 address add fe80::2aa:bbff:fecc:ddee/64 dev nan0",
               "ip -6 route add fe80::2aa:bbff:fecc:ddee/64 dev nan0",
               "ip -6 neigh del fe80::211:22ff:fe33:4455 lladdr 00:11:22:33:44:55 dev nan0",
               "ip -6 neigh add fe80::211:22ff:fe33:4455 lladdr 00:11:22:33:44:55 dev nan0"}));
    EXPECT_EQ(mgnt.nan_status, nan_status::NAN_DATA_CONFIRMED);
    EXPECT_FALSE(timer_armed());
}

TEST_F(events_test, failed_confirm_clears_pairing_and_data_path)
{
    nan_data_mgnt &mgnt = prepare_subscriber(sec_type::pairing);
    for (const auto &[before, after] :
         {std::pair{nan_status::NAN_DATA_REQ_SENT, nan_status::NAN_IDLE},
          std::pair{nan_status::NAN_DATA_RSP_SENDING, nan_status::NAN_DATA_RSP_SENDING}}) {
        mgnt.nan_status = before;
        mgnt.data_path.ndp_id = 1;
        mgnt.pairing_info.local_role = 1;
        const std::string out = deliver(DNS_DATA_CONFIRM, confirm(1, 2));
        EXPECT_TRUE(contains(out, info("dns_evt_data_confirm, ndp setup fail!\n") +
                                      info("clear_pairing_info nan_status[" +
                                           std::to_string(static_cast<int>(before)) + "]\n")));
        EXPECT_EQ(mgnt.nan_status, after);
        EXPECT_EQ(mgnt.data_path.ndp_id, 0);
        EXPECT_EQ(mgnt.pairing_info.local_role, 0);
    }
    // ndp_id 0 is ignored silently; an unknown one gets the lookup's warning.
    EXPECT_EQ(deliver(DNS_DATA_CONFIRM, confirm(0, 0)), info("DNS_DATA_CONFIRM\n"));
    EXPECT_EQ(deliver(DNS_DATA_CONFIRM, confirm(6, 0)),
              info("DNS_DATA_CONFIRM\n") +
                  warning("get_nan_data_mgnt_by_ndp_id nan_data_mgnt not found, ndp_id=6\n"));
    EXPECT_TRUE(shell_commands().empty());
}

TEST_F(events_test, established_runs_the_matching_slots_start_command)
{
    service_count = 2;
    prepare_publisher(0, 1, sec_type::open);
    nan_data_mgnt &second = prepare_publisher(1, 2, sec_type::open);
    second.data_path.ndp_id = 4;
    std::string out = deliver(DNS_DATA_ESTABLISHED, established(4));
    EXPECT_EQ(out, info("DNS_DATA_ESTABLISHED\n") + info("exec_start_script \n") +
                       debug("svc start 1 \n"));
    EXPECT_EQ(shell_commands(), names{"svc start 1"});

    service_count = 1;
    clear_shell_commands();
    out = deliver(DNS_DATA_ESTABLISHED, established(4));
    EXPECT_EQ(out, info("DNS_DATA_ESTABLISHED\n") + info("exec_start_script \n") +
                       warning("get_dns_recored_by_ndp_id dns_record not found, ndp_id=4\n") +
                       info("exec_start_script Can not get dns_recored from ndp_id(4)\n"));
    EXPECT_EQ(deliver(DNS_DATA_ESTABLISHED, established(0)),
              info("DNS_DATA_ESTABLISHED\n") + info("exec_start_script \n"));
    EXPECT_TRUE(shell_commands().empty());
}

TEST_F(events_test, data_end_runs_end_command_and_keeps_pairing_only_with_both_nik_caches)
{
    nan_data_mgnt &mgnt = prepare_subscriber(sec_type::pairing);
    for (const uint8_t remote_nik : {uint8_t{0}, uint8_t{1}}) {
        mgnt.nan_status = nan_status::NAN_DATA_CONFIRMED;
        mgnt.data_path.ndp_id = 1;
        mgnt.pairing_info.local_role = 1;
        mgnt.pairing_info.remote_nik_caching = remote_nik;
        clear_shell_commands();
        const std::string out = deliver(DNS_DATA_END, data_end(1));
        std::string expected = info("DNS_DATA_END\n") + info("dns_evt_data_end, ndp_id[1]\n") +
                               info("exec_stop_script \n");
        if (remote_nik == 0) {
            expected += info("clear_pairing_info nan_status[9]\n");
        }
        EXPECT_EQ(out, expected + info("clear_data_path nan_status[9]\n"));
        EXPECT_EQ(shell_commands(), names{"svc end 0"});
        EXPECT_EQ(mgnt.nan_status, nan_status::NAN_IDLE);
        EXPECT_EQ(mgnt.pairing_info.local_role, remote_nik);
    }
    EXPECT_EQ(deliver(DNS_DATA_END, data_end(0)), info("DNS_DATA_END\n"));
    EXPECT_EQ(deliver(DNS_DATA_END, data_end(2)),
              info("DNS_DATA_END\n") +
                  warning("get_nan_data_mgnt_by_ndp_id nan_data_mgnt not found, ndp_id=2\n"));
}

TEST_F(events_test, wrong_lengths_missing_records_and_unknown_ids_change_nothing)
{
    nan_data_mgnt &mgnt = prepare_subscriber(sec_type::open);
    const nan_data_mgnt before = mgnt;
    struct sized {
        uint32_t id;
        const char *name;
        int length;
        bool bang; // every handler but the discovery one ends its line with "!"
    };
    const auto error = [](const sized &e, int length) {
        return info("info or len(" + std::to_string(length) + ") error" + (e.bang ? "!" : "") +
                    "\n");
    };
    const sized events[] = {
        {DNS_DISCOVERY_RESULT, "DNS_DISCOVERY_RESULT", 596, false},
        {DNS_DATA_INDICATION, "DNS_DATA_INDICATION", 25, true},
        {DNS_DATA_CONFIRM, "DNS_DATA_CONFIRM", 284, true},
        {DNS_BSTRAP_RESULT, "DNS_BSTRAP_RESULT", 12, true},
        {DNS_PASN_RESULT, "DNS_PASN_RESULT", 10, true},
        {DNS_DATA_END, "DNS_DATA_END", 3, true},
    };
    std::vector<uint8_t> bytes(600, 1);
    for (const sized &e : events) {
        for (const int length : {e.length - 1, e.length + 1}) {
            EXPECT_EQ(deliver_raw(e.id, bytes.data(), length),
                      info(std::string(e.name) + "\n") + error(e, length));
        }
        EXPECT_EQ(deliver_raw(e.id, nullptr, e.length),
                  info(std::string(e.name) + "\n") + error(e, e.length));
    }
    for (const int length : {8, 10}) {
        EXPECT_EQ(deliver_raw(DNS_DATA_ESTABLISHED, bytes.data(), length),
                  info("DNS_DATA_ESTABLISHED\n") + info("exec_start_script \n") +
                      info("info or len(" + std::to_string(length) + ") error!\n"));
    }
    for (const uint32_t id : {6u, 7u, 9u, 300u}) {
        EXPECT_EQ(deliver_raw(id, bytes.data(), 3),
                  info("[nanpeer]unknow dns event id (" + std::to_string(id) + ")\n"));
    }
    EXPECT_EQ(std::memcmp(&before, &mgnt, sizeof before), 0);
    EXPECT_TRUE(sdcore_double::calls().empty());
    EXPECT_TRUE(shell_commands().empty());
}

TEST_F(events_test, nothing_is_handled_once_stopping)
{
    nan_data_mgnt &mgnt = prepare_subscriber(sec_type::open);
    request_stop();
    EXPECT_EQ(deliver(DNS_DISCOVERY_RESULT, discovery(9)), "");
    EXPECT_EQ(deliver_raw(7, nullptr, 0), "");
    EXPECT_EQ(mgnt.nan_status, nan_status::NAN_IDLE);
    EXPECT_TRUE(sdcore_double::calls().empty());
}
