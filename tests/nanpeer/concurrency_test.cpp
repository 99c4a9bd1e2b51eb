// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// Threads and the table: commands and pauses hold up neither the tick nor
// shutdown, a handler does not carry on with a slot taken over meanwhile,
// and events a library delivers from inside its calls are handled after.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <future>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "event_lock.h"
#include "events.h"
#include "lifecycle.h"
#include "process_globals.h"
#include "response_timer.h"
#include "sdcore_double.h"
#include "service_table.h"
#include "test_support.h"

namespace {

using concurrency_test = nanpeer_test;
using names = std::vector<std::string>;
using namespace std::chrono_literals;

bool contains(const std::string &text, const std::string &part)
{
    return text.find(part) != std::string::npos;
}

bool recorded(const std::string &command)
{
    for (const std::string &line : shell_commands()) {
        if (line == command) {
            return true;
        }
    }
    return false;
}

// Waits, generously, for a command of another thread to show up.
bool eventually_recorded(const std::string &command)
{
    const auto deadline = std::chrono::steady_clock::now() + 20s;
    while (std::chrono::steady_clock::now() < deadline) {
        if (recorded(command)) {
            return true;
        }
        std::this_thread::sleep_for(20ms);
    }
    return false;
}

template <typename Work>
std::future<void> in_background(Work work)
{
    return std::async(std::launch::async, work);
}

bool done_within(std::future<void> &work, std::chrono::milliseconds limit)
{
    return work.wait_for(limit) == std::future_status::ready;
}

// A deadlocked thread cannot be got back: end the run with a clear message.
template <typename Work>
void must_finish(const char *what, Work work)
{
    std::future<void> running = in_background(work);
    if (!done_within(running, 20s)) {
        std::fprintf(stderr, "%s never returned: deadlock\n", what);
        std::abort();
    }
}

nan_status locked_status(const nan_data_mgnt &mgnt)
{
    std::lock_guard<std::mutex> lock(event_mutex);
    return mgnt.nan_status;
}

// A start_cmd that runs until the test creates the gate file.
std::string held_command(const std::string &gate)
{
    return "svc start 0; while [ ! -e " + gate + " ]; do sleep 0.05; done";
}

} // namespace

TEST_F(concurrency_test, a_running_start_command_holds_up_neither_the_tick_nor_shutdown)
{
    nan_data_mgnt &mgnt = prepare_publisher(0, 1, sec_type::open);
    const std::string gate = test_folder() + "/gate";
    {
        std::lock_guard<std::mutex> lock(event_mutex);
        std::snprintf(services.slot[0].record.start_cmd, sizeof services.slot[0].record.start_cmd,
                      "%s", held_command(gate).c_str());
        mgnt.nan_status = nan_status::NAN_DATA_CONFIRMED;
        mgnt.data_path.ndp_id = 3;
    }
    output_capture capture;
    sdcore_double::post(DNS_DATA_ESTABLISHED, established(3));
    ASSERT_TRUE(eventually_recorded("svc start 0"));

    std::future<void> tick = in_background([] { on_response_timer(SIGUSR1); });
    const bool ticked = done_within(tick, 5s);
    stop_flag.store(1);
    std::future<void> shutdown = in_background([] { shut_down(5); });
    // The 1 s pause before dns_stop_service, and generous room.
    const bool shut = done_within(shutdown, 8s);
    write_file(gate, "");
    tick.wait();
    shutdown.wait();
    sdcore_double::wait_idle();
    const std::string out = capture.finish();

    EXPECT_TRUE(ticked) << "the tick waited for the start command";
    EXPECT_TRUE(shut) << "shutdown waited for the start command";
    EXPECT_EQ(shell_commands(), (names{"svc start 0", "svc end 0"}));
    const auto calls = sdcore_double::calls();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].name, "dns_datapath_end");
    EXPECT_EQ(calls[0].number, 3);
    EXPECT_EQ(calls[1].name, "dns_stop_service");
    EXPECT_EQ(mgnt.nan_status, nan_status::NAN_IDLE);
    EXPECT_TRUE(contains(out, info("exec_stop_script_ex \n") + info("send data path end[3], \n") +
                                  info("clear_pairing_info nan_status[9]\n") +
                                  info("clear_data_path nan_status[9]\n")))
        << out;
}

// The subscriber's confirm pauses 3 s and 2 s before its ping: shutdown
// ends the pause, and no ping follows.
TEST_F(concurrency_test, shutdown_ends_the_subscribers_pause_and_no_ping_follows)
{
    nan_data_mgnt &mgnt = prepare_subscriber(sec_type::open);
    {
        std::lock_guard<std::mutex> lock(event_mutex);
        mgnt.nan_status = nan_status::NAN_DATA_REQ_SENT;
        mgnt.data_path.ndp_id = 1;
    }
    const std::string neighbour =
        "ip -6 neigh add fe80::2aa:bbff:fecc:ddee lladdr 00:aa:bb:cc:dd:ee dev nan0";
    output_capture capture;
    sdcore_double::post(DNS_DATA_CONFIRM, confirm(1, 0));
    ASSERT_TRUE(eventually_recorded(neighbour));

    const auto stopped_at = std::chrono::steady_clock::now();
    stop_flag.store(1);
    std::future<void> shutdown = in_background([] { shut_down(0); });
    sdcore_double::wait_idle();
    // Shutdown wakes the pause at once; what remained of it was about 3 s.
    const auto handler_done = std::chrono::steady_clock::now() - stopped_at;
    const bool shut = done_within(shutdown, 4s);
    shutdown.wait();
    capture.finish();

    EXPECT_LT(handler_done, 2s) << "the pause went on after shutdown began";
    EXPECT_TRUE(shut) << "shutdown waited for the pause";
    EXPECT_EQ(shell_commands(),
              (names{"ip -6 neigh del fe80::2aa:bbff:fecc:ddee lladdr 00:aa:bb:cc:dd:ee dev nan0",
                     neighbour, "svc end 0"}));
    EXPECT_EQ(mgnt.nan_status, nan_status::NAN_IDLE);
}

