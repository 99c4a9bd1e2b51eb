// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// Support for nanpeer's unit tests: output capture, the recording shell
// stand-ins, a fixture that resets the process-wide state, and builders
// for expected log lines, slots and event records.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "dns_event_records.h"
#include "service_slot.h"

// Everything written to a descriptor (1 or 2) between start and finish.
class output_capture {
public:
    explicit output_capture(int fd = 1);
    ~output_capture();
    output_capture(const output_capture &) = delete;
    output_capture &operator=(const output_capture &) = delete;
    std::string finish();

private:
    int fd_;
    int saved_ = -1;
    int file_ = -1;
};

// Expected log lines: "[nanpeer] " and the text in the colour sequences.
std::string info(const std::string &text);
std::string warning(const std::string &text);
inline std::string debug(const std::string &text)
{
    return info(text);
}

// A folder of its own for each test, removed afterwards.
std::string test_folder();
void write_file(const std::string &path, const std::string &content, bool executable = false);
std::string read_file(const std::string &path);

// The ip, ping6 and svc stand-ins first on PATH record their command lines.
std::vector<std::string> shell_commands();
void clear_shell_commands();
// A held stand-in (ip, ping6 or svc) logs its command line, then waits
// until it is released.
void hold_stand_in(const std::string &name);
void release_stand_in(const std::string &name);

// Resets the service table, the process-wide values, the stop, the event
// ring, the response timer and the library double. No owner thread runs:
// the test's thread stands in for it (handle_pending_messages()).
class nanpeer_test : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
};

// The library double delivers the event from its own thread; then the
// test's thread, as the owner, handles everything queued.
void deliver_and_handle(uint32_t event_id, const void *record, int length);
template <typename Record>
void deliver_and_handle(uint32_t event_id, const Record &record)
{
    deliver_and_handle(event_id, &record, static_cast<int>(sizeof record));
}

// The clock of the response timer and of the ring's stamps runs on from
// the real one, and jumps forward when a test says so (test_clock.cpp).
void advance_clock(std::chrono::nanoseconds by);

// A slot prepared as start-up would, with the library's own address set.
nan_data_mgnt &prepare_subscriber(sec_type security);
nan_data_mgnt &prepare_publisher(int slot, uint8_t publish_id, sec_type security);
bool timer_armed();
void disarm_timer();

dns_discovery_result_record discovery(uint8_t publisher_id, uint8_t pmk_set = 0,
                                      uint8_t pairing_enable = 0, uint8_t paired = 0);
dns_data_indication_record indication(uint8_t publish_id, uint8_t ndp_id, uint8_t security);
dns_data_confirm_record confirm(uint8_t ndp_id, uint8_t status);
dns_bstrap_result_record bstrap_result(uint8_t status, uint8_t peer_id, uint8_t own_id,
                                       uint8_t role, uint16_t method);
dns_pasn_result_record pasn_result(uint8_t status, uint8_t local_role);
dns_data_end_record data_end(uint8_t ndp_id);
dns_data_established_record established(uint8_t ndp_id);
