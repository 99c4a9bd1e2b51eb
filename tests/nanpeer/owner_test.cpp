// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// The owner and the event ring: events and ticks in the order they arrived,
// events from inside library calls, give-ups of two services, a full ring,
// events after the stop, records of any length, and the owner thread's
// hand-overs at start and at shutdown.
#include <chrono>
#include <climits>
#include <cstring>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include "event_ring.h"
#include "events.h"
#include "owner.h"
#include "process_globals.h"
#include "response_timer.h"
#include "sdcore_double.h"
#include "service_table.h"
#include "stopping.h"
#include "test_support.h"

namespace {

using owner_test = nanpeer_test;
using names = std::vector<std::string>;
using namespace std::chrono_literals;

constexpr uint32_t kUnknownId = 6;
constexpr uint32_t kOtherUnknownId = 7;
constexpr uint8_t kSomeBytes[3] = {1, 2, 3};

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
        std::this_thread::sleep_for(10ms);
    }
    return false;
}

bool eventually_called(const std::string &name)
{
    const auto deadline = std::chrono::steady_clock::now() + 20s;
    while (std::chrono::steady_clock::now() < deadline) {
        for (const std::string &call : sdcore_double::call_names()) {
            if (call == name) {
                return true;
            }
        }
        std::this_thread::sleep_for(10ms);
    }
    return false;
}

// Whether the parts appear in the text in this order.
bool in_order(const std::string &text, const std::vector<std::string> &parts)
{
    std::size_t from = 0;
    for (const std::string &part : parts) {
        const std::size_t at = text.find(part, from);
        if (at == std::string::npos) {
            return false;
        }
        from = at + part.size();
    }
    return true;
}

std::string unknown(uint32_t id)
{
    return info("[nanpeer]unknow dns event id (" + std::to_string(id) + ")\n");
}

// Moves the clock on and handles what fell due, as the owner would.
std::string after(std::chrono::nanoseconds wait)
{
    output_capture capture;
    advance_clock(wait);
    handle_pending_messages();
    return capture.finish();
}

template <typename Record>
void quietly_deliver(uint32_t event_id, const Record &record)
{
    output_capture quiet;
    deliver_and_handle(event_id, record);
}

} // namespace

// A library may report at once, from inside the call the owner makes: the
// events wait until the handler that made the call has returned, and keep
// their order. The confirm is taken in NAN_DATA_RSP_SENT and deletes the
// timer the indication armed.
TEST_F(owner_test, events_from_inside_a_call_follow_the_handler_that_made_it_in_order)
{
    nan_data_mgnt &mgnt = prepare_publisher(0, 1, sec_type::pmk);
    sdcore_double::deliver_from_inside("dns_datapath_rsp", DNS_DATA_CONFIRM, confirm(5, 0));
    sdcore_double::deliver_from_inside("dns_datapath_rsp", DNS_DATA_ESTABLISHED, established(5));
    output_capture capture;
    deliver_and_handle(DNS_DATA_INDICATION, indication(1, 5, 1));
    const std::string out = capture.finish();

    EXPECT_TRUE(in_order(out, {info("DNS_DATA_INDICATION\n"), info("DNS_DATA_CONFIRM\n"),
                               info("dns_evt_data_confirm, nan_status[3]\n"),
                               info("DNS_DATA_ESTABLISHED\n")}))
        << out;
    EXPECT_EQ(mgnt.nan_status, nan_status::NAN_DATA_CONFIRMED);
    EXPECT_FALSE(timer_armed());
    EXPECT_EQ(sdcore_double::call_names(), names{"dns_datapath_rsp"});
    EXPECT_EQ(shell_commands().back(), "svc start 0");
}

