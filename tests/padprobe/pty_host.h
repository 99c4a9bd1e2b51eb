// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// The host's end of a pty whose other end the tool has opened as its UART.
#pragma once

#include "padprobe/unique_fd.h"

#include <chrono>
#include <condition_variable>
#include <gtest/gtest.h>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace padprobe_test {

class PtyHost {
public:
    // Opens a pty and has the tool open and configure its slave end.
    PtyHost();
    ~PtyHost();
    PtyHost(const PtyHost &) = delete;
    PtyHost &operator=(const PtyHost &) = delete;

    // What the tool wrote right after configuring the line.
    const std::string &greeting() const { return greeting_; }
    // The tool's configured UART descriptor.
    int uart() const { return uart_.get(); }
    const std::string &device() const { return device_; }

    void send(std::string_view bytes) const;
    // Closes the host's end, as a host that goes away does.
    void hang_up();

    // Waits (generously) until the received bytes satisfy done; returns them.
    template <typename Done>
    std::string wait_for(Done done, std::chrono::seconds limit = std::chrono::seconds{20})
    {
        std::unique_lock<std::mutex> lock{mutex_};
        received_changed_.wait_for(lock, limit, [&] { return done(std::string_view{received_}); });
        return received_;
    }
    // Waits until at least length bytes have arrived.
    std::string wait_for_bytes(size_t length);
    // Everything received so far, which is then forgotten.
    std::string take();

private:
    void read_loop();

    padprobe::UniqueFd master_;
    padprobe::UniqueFd uart_;
    std::string device_;
    std::string greeting_;
    std::mutex mutex_;
    std::condition_variable received_changed_;
    std::string received_;
    bool stop_ = false;
    std::thread reader_;
};

// Whether text holds part, showing both when it does not.
testing::AssertionResult contains(std::string_view text, std::string_view part);

// A JSON answer as the tool lays out a one-member object.
std::string status_answer(const char *type);

// Splits what the tool sent into answers and frames; fails the test on
// bytes that are neither. Frames are returned whole, header and payload.
struct Stream {
    std::vector<std::string> answers;
    std::vector<std::string> frames;
    std::string order; // one letter per output as it came: 'a'nswer or 'f'rame
    std::string rest;  // an output not yet complete
};
// A frame's sequence number.
uint32_t sequence_of(const std::string &frame);
Stream split_stream(std::string_view bytes);

} // namespace padprobe_test
