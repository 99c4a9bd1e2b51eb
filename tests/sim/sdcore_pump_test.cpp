// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// The simulated NAN library's event thread: order, replacement, delays, a
// full queue, and stopping while the application's callback is busy.
#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include "event_pump.h"

using namespace sdcore_sim;
using namespace std::chrono_literals;

namespace {
struct delivered {
    uint32_t id;
    uint8_t first_byte;
    std::thread::id thread;
};

std::mutex seen_mutex;
std::condition_variable seen_changed;
std::vector<delivered> seen;
std::atomic<bool> hold_callback{false};
std::atomic<bool> callback_entered{false};
event_pump *stop_from_callback = nullptr;
std::atomic<int> stop_result{1};

void recording_callback(uint32_t id, void *record, int)
{
    callback_entered = true;
    while (hold_callback)
        std::this_thread::sleep_for(5ms);
    if (stop_from_callback != nullptr)
        stop_result = stop_from_callback->stop(5000);
    std::lock_guard lock(seen_mutex);
    seen.push_back({id, static_cast<uint8_t *>(record)[0], std::this_thread::get_id()});
    seen_changed.notify_all();
}

bool wait_for_count(std::size_t count)
{
    std::unique_lock lock(seen_mutex);
    return seen_changed.wait_for(lock, 10s, [&] { return seen.size() >= count; });
}

class Pump : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::lock_guard lock(seen_mutex);
        seen.clear();
        hold_callback = false;
        callback_entered = false;
        stop_from_callback = nullptr;
        pump_.set_callback(&recording_callback);
    }
    void TearDown() override
    {
        hold_callback = false;
        pump_.stop(5000);
    }
    int post(uint32_t id, uint8_t byte, uint32_t delay_ms = 0, uint64_t key = 0)
    {
        return pump_.post(id, &byte, 1, delay_ms, key);
    }
    event_pump pump_;
};
} // namespace

TEST_F(Pump, DeliversInOrderOnItsOwnThread)
{
    ASSERT_EQ(pump_.start(), 0);
    EXPECT_FALSE(pump_.on_event_thread());
    for (uint8_t i = 0; i < 5; ++i)
        ASSERT_EQ(post(i, i), 0);
    ASSERT_TRUE(wait_for_count(5));
    std::lock_guard lock(seen_mutex);
    for (uint8_t i = 0; i < 5; ++i) {
        EXPECT_EQ(seen[i].id, i);
        EXPECT_NE(seen[i].thread, std::this_thread::get_id()) << "never on the caller's thread";
    }
}

TEST_F(Pump, ReplacesQueuedEventsWithTheSameKey)
{
    ASSERT_EQ(pump_.start(), 0);
    hold_callback = true;
    ASSERT_EQ(post(1, 10), 0);
    while (!callback_entered)
        std::this_thread::sleep_for(1ms);
    // The thread is busy with event 1: these queue up behind it.
    ASSERT_EQ(post(0, 20, 0, 77), 0);
    ASSERT_EQ(post(2, 30), 0);
    ASSERT_EQ(post(0, 21, 0, 77), 0); // replaces 20 in its place
    hold_callback = false;
    ASSERT_TRUE(wait_for_count(3));
    std::this_thread::sleep_for(50ms);
    std::lock_guard lock(seen_mutex);
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[1].first_byte, 21);
    EXPECT_EQ(seen[2].first_byte, 30);
}

TEST_F(Pump, DelaysHoldLaterEventsBack)
{
    ASSERT_EQ(pump_.start(), 0);
    const auto posted = std::chrono::steady_clock::now();
    ASSERT_EQ(post(1, 1, 300), 0);
    ASSERT_EQ(post(2, 2), 0);
    ASSERT_TRUE(wait_for_count(2));
    EXPECT_GE(std::chrono::steady_clock::now() - posted, 300ms);
    std::lock_guard lock(seen_mutex);
    EXPECT_EQ(seen[0].id, 1u);
    EXPECT_EQ(seen[1].id, 2u);
}

TEST_F(Pump, RefusesWhenFullOrStoppedOrTooLong)
{
    uint8_t big[event_pump::kMaxRecord + 1] = {};
    EXPECT_EQ(post(1, 1), -ESHUTDOWN) << "not started";
    ASSERT_EQ(pump_.start(), 0);
    EXPECT_EQ(pump_.post(1, big, sizeof big, 0, 0), -EINVAL);
    hold_callback = true;
    ASSERT_EQ(post(0, 0), 0);
    while (!callback_entered)
        std::this_thread::sleep_for(1ms);
    for (std::size_t i = 0; i < event_pump::kCapacity; ++i)
        ASSERT_EQ(post(1, 1), 0);
    EXPECT_EQ(post(1, 1), -ENOSPC);
    hold_callback = false;
    EXPECT_EQ(pump_.stop(5000), 0);
    EXPECT_EQ(post(1, 1), -ESHUTDOWN);
}

TEST_F(Pump, StopDoesNotHangOnABusyCallback)
{
    ASSERT_EQ(pump_.start(), 0);
    hold_callback = true;
    ASSERT_EQ(post(1, 1), 0);
    ASSERT_EQ(post(2, 2), 0);
    while (!callback_entered)
        std::this_thread::sleep_for(1ms);
    const auto asked = std::chrono::steady_clock::now();
    EXPECT_EQ(pump_.stop(100), -ETIMEDOUT);
    EXPECT_LT(std::chrono::steady_clock::now() - asked, 3s);
    EXPECT_EQ(pump_.start(), -EBUSY) << "the old thread is still in the callback";
    hold_callback = false;
    std::this_thread::sleep_for(100ms);
    std::lock_guard lock(seen_mutex);
    EXPECT_EQ(seen.size(), 1u) << "queued events are discarded at stop";
}

TEST_F(Pump, StopFromInsideTheCallbackReturnsAtOnce)
{
    ASSERT_EQ(pump_.start(), 0);
    stop_from_callback = &pump_;
    ASSERT_EQ(post(1, 1), 0);
    ASSERT_TRUE(wait_for_count(1));
    EXPECT_EQ(stop_result.load(), -ETIMEDOUT);
    // The thread has ended by itself; a new start works.
    stop_from_callback = nullptr;
    for (int i = 0; i < 200 && pump_.start() == -EBUSY; ++i)
        std::this_thread::sleep_for(10ms);
    ASSERT_EQ(post(2, 2), 0);
    ASSERT_TRUE(wait_for_count(2));
}
