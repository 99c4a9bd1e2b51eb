// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// The response timer: four-tick give-ups driven tick by tick, and the due
// times the owner handles the ticks at.
#include <chrono>

#include "events.h"
#include "owner.h"
#include "process_globals.h"
#include "response_timer.h"
#include "sdcore_double.h"
#include "service_table.h"
#include "test_support.h"

namespace {

using response_timer_test = nanpeer_test;
using names = std::vector<std::string>;

std::string ticks(int count)
{
    output_capture capture;
    for (int i = 0; i < count; ++i) {
        on_response_timer();
    }
    return capture.finish();
}

void arm(nan_data_mgnt &mgnt, nan_status state)
{
    mgnt.nan_status = state;
    arm_response_timer(mgnt);
}

using namespace std::chrono_literals;

// Moves the clock on and handles what fell due, as the owner would.
std::string after(std::chrono::nanoseconds wait)
{
    output_capture capture;
    advance_clock(wait);
    handle_pending_messages();
    return capture.finish();
}

} // namespace

TEST_F(response_timer_test, unanswered_data_path_request_is_ended_on_the_fourth_tick)
{
    nan_data_mgnt &mgnt = prepare_subscriber(sec_type::pmk);
    mgnt.data_path.ndp_id = 1;
    arm(mgnt, nan_status::NAN_DATA_REQ_SENT);
    EXPECT_EQ(ticks(3), "");
    EXPECT_EQ(mgnt.retry, 3);
    EXPECT_TRUE(timer_armed());
    EXPECT_EQ(ticks(1),
              info("Data rsp not receive! nan_status[1],retry[4],send data path end[1]\n") +
                  info("clear_data_path nan_status[1]\n"));
    const auto calls = sdcore_double::calls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].name, "dns_datapath_end");
    EXPECT_EQ(calls[0].number, 1);
    EXPECT_EQ(mgnt.nan_status, nan_status::NAN_IDLE);
    EXPECT_EQ(mgnt.retry, 0);
    EXPECT_FALSE(timer_armed());
}

TEST_F(response_timer_test, responder_gives_up_only_a_secured_data_path)
{
    nan_data_mgnt &mgnt = prepare_publisher(0, 1, sec_type::pmk);
    mgnt.data_path.ndp_id = 6;
    mgnt.data_path.sec_type = 1;
    arm(mgnt, nan_status::NAN_DATA_RSP_SENT);
    EXPECT_EQ(ticks(4),
              info("Data confirm not receive! nan_status[3],retry[4],send data path end[6]\n") +
                  info("clear_data_path nan_status[3]\n"));
    EXPECT_EQ(sdcore_double::call_names(), names{"dns_datapath_end"});
    EXPECT_EQ(mgnt.nan_status, nan_status::NAN_IDLE);

    // Open: the slot stays, only the timer ends.
    sdcore_double::reset();
    mgnt.data_path.ndp_id = 6;
    mgnt.data_path.sec_type = 0;
    arm(mgnt, nan_status::NAN_DATA_RSP_SENT);
    EXPECT_EQ(ticks(4), "");
    EXPECT_EQ(mgnt.nan_status, nan_status::NAN_DATA_RSP_SENT);
    EXPECT_FALSE(timer_armed());
    EXPECT_TRUE(sdcore_double::calls().empty());
}

TEST_F(response_timer_test, unanswered_bootstrapping_and_pasn_clear_without_ending_a_data_path)
{
    nan_data_mgnt &mgnt = prepare_subscriber(sec_type::pairing);
    mgnt.pairing_info.local_role = 1;
    arm(mgnt, nan_status::NAN_BSTRAP_REQ_SENT);
    EXPECT_EQ(ticks(4), info("Boostrapping method result not receive! nan_status[10], retry[4]\n") +
                            info("clear_pairing_info nan_status[10]\n") +
                            info("clear_data_path nan_status[10]\n"));
    EXPECT_EQ(mgnt.nan_status, nan_status::NAN_IDLE);
    EXPECT_EQ(mgnt.pairing_info.local_role, 0);

    arm(mgnt, nan_status::NAN_PASN_STARTED);
    EXPECT_EQ(ticks(4), info("PASN result not receive! nan_status[12],retry[4]\n") +
                            info("clear_pairing_info nan_status[12]\n") +
                            info("clear_data_path nan_status[12]\n"));
    EXPECT_EQ(mgnt.nan_status, nan_status::NAN_IDLE);
    EXPECT_TRUE(sdcore_double::calls().empty());
    EXPECT_FALSE(timer_armed());
}

