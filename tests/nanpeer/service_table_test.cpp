// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// Slot lookups, the clearing operations and is_array_empty.
#include <cstring>

#include "process_globals.h"
#include "service_table.h"
#include "test_support.h"

namespace {

using service_table_test = nanpeer_test;

} // namespace

TEST_F(service_table_test, lookups_search_only_the_used_slots_in_order)
{
    nan_data_mgnt &first = services.slot[0].mgnt;
    nan_data_mgnt &second = services.slot[1].mgnt;
    first.data_path.ndp_id = 3;
    first.publish_id = 1;
    first.subscribe_id = 5;
    second.data_path.ndp_id = 4;
    second.publish_id = 1;
    second.subscribe_id = 6;
    second.sec_type = 3;

    service_count = 2;
    EXPECT_EQ(get_nan_data_mgnt_by_ndp_id(4), &second);
    EXPECT_EQ(get_dns_recored_by_ndp_id(4), &services.slot[1].record);
    EXPECT_EQ(get_nan_data_mgnt_by_pub_id(1), &first); // slot 0 wins
    EXPECT_EQ(get_nan_data_mgnt_by_sub_id(6), &second);
    EXPECT_EQ(get_nan_data_mgnt_by_pairing(), &second);

    service_count = 1;
    output_capture capture;
    EXPECT_EQ(get_nan_data_mgnt_by_ndp_id(4), nullptr);
    EXPECT_EQ(get_dns_recored_by_ndp_id(4), nullptr);
    EXPECT_EQ(get_nan_data_mgnt_by_sub_id(6), nullptr);
    EXPECT_EQ(get_nan_data_mgnt_by_pairing(), nullptr);
    service_count = 0;
    EXPECT_EQ(get_nan_data_mgnt_by_pub_id(1), nullptr);
    EXPECT_EQ(capture.finish(),
              warning("get_nan_data_mgnt_by_ndp_id nan_data_mgnt not found, ndp_id=4\n") +
                  warning("get_dns_recored_by_ndp_id dns_record not found, ndp_id=4\n") +
                  debug("get_nan_data_mgnt_by_sub_id dns_recored not found, sub_id=6\n") +
                  debug("get_nan_data_mgnt_by_pairing get_nan_data_mgnt_by_pairing not found\n") +
                  debug("get_nan_data_mgnt_by_pub_id dns_recored not found, pub_id=1\n"));
}

TEST_F(service_table_test, ndp_id_zero_is_never_found_and_prints_nothing)
{
    // Slot 0 holds ndp_id 0 (no data path), which must not count as a match.
    output_capture capture;
    EXPECT_EQ(get_nan_data_mgnt_by_ndp_id(0), nullptr);
    EXPECT_EQ(get_dns_recored_by_ndp_id(0), nullptr);
    EXPECT_EQ(capture.finish(), "");
}