// Two secured responders share the timer. The first gives up on the fourth
// tick after its arming; the second, armed two ticks later, counted on
// from there until the first's give-up deleted the timer, and gives up on
// the first tick after the first slot's next arming. Each give-up's
// dns_datapath_end reports the data path's end from inside the call: the
// event is handled after the tick, and finds the slot already cleared.
TEST_F(owner_test, two_services_whose_give_ups_interleave)
{
    service_count = 2;
    nan_data_mgnt &first = prepare_publisher(0, 1, sec_type::pmk);
    nan_data_mgnt &second = prepare_publisher(1, 2, sec_type::pmk);
    quietly_deliver(DNS_DATA_INDICATION, indication(1, 3, 1));
    after(5s);
    after(2s);
    quietly_deliver(DNS_DATA_INDICATION, indication(2, 4, 1));
    after(5s);
    after(5s);
    EXPECT_EQ(first.retry, 3);
    EXPECT_EQ(second.retry, 2);

    sdcore_double::deliver_from_inside("dns_datapath_end", DNS_DATA_END, data_end(3));
    EXPECT_EQ(after(5s),
              info("Data confirm not receive! nan_status[3],retry[4],send data path end[3]\n") +
                  info("clear_data_path nan_status[3]\n") + info("DNS_DATA_END\n") +
                  warning("get_nan_data_mgnt_by_ndp_id nan_data_mgnt not found, ndp_id=3\n"));
    EXPECT_EQ(first.nan_status, nan_status::NAN_IDLE);
    EXPECT_EQ(second.retry, 3);
    EXPECT_FALSE(timer_armed());
    EXPECT_EQ(after(30s), "");

    quietly_deliver(DNS_DATA_INDICATION, indication(1, 5, 1));
    sdcore_double::deliver_from_inside("dns_datapath_end", DNS_DATA_END, data_end(4));
    EXPECT_EQ(after(5s),
              info("Data confirm not receive! nan_status[3],retry[4],send data path end[4]\n") +
                  info("clear_data_path nan_status[3]\n") + info("DNS_DATA_END\n") +
                  warning("get_nan_data_mgnt_by_ndp_id nan_data_mgnt not found, ndp_id=4\n"));
    EXPECT_EQ(second.nan_status, nan_status::NAN_IDLE);
    EXPECT_EQ(first.nan_status, nan_status::NAN_DATA_RSP_SENT);
    EXPECT_EQ(first.retry, 1);
    EXPECT_FALSE(timer_armed());
    const auto calls = sdcore_double::calls();
    ASSERT_EQ(calls.size(), 5u);
    EXPECT_EQ(calls[2].name, "dns_datapath_end");
    EXPECT_EQ(calls[2].number, 3);
    EXPECT_EQ(calls[4].name, "dns_datapath_end");
    EXPECT_EQ(calls[4].number, 4);
}

// A start command holds the owner up. A tick that falls due meanwhile waits
// like the events that arrive meanwhile, and comes between them in the
// order of arrival: the event from before it, the tick (a give-up), the
// event from after it.
TEST_F(owner_test, a_tick_that_falls_due_while_a_handler_waits_comes_in_arrival_order)
{
    service_count = 2;
    nan_data_mgnt &running = prepare_publisher(0, 1, sec_type::open);
    running.nan_status = nan_status::NAN_DATA_CONFIRMED;
    running.data_path.ndp_id = 3;
    nan_data_mgnt &waiting = prepare_publisher(1, 2, sec_type::pmk);
    quietly_deliver(DNS_DATA_INDICATION, indication(2, 4, 1));
    after(15s);
    ASSERT_EQ(waiting.retry, 3);

    hold_stand_in("svc");
    sdcore_double::deliver(DNS_DATA_ESTABLISHED, established(3));
    std::future<void> meanwhile = std::async(std::launch::async, [] {
        if (eventually_recorded("svc start 0")) {
            sdcore_double::deliver(kUnknownId, kSomeBytes, sizeof kSomeBytes);
            advance_clock(5s);
            sdcore_double::deliver(kOtherUnknownId, kSomeBytes, sizeof kSomeBytes);
        }
        release_stand_in("svc");
    });
    output_capture capture;
    handle_pending_messages();
    meanwhile.get();
    const std::string out = capture.finish();

    EXPECT_TRUE(in_order(
        out, {info("exec_start_script \n"), unknown(kUnknownId),
              info("Data confirm not receive! nan_status[3],retry[4],send data path end[4]\n"),
              info("clear_data_path nan_status[3]\n"), unknown(kOtherUnknownId)}))
        << out;
    EXPECT_EQ(waiting.nan_status, nan_status::NAN_IDLE);
}