// Two threads of a library may deliver at once: a data path end that comes
// while the confirm handler pauses takes the slot over, and the confirm
// handler, once its pause is over, leaves the ended data path alone.
TEST_F(concurrency_test, a_handler_does_not_carry_on_with_a_slot_taken_over_meanwhile)
{
    nan_data_mgnt &mgnt = prepare_subscriber(sec_type::open);
    {
        std::lock_guard<std::mutex> lock(event_mutex);
        mgnt.nan_status = nan_status::NAN_DATA_REQ_SENT;
        mgnt.data_path.ndp_id = 1;
    }
    output_capture capture;
    sdcore_double::post(DNS_DATA_CONFIRM, confirm(1, 0));
    ASSERT_TRUE(eventually_recorded(
        "ip -6 neigh add fe80::2aa:bbff:fecc:ddee lladdr 00:aa:bb:cc:dd:ee dev nan0"));
    // The confirm handler is in its 3 s pause, without the lock.
    dns_data_end_record end = data_end(1);
    must_finish("a data path end during the pause",
                [&end] { on_dns_event(DNS_DATA_END, &end, sizeof end); });
    EXPECT_EQ(locked_status(mgnt), nan_status::NAN_IDLE);
    sdcore_double::wait_idle();
    const std::string out = capture.finish();

    EXPECT_TRUE(contains(out, info("dns_evt_data_end, ndp_id[1]\n"))) << out;
    EXPECT_FALSE(contains(out, "ping6")) << out;
    EXPECT_EQ(shell_commands().back(), "svc end 0");
    EXPECT_EQ(mgnt.nan_status, nan_status::NAN_IDLE);
}

// A library may report at once, from inside the call that caused the event.
// The event waits until the call and the handler step that made it are
// over: the confirm is taken in NAN_DATA_RSP_SENT and deletes the timer the
// indication armed.
TEST_F(concurrency_test, an_event_from_inside_a_call_is_handled_after_the_step_that_made_it)
{
    nan_data_mgnt &mgnt = prepare_publisher(0, 1, sec_type::pmk);
    sdcore_double::deliver_from_inside("dns_datapath_rsp", DNS_DATA_CONFIRM, confirm(5, 0));
    output_capture capture;
    must_finish("an indication whose response reports the confirm at once",
                [] { sdcore_double::deliver(DNS_DATA_INDICATION, indication(1, 5, 1)); });
    const std::string out = capture.finish();

    EXPECT_EQ(mgnt.nan_status, nan_status::NAN_DATA_CONFIRMED);
    EXPECT_FALSE(timer_armed());
    const std::size_t rsp_sent_confirm = out.find(info("dns_evt_data_confirm, nan_status[3]\n"));
    EXPECT_NE(rsp_sent_confirm, std::string::npos) << out;
    EXPECT_LT(out.find(info("DNS_DATA_INDICATION\n")), out.find(info("DNS_DATA_CONFIRM\n")));
    EXPECT_EQ(sdcore_double::call_names(), names{"dns_datapath_rsp"});
}

// DNS_DATA_END from inside dns_datapath_end: after a give-up the tick has
// cleared the slot when the event is handled; during shutdown it is dropped
// like any other event, so the end command runs once.
TEST_F(concurrency_test, a_data_path_end_from_inside_dns_datapath_end_follows_the_step)
{
    nan_data_mgnt &mgnt = prepare_subscriber(sec_type::pmk);
    {
        std::lock_guard<std::mutex> lock(event_mutex);
        mgnt.nan_status = nan_status::NAN_DATA_REQ_SENT;
        mgnt.data_path.ndp_id = 1;
        arm_response_timer(mgnt);
    }
    sdcore_double::deliver_from_inside("dns_datapath_end", DNS_DATA_END, data_end(1));
    std::string out;
    must_finish("four ticks", [&out] {
        output_capture capture;
        for (int tick = 0; tick < 4; ++tick) {
            on_response_timer(SIGUSR1);
        }
        out = capture.finish();
    });
    EXPECT_EQ(out, info("Data rsp not receive! nan_status[1],retry[4],send data path end[1]\n") +
                       info("clear_data_path nan_status[1]\n") + info("DNS_DATA_END\n") +
                       warning("get_nan_data_mgnt_by_ndp_id nan_data_mgnt not found, ndp_id=1\n"));
    EXPECT_EQ(shell_commands(), names{});

    {
        std::lock_guard<std::mutex> lock(event_mutex);
        mgnt.nan_status = nan_status::NAN_DATA_CONFIRMED;
        mgnt.data_path.ndp_id = 2;
    }
    sdcore_double::deliver_from_inside("dns_datapath_end", DNS_DATA_END, data_end(2));
    stop_flag.store(1);
    must_finish("shutdown", [&out] {
        output_capture capture;
        shut_down(0);
        out = capture.finish();
    });
    EXPECT_FALSE(contains(out, "DNS_DATA_END")) << out;
    EXPECT_EQ(shell_commands(), names{"svc end 0"});
    EXPECT_EQ(mgnt.nan_status, nan_status::NAN_IDLE);
}
