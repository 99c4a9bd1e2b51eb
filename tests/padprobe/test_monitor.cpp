// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// The monitor through the UART: frames, sequence numbers, stop and start, and requests meanwhile.
#include "server_fixture.h"

#include "padprobe/tick_latch.h"

#include <chrono>
#include <string>
#include <thread>

using namespace padprobe_test;
using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

namespace {

const std::string kAck = status_answer("ack");

std::string start_request(int samp_int, const char *flags)
{
    std::string request = R"({"type":"start","samp_int":)" + std::to_string(samp_int);
    for (int ch = 0; ch < 9; ++ch)
        request += ",\"ch" + std::to_string(ch) + "\":" + (flags[ch] == '1' ? "1" : "0");
    return request + "}";
}

std::string hex(const std::string &bytes)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    for (const char c : bytes) {
        const auto b = static_cast<uint8_t>(c);
        if (!out.empty())
            out += ' ';
        out += digits[b >> 4];
        out += digits[b & 0xF];
    }
    return out;
}

// Frames carry consecutive sequence numbers from first, and every XOR matches.
void expect_consistent(const std::vector<std::string> &frames, uint32_t first)
{
    uint32_t expected = first;
    for (const std::string &frame : frames) {
        EXPECT_EQ(sequence_of(frame), expected++);
        uint8_t check = 0;
        for (size_t i = 14; i < frame.size(); ++i)
            check = static_cast<uint8_t>(check ^ static_cast<uint8_t>(frame[i]));
        EXPECT_EQ(static_cast<uint8_t>(frame[13]), check);
        EXPECT_EQ(frame.size(), 14u + 9u * static_cast<uint8_t>(frame[8]));
    }
}

size_t frames_in(std::string_view bytes)
{
    return split_stream(bytes).frames.size();
}

} // namespace

TEST_F(ServerTest, SingleShotFrameCarriesTheWatchedChannels)
{
    dir.set(AttrGroup::channel, "chx_ave_data", "1000\n");
    dir.set(AttrGroup::channel, "chx_baseline", "1100\n");
    dir.set(AttrGroup::common, "snr_touch", "5\n");
    dir.set(AttrGroup::common, "snr_noise", "3\n");
    CaptureStdout();
    // samp_int 0: the timer fires once, so exactly one frame comes.
    EXPECT_EQ(ask(start_request(0, "101000000")), kAck);
    host.wait_for([](std::string_view bytes) { return frames_in(bytes) >= 1; });
    const std::string query = ask(R"({"type":"query"})");
    EXPECT_TRUE(contains(query, "\"status\":\t\"busy\""));
    std::this_thread::sleep_for(std::chrono::milliseconds{100});
    EXPECT_EQ(ask(R"({"type":"stop"})"), kAck);
    EXPECT_TRUE(contains(ask(R"({"type":"query"})"), "\"status\":\t\"idle\""));

    const Stream out = stream();
    EXPECT_EQ(out.order, "afaaa");
    ASSERT_EQ(out.frames.size(), 1u);
    EXPECT_EQ(hex(out.frames[0]), "64 61 74 61 01 00 00 00 02 A7 00 12 00 02 "
                                  "00 E8 03 4C 04 64 00 00 00 02 E8 03 4C 04 64 00 00 00");
    const std::string log = GetCapturedStdout();
    EXPECT_TRUE(contains(
        log, "[CAP][INFO] Monitor daemon started...\n\n[CAP][INFO] Monitor timer_start ...\n\n"
             "[CAP][INFO] Monitor timer start OK\n\n"));
    EXPECT_TRUE(contains(log, "[CAP][WARN] TX task stopped\n\n"));
    EXPECT_EQ(dir.get(AttrGroup::channel, "chx_enable"),
              "0"); // channel 8, the last one set, is off
    EXPECT_EQ(dir.get(AttrGroup::common, "ctc_enable"), "1");
}

