// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// Shutdown: which data paths are ended, the order of the calls, the frees.
#include <chrono>
#include <cstdlib>
#include <cstring>

#include "events.h"
#include "lifecycle.h"
#include "process_globals.h"
#include "sdcore_double.h"
#include "service_table.h"
#include "stopping.h"
#include "test_support.h"

namespace {

using shutdown_test = nanpeer_test;
using names = std::vector<std::string>;

} // namespace

TEST_F(shutdown_test, ends_only_confirmed_paths_then_stops_the_service_and_frees)
{
    service_count = 2;
    nan_data_mgnt &confirmed = prepare_publisher(0, 1, sec_type::pairing);
    nan_data_mgnt &waiting = prepare_publisher(1, 2, sec_type::open);
    confirmed.nan_status = nan_status::NAN_DATA_CONFIRMED;
    confirmed.data_path.ndp_id = 3;
    confirmed.pairing_info.local_role = 2;
    waiting.nan_status = nan_status::NAN_DATA_REQ_SENT;
    waiting.data_path.ndp_id = 4;
    // Both text blocks of a slot, as configuration and discovery leave them.
    services.slot[0].record.textinfo = static_cast<uint8_t *>(std::calloc(4, 1));
    services.slot[0].record.textinfo_len = 4;
    confirmed.text_info = static_cast<uint8_t *>(std::calloc(4, 1));
    confirmed.text_info_len = 4;

    request_stop();
    const auto start = std::chrono::steady_clock::now();
    output_capture capture;
    shut_down(5);
    const std::string out = capture.finish();
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(900));

    EXPECT_EQ(out, info("\n!!!!!! Terminated !!!!!!\n") + info("exec_stop_script_ex \n") +
                       info("send data path end[3], \n") +
                       info("clear_pairing_info nan_status[9]\n") +
                       info("clear_data_path nan_status[9]\n"));
    EXPECT_EQ(shell_commands(), names{"svc end 0"});
    const auto calls = sdcore_double::calls();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].name, "dns_datapath_end");
    EXPECT_EQ(calls[0].number, 3);
    EXPECT_EQ(calls[1].name, "dns_stop_service");
    EXPECT_EQ(calls[1].number, 5);
    EXPECT_EQ(confirmed.nan_status, nan_status::NAN_IDLE);
    EXPECT_EQ(confirmed.pairing_info.local_role, 0);
    EXPECT_EQ(waiting.nan_status, nan_status::NAN_DATA_REQ_SENT);
    EXPECT_EQ(+confirmed.text_info, nullptr);
    EXPECT_EQ(+services.slot[0].record.textinfo, nullptr);

    // Events that come while or after stopping are dropped.
    EXPECT_EQ(
        [] {
            output_capture late;
            deliver_and_handle(DNS_DATA_END, data_end(4));
            return late.finish();
        }(),
        "");
}