TEST_F(response_timer_test,
       request_without_ndp_id_only_ends_the_timer_and_no_services_means_no_change)
{
    nan_data_mgnt &mgnt = prepare_subscriber(sec_type::pmk);
    arm(mgnt, nan_status::NAN_DATA_REQ_SENT);
    EXPECT_EQ(ticks(4), "");
    EXPECT_EQ(mgnt.nan_status, nan_status::NAN_DATA_REQ_SENT);
    EXPECT_EQ(mgnt.retry, 4);
    EXPECT_FALSE(timer_armed());

    arm(mgnt, nan_status::NAN_DATA_REQ_SENT);
    service_count = 0;
    EXPECT_EQ(ticks(5), "");
    EXPECT_EQ(mgnt.retry, 0);
    EXPECT_TRUE(timer_armed());
}

TEST_F(response_timer_test, answer_after_three_ticks_is_handled_and_ends_the_timer)
{
    // A publisher's confirm sets addresses without the subscriber's ping pause.
    nan_data_mgnt &mgnt = prepare_publisher(0, 1, sec_type::pmk);
    {
        output_capture quiet;
        deliver_and_handle(DNS_DISCOVERY_RESULT, discovery(1, 1));
    }
    ASSERT_EQ(mgnt.nan_status, nan_status::NAN_DATA_REQ_SENT);
    ticks(3);
    {
        output_capture quiet;
        deliver_and_handle(DNS_DATA_CONFIRM, confirm(1, 0));
    }
    EXPECT_EQ(mgnt.nan_status, nan_status::NAN_DATA_CONFIRMED);
    EXPECT_FALSE(timer_armed());
}

TEST_F(response_timer_test, a_slot_that_stopped_waiting_still_counts_and_ends_the_timer)
{
    service_count = 2;
    nan_data_mgnt &idle = prepare_publisher(0, 1, sec_type::pairing);
    nan_data_mgnt &waiting = prepare_publisher(1, 2, sec_type::pairing);
    arm(idle, nan_status::NAN_PASN_STARTED);
    ticks(2);
    idle.nan_status = nan_status::NAN_PASN_DONE; // answered
    arm(waiting, nan_status::NAN_PASN_STARTED);
    EXPECT_EQ(ticks(2), "");
    EXPECT_EQ(idle.retry, 4);
    EXPECT_EQ(waiting.retry, 2);
    EXPECT_EQ(waiting.nan_status, nan_status::NAN_PASN_STARTED);
    EXPECT_FALSE(timer_armed());
}

// The first tick falls due 5 s after the arming and one every 5 s after
// that, counted from the due times; a confirm deletes the timer.
TEST_F(response_timer_test, ticks_fall_due_every_five_seconds_from_the_arming)
{
    // A publisher's confirm sets addresses without the subscriber's ping pause.
    nan_data_mgnt &mgnt = prepare_publisher(0, 1, sec_type::pmk);
    {
        output_capture quiet;
        deliver_and_handle(DNS_DISCOVERY_RESULT, discovery(1, 1));
    }
    ASSERT_TRUE(timer_armed());
    after(4990ms);
    EXPECT_EQ(mgnt.retry, 0);
    // The first tick, handled 1 s late: the next is still due 5 s after it
    // fell due, not 5 s after it was handled.
    after(1020ms);
    EXPECT_EQ(mgnt.retry, 1);
    after(3970ms);
    EXPECT_EQ(mgnt.retry, 1);
    after(40ms);
    EXPECT_EQ(mgnt.retry, 2);

    {
        output_capture quiet;
        deliver_and_handle(DNS_DATA_CONFIRM, confirm(1, 0));
    }
    EXPECT_FALSE(timer_armed());
    after(60s);
    EXPECT_EQ(mgnt.retry, 2);
}

// Ticks that fell due while the owner was busy are late, not lost: a
// give-up still comes on the fourth, and after it no further tick counts.
TEST_F(response_timer_test, overdue_ticks_all_count_up_to_the_give_up)
{
    nan_data_mgnt &mgnt = prepare_subscriber(sec_type::pmk);
    {
        output_capture quiet;
        deliver_and_handle(DNS_DISCOVERY_RESULT, discovery(9, 1));
    }
    ASSERT_EQ(mgnt.nan_status, nan_status::NAN_DATA_REQ_SENT);
    EXPECT_EQ(after(31s),
              info("Data rsp not receive! nan_status[1],retry[4],send data path end[1]\n") +
                  info("clear_data_path nan_status[1]\n"));
    EXPECT_EQ(mgnt.retry, 0);
    EXPECT_FALSE(timer_armed());
}