TEST_F(service_table_test, clear_data_path_returns_only_waiting_states_to_idle)
{
    const std::pair<nan_status, nan_status> transitions[] = {
        {nan_status::NAN_IDLE, nan_status::NAN_IDLE},
        {nan_status::NAN_DATA_REQ_SENT, nan_status::NAN_IDLE},
        {nan_status::NAN_DATA_RSP_SENDING, nan_status::NAN_DATA_RSP_SENDING},
        {nan_status::NAN_DATA_RSP_SENT, nan_status::NAN_IDLE},
        {nan_status::NAN_DATA_CONFIRMED, nan_status::NAN_IDLE},
        {nan_status::NAN_BSTRAP_REQ_SENT, nan_status::NAN_IDLE},
        {nan_status::NAN_BSTRAP_DONE, nan_status::NAN_BSTRAP_DONE},
        {nan_status::NAN_PASN_STARTED, nan_status::NAN_IDLE},
        {nan_status::NAN_PASN_DONE, nan_status::NAN_PASN_DONE},
    };
    nan_data_mgnt &mgnt = prepare_subscriber(sec_type::passphrase);
    for (const auto &[before, after] : transitions) {
        SCOPED_TRACE(to_string(before));
        mgnt.nan_status = before;
        mgnt.retry = 3;
        mgnt.data_path.ndp_id = 1;
        std::memset(mgnt.data_path.initiator_ndi, 0x11, 6);
        std::memset(mgnt.data_path.peer_nmi, 0x22, 6);
        std::memset(mgnt.data_path.reserved1, 0x33, 6);
        std::memset(mgnt.data_path.reserved2, 0x44, 6);
        std::memset(mgnt.data_path.spare2, 0x55, sizeof mgnt.data_path.spare2);
        std::strcpy(mgnt.data_path.passphrase, "secret");
        mgnt.data_path.passphrase_len = 6;
        mgnt.data_path.sec_type = 2;
        output_capture capture;
        clear_data_path(&mgnt);
        EXPECT_EQ(capture.finish(), info("clear_data_path nan_status[" +
                                         std::to_string(static_cast<int>(before)) + "]\n"));
        EXPECT_EQ(mgnt.nan_status, after);
        EXPECT_EQ(mgnt.retry, 0);
        data_path_record cleared{};
        EXPECT_EQ(std::memcmp(mgnt.data_path.initiator_ndi, cleared.initiator_ndi, 6), 0);
        EXPECT_EQ(std::memcmp(mgnt.data_path.peer_nmi, cleared.peer_nmi, 6), 0);
        EXPECT_EQ(std::memcmp(mgnt.data_path.reserved1, cleared.reserved1, 6), 0);
        EXPECT_EQ(std::memcmp(mgnt.data_path.reserved2, cleared.reserved2, 6), 0);
        EXPECT_EQ(std::memcmp(mgnt.data_path.passphrase, cleared.passphrase, 17), 0);
        EXPECT_EQ(mgnt.data_path.ndp_id, 0);
        EXPECT_EQ(+mgnt.data_path.passphrase_len, 0);
        EXPECT_EQ(mgnt.data_path.sec_type, 0);
        // What the data path was configured with stays, as does the slot's own copy.
        EXPECT_EQ(mgnt.data_path.spare2[0], 0x55);
        EXPECT_STREQ(mgnt.data_path.hostname, "host0");
        EXPECT_EQ(+mgnt.data_path.port_number, 8080);
        EXPECT_NE(+mgnt.data_path.service, nullptr);
        EXPECT_STREQ(mgnt.passphrase, "secret");
        EXPECT_EQ(+mgnt.passphrase_len, 6);
    }
    clear_data_path(nullptr);
    clear_pairing_info(nullptr);
}

TEST_F(service_table_test, clear_pairing_info_keeps_configured_and_remote_fields)
{
    nan_data_mgnt &mgnt = prepare_subscriber(sec_type::pairing);
    pairing_info_record &pairing = mgnt.pairing_info;
    pairing.local_role = 1;
    std::memset(pairing.peer_nmi, 0x66, 6);
    pairing.pairing_type = 2;
    pairing.bstrap_type = 2;
    pairing.remote_nik_caching = 1;
    pairing.gtk_enable = 1;
    mgnt.nan_status = nan_status::NAN_PASN_DONE;
    output_capture capture;
    clear_pairing_info(&mgnt);
    EXPECT_EQ(capture.finish(), info("clear_pairing_info nan_status[13]\n"));
    EXPECT_EQ(pairing.local_role, 0);
    EXPECT_TRUE(is_array_empty(pairing.peer_nmi, 6));
    EXPECT_EQ(pairing.pairing_type, 0);
    EXPECT_EQ(pairing.bstrap_type, 0);
    EXPECT_EQ(+pairing.bstrap_method, 0x01);
    EXPECT_EQ(pairing.nik_caching, 1);
    EXPECT_EQ(pairing.remote_nik_caching, 1);
    EXPECT_STREQ(pairing.pw, "pairpw");
    EXPECT_EQ(pairing.pw_len, 6);
    EXPECT_EQ(pairing.gtk_enable, 1);
}

TEST(service_table_values, is_array_empty_looks_at_most_at_512_bytes)
{
    uint8_t bytes[600] = {};
    EXPECT_EQ(is_array_empty(bytes, 0), 1);
    EXPECT_EQ(is_array_empty(bytes, sizeof bytes), 1);
    bytes[511] = 1;
    EXPECT_EQ(is_array_empty(bytes, 511), 1);
    EXPECT_EQ(is_array_empty(bytes, 512), 0);
    bytes[511] = 0;
    bytes[512] = 1;
    EXPECT_EQ(is_array_empty(bytes, sizeof bytes), 1);
}