TEST_F(ServerTest, NoChannelsStreamHeadersAndEachStartCountsFromOne)
{
    dir.set(AttrGroup::common, "snr_noise", "0\n");
    for (int run = 0; run < 2; ++run) {
        const size_t before = stream().frames.size();
        EXPECT_EQ(ask(start_request(5, "000000000")), kAck);
        host.wait_for([before](std::string_view bytes) { return frames_in(bytes) >= before + 3; });
        EXPECT_EQ(ask(R"({"type":"stop"})"), kAck);

        const Stream out = stream();
        // Nothing follows the stop's answer.
        EXPECT_EQ(out.order.back(), 'a');
        const std::vector<std::string> frames{
            out.frames.begin() + static_cast<std::ptrdiff_t>(before), out.frames.end()};
        ASSERT_GE(frames.size(), 3u);
        expect_consistent(frames, 1);
        EXPECT_EQ(hex(frames[0]), "64 61 74 61 01 00 00 00 00 FF FF 00 00 00");
    }
}

TEST_F(ServerTest, RequestsNeverFallInsideFramesAndARestartLeavesOneTxTask)
{
    dir.set(AttrGroup::channel, "chx_ave_data", "2000\n");
    dir.set(AttrGroup::channel, "chx_baseline", "1990\n");
    EXPECT_EQ(ask(start_request(1, "111111111")), kAck);
    host.wait_for([](std::string_view bytes) { return frames_in(bytes) >= 2; });
    // A start while the monitor runs replaces its TX task: numbering restarts once, without
    // duplicates.
    EXPECT_EQ(ask(start_request(1, "111111111")), kAck);
    const size_t restart = stream().frames.size();
    for (int i = 0; i < 20; ++i)
        EXPECT_TRUE(contains(ask(R"({"type":"query"})"), "\"status\":\t\"busy\""));
    host.wait_for([restart](std::string_view bytes) { return frames_in(bytes) >= restart + 5; });
    EXPECT_EQ(ask(R"({"type":"stop"})"), kAck);

    const Stream out = stream();
    EXPECT_TRUE(out.rest.empty());
    EXPECT_EQ(out.answers.size(), 23u);
    const size_t second_ack = out.order.find('a', out.order.find('a') + 1);
    size_t frames_before = 0;
    for (size_t i = 0; i < second_ack; ++i)
        frames_before += out.order[i] == 'f' ? 1 : 0;
    const std::vector<std::string> first_run{
        out.frames.begin(), out.frames.begin() + static_cast<std::ptrdiff_t>(frames_before)};
    const std::vector<std::string> second_run{
        out.frames.begin() + static_cast<std::ptrdiff_t>(frames_before), out.frames.end()};
    expect_consistent(first_run, 1);
    expect_consistent(second_run, 1);
    ASSERT_FALSE(second_run.empty());
    // Nine records, each with the difference -10.
    EXPECT_EQ(hex(second_run[0].substr(14, 9)), "00 D0 07 C6 07 F6 FF 00 00");
    EXPECT_EQ(second_run[0].size(), 14u + 81u);
}

// Ticks that come while one waits to be taken merge into it, as a pending
// signal does: a sampling thread that falls behind its timer starts again
// from the next tick instead of a backlog that only grows, and a stop does
// not have to wait for that backlog.
TEST(TickLatch, TicksMergeUntilTakenAndAStopForgetsThem)
{
    padprobe::TickLatch latch;
    ASSERT_EQ(latch.init(), 0);
    EXPECT_FALSE(latch.try_wait());
    for (int i = 0; i < 5; ++i)
        latch.signal();
    EXPECT_TRUE(latch.try_wait());
    EXPECT_FALSE(latch.try_wait());

    // Once taken, the next tick counts anew.
    latch.signal();
    EXPECT_TRUE(latch.try_wait());

    latch.signal();
    latch.signal();
    latch.clear();
    EXPECT_FALSE(latch.try_wait());
    // A tick forgotten by a stop does not hold back the next run's ticks.
    latch.signal();
    EXPECT_TRUE(latch.try_wait());

    // A wake-up without a tick leaves the latch ready for the next one.
    latch.wake();
    latch.wait();
    latch.signal();
    EXPECT_TRUE(latch.try_wait());
}