// A handler that re-arms the timer after a tick of the earlier arming fell
// due during its wait: that tick is gone, and the next comes 5 s after the
// new arming.
TEST_F(owner_test, a_re_arm_discards_a_tick_that_fell_due_while_its_handler_waited)
{
    service_count = 2;
    nan_data_mgnt &requesting = prepare_publisher(0, 1, sec_type::pmk);
    nan_data_mgnt &waiting = prepare_publisher(1, 2, sec_type::pairing);
    quietly_deliver(DNS_BSTRAP_RESULT, bstrap_result(0, 9, 2, 2, 1));
    ASSERT_EQ(waiting.nan_status, nan_status::NAN_PASN_STARTED);
    after(3s);

    hold_stand_in("ip");
    sdcore_double::deliver(DNS_DISCOVERY_RESULT, discovery(1, 1));
    std::future<void> meanwhile = std::async(std::launch::async, [] {
        if (eventually_recorded("ip -6 address add fe80::200:ff:fe00:0/64 dev nan0")) {
            advance_clock(3s);
        }
        release_stand_in("ip");
    });
    {
        output_capture quiet;
        handle_pending_messages();
    }
    meanwhile.get();
    ASSERT_EQ(requesting.nan_status, nan_status::NAN_DATA_REQ_SENT);
    EXPECT_EQ(waiting.retry, 0);
    EXPECT_EQ(requesting.retry, 0);

    after(4990ms);
    EXPECT_EQ(waiting.retry, 0);
    after(20ms);
    EXPECT_EQ(waiting.retry, 1);
    EXPECT_EQ(requesting.retry, 1);
}

// The ring holds 32 events; the 33rd is dropped with one warning that names
// it, and the ring takes events again once the owner has handled some.
TEST_F(owner_test, a_full_ring_drops_an_event_with_one_warning_naming_it)
{
    output_capture capture;
    for (std::size_t count = 0; count < kEventRingSize; ++count) {
        sdcore_double::deliver(kUnknownId, kSomeBytes, sizeof kSomeBytes);
    }
    sdcore_double::deliver(kOtherUnknownId, kSomeBytes, sizeof kSomeBytes);
    handle_pending_messages();
    deliver_and_handle(kOtherUnknownId, kSomeBytes, sizeof kSomeBytes);
    const std::string out = capture.finish();

    std::string expected = warning("event ring full, event id 7 dropped\n");
    for (std::size_t count = 0; count < kEventRingSize; ++count) {
        expected += unknown(kUnknownId);
    }
    EXPECT_EQ(out, expected + unknown(kOtherUnknownId));
}

// Once nanpeer is stopping, an event still in the ring is dropped by the
// owner, and a new one is not even queued; neither prints anything.
TEST_F(owner_test, events_after_the_stop_are_dropped)
{
    nan_data_mgnt &mgnt = prepare_subscriber(sec_type::open);
    const nan_data_mgnt before = mgnt;
    sdcore_double::deliver(DNS_DISCOVERY_RESULT, discovery(9));
    request_stop();
    output_capture capture;
    handle_pending_messages();
    sdcore_double::deliver(DNS_DATA_END, data_end(1));
    int64_t posted_at = 0;
    EXPECT_FALSE(event_ring_front_time(posted_at)) << "an event was queued after the stop";
    handle_pending_messages();
    EXPECT_EQ(capture.finish(), "");
    EXPECT_EQ(std::memcmp(&before, &mgnt, sizeof before), 0);
    EXPECT_TRUE(sdcore_double::calls().empty());
    EXPECT_TRUE(shell_commands().empty());
}

