// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// Test double of libsdcore: records every call with its arguments and the
// bytes behind its pointers, returns results chosen by the test, and
// delivers events to the registered callback from a thread of its own.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "sdcore.h"

namespace sdcore_double {

struct recorded_call {
    std::string name;
    long number = -1; // radio index or ndp_id, where the call has one
    int flag = -1;    // the -b flag of publish and subscribe
    const void *pointer = nullptr;
    std::vector<uint8_t> bytes;      // what the pointer pointed at, at the call
    std::vector<uint8_t> tool_paths; // publish and subscribe only
};

// Forgets the calls and the chosen results (every call returns 0 again).
void reset();
std::vector<recorded_call> calls();
std::vector<std::string> call_names();
// Result of every later call of that name.
void set_result(const std::string &name, int result);
dns_evt_cb registered_callback();
// Called for every call as it is recorded (the shared-library build logs).
void set_call_observer(std::function<void(const recorded_call &)> observer);

// Delivers one event from the double's thread and returns once the
// callback has returned.
void deliver(uint32_t event_id, const void *record, int length);
template <typename Record>
void deliver(uint32_t event_id, const Record &record)
{
    deliver(event_id, &record, static_cast<int>(sizeof record));
}

// Queues one event for the double's thread and returns at once.
void post(uint32_t event_id, const void *record, int length);
template <typename Record>
void post(uint32_t event_id, const Record &record)
{
    post(event_id, &record, static_cast<int>(sizeof record));
}
// Queues one event for the double's thread, which waits delay_ms (after the
// job before it) and then delivers it.
void post_after(uint32_t delay_ms, uint32_t event_id, const void *record, int length);
// Waits until the double's thread has delivered every queued event.
void wait_idle();

// The next call of that name delivers the event on the calling thread,
// from inside the call, as a library that reports at once may do. Events
// given for the same call are delivered in the order given.
void deliver_from_inside(const std::string &call_name, uint32_t event_id, const void *record,
                         int length);
template <typename Record>
void deliver_from_inside(const std::string &call_name, uint32_t event_id, const Record &record)
{
    deliver_from_inside(call_name, event_id, &record, static_cast<int>(sizeof record));
}

} // namespace sdcore_double