// Lengths no record has: one byte more than the largest, far more, and
// negative ones. Each is refused by its handler as a wrong length; the
// callback copies none of the bytes (the double hands over a block of
// exactly that length, so reading past it is caught under ASan).
TEST_F(owner_test, records_of_lengths_no_record_has_are_refused_by_their_handlers)
{
    nan_data_mgnt &mgnt = prepare_subscriber(sec_type::open);
    const nan_data_mgnt before = mgnt;
    struct expectation {
        uint32_t id;
        std::string first_lines;
        const char *bang; // every error line but the discovery's ends in "!"
    };
    const expectation kinds[] = {
        {DNS_DISCOVERY_RESULT, info("DNS_DISCOVERY_RESULT\n"), ""},
        {DNS_DATA_INDICATION, info("DNS_DATA_INDICATION\n"), "!"},
        {DNS_DATA_CONFIRM, info("DNS_DATA_CONFIRM\n"), "!"},
        {DNS_DATA_ESTABLISHED, info("DNS_DATA_ESTABLISHED\n") + info("exec_start_script \n"), "!"},
        {DNS_BSTRAP_RESULT, info("DNS_BSTRAP_RESULT\n"), "!"},
        {DNS_PASN_RESULT, info("DNS_PASN_RESULT\n"), "!"},
        {DNS_DATA_END, info("DNS_DATA_END\n"), "!"},
    };
    for (const int length : {static_cast<int>(kLargestEventRecord) + 1, 100000, -1, INT_MIN}) {
        std::vector<uint8_t> block(length > 0 ? static_cast<std::size_t>(length) : 0, 0xa5);
        for (const expectation &kind : kinds) {
            char error[64];
            std::snprintf(error, sizeof error, "info or len(%d) error%s\n", length, kind.bang);
            output_capture capture;
            deliver_and_handle(kind.id, block.data(), length);
            EXPECT_EQ(capture.finish(), kind.first_lines + info(error))
                << "id " << kind.id << ", length " << length;
        }
    }
    EXPECT_EQ(std::memcmp(&before, &mgnt, sizeof before), 0);
    EXPECT_TRUE(sdcore_double::calls().empty());
    EXPECT_TRUE(shell_commands().empty());
}

// The owner thread: an event queued before owner_begin() (as from inside
// dns_publish) waits for it; stopping cuts short the wait for a start
// command, which is left running; shutdown then runs on the owner, each of
// its steps once.
TEST_F(owner_test, the_owner_thread_begins_when_told_and_shuts_down_after_a_cut_short_wait)
{
    nan_data_mgnt &mgnt = prepare_publisher(0, 1, sec_type::open);
    const std::string gate = test_folder() + "/gate";
    std::snprintf(services.slot[0].record.start_cmd, sizeof services.slot[0].record.start_cmd,
                  "svc start 0; while [ ! -e %s ]; do sleep 0.01; done; svc start done",
                  gate.c_str());
    output_capture capture;
    ASSERT_EQ(owner_start(), 0);
    sdcore_double::deliver(DNS_DATA_INDICATION, indication(1, 3, 0));
    std::this_thread::sleep_for(200ms);
    EXPECT_TRUE(sdcore_double::calls().empty()) << "an event was handled before owner_begin()";

    owner_begin();
    EXPECT_TRUE(eventually_called("dns_datapath_rsp"));
    sdcore_double::deliver(DNS_DATA_CONFIRM, confirm(3, 0));
    sdcore_double::deliver(DNS_DATA_ESTABLISHED, established(3));
    ASSERT_TRUE(eventually_recorded("svc start 0"));
    const auto stopped_at = std::chrono::steady_clock::now();
    request_stop();
    std::future<void> shutdown = std::async(std::launch::async, [] { owner_shut_down(5); });
    // Shutdown's 1 s pause, and room to spare.
    const bool prompt = shutdown.wait_for(1800ms) == std::future_status::ready;
    const auto took = std::chrono::steady_clock::now() - stopped_at;
    write_file(gate, "");
    shutdown.get();
    const bool left_running = eventually_recorded("svc start done");
    const std::string out = capture.finish();

    EXPECT_TRUE(prompt) << "shutdown took " << took.count() << " ns: " << out;
    EXPECT_TRUE(left_running);
    EXPECT_TRUE(in_order(out, {info("exec_start_script \n"), info("\n!!!!!! Terminated !!!!!!\n"),
                               info("exec_stop_script_ex \n"), info("send data path end[3], \n")}))
        << out;
    EXPECT_EQ(sdcore_double::call_names(),
              (names{"dns_datapath_rsp", "dns_datapath_end", "dns_stop_service"}));
    std::size_t end_commands = 0;
    for (const std::string &line : shell_commands()) {
        end_commands += line == "svc end 0" ? 1 : 0;
    }
    EXPECT_EQ(end_commands, 1u);
    EXPECT_EQ(mgnt.nan_status, nan_status::NAN_IDLE);
}
