// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// The pty pair, a reader thread that drains the host's end, and stream parsing.
#include "pty_host.h"

#include "padprobe/uart.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <unistd.h>
#include <vector>

namespace padprobe_test {

PtyHost::PtyHost()
{
    int master = -1;
    int slave = -1;
    char name[128] = {};
    EXPECT_EQ(openpty(&master, &slave, name, nullptr, nullptr), 0);
    master_.reset(master);
    device_ = name;
    uart_ = padprobe::open_uart(name);
    ::close(slave);
    reader_ = std::thread{[this] { read_loop(); }};
    greeting_ = wait_for_bytes(15);
    take();
}

PtyHost::~PtyHost()
{
    hang_up();
}

void PtyHost::hang_up()
{
    {
        const std::lock_guard<std::mutex> lock{mutex_};
        stop_ = true;
    }
    if (reader_.joinable())
        reader_.join();
    master_.reset();
}

void PtyHost::read_loop()
{
    char chunk[4096];
    for (;;) {
        {
            const std::lock_guard<std::mutex> lock{mutex_};
            if (stop_)
                return;
        }
        pollfd ready{master_.get(), POLLIN, 0};
        if (poll(&ready, 1, 20) <= 0 || (ready.revents & POLLIN) == 0)
            continue;
        const ssize_t got = ::read(master_.get(), chunk, sizeof chunk);
        if (got <= 0)
            continue;
        const std::lock_guard<std::mutex> lock{mutex_};
        received_.append(chunk, static_cast<size_t>(got));
        received_changed_.notify_all();
    }
}

void PtyHost::send(std::string_view bytes) const
{
    ASSERT_EQ(::write(master_.get(), bytes.data(), bytes.size()),
              static_cast<ssize_t>(bytes.size()));
}

std::string PtyHost::wait_for_bytes(size_t length)
{
    return wait_for([length](std::string_view got) { return got.size() >= length; });
}

std::string PtyHost::take()
{
    const std::lock_guard<std::mutex> lock{mutex_};
    std::string all;
    all.swap(received_);
    return all;
}

uint32_t sequence_of(const std::string &frame)
{
    uint32_t sequence = 0;
    for (size_t i = 0; i < 4; ++i)
        sequence |= static_cast<uint32_t>(static_cast<uint8_t>(frame.at(4 + i))) << (8 * i);
    return sequence;
}

testing::AssertionResult contains(std::string_view text, std::string_view part)
{
    if (text.find(part) != std::string_view::npos)
        return testing::AssertionSuccess();
    return testing::AssertionFailure()
           << testing::PrintToString(std::string{text}) << "\n  does not hold\n"
           << testing::PrintToString(std::string{part});
}

std::string status_answer(const char *type)
{
    return std::string{"{\n\t\"type\":\t\""} + type + "\"\n}";
}

Stream split_stream(std::string_view bytes)
{
    Stream out;
    while (!bytes.empty()) {
        if (bytes.substr(0, 4) == "data" ||
            (bytes.size() < 4 && std::string_view{"data"}.starts_with(bytes))) {
            if (bytes.size() < 14) {
                out.rest = bytes;
                break;
            }
            const size_t length = static_cast<uint8_t>(bytes[11]) |
                                  static_cast<size_t>(static_cast<uint8_t>(bytes[12])) << 8;
            if (bytes.size() < 14 + length) {
                out.rest = bytes;
                break;
            }
            out.frames.emplace_back(bytes.substr(0, 14 + length));
            out.order += 'f';
            bytes.remove_prefix(14 + length);
        } else if (bytes.front() == '{') {
            // The tool's answers hold no braces inside their strings.
            const size_t end = bytes.find('}');
            if (end == std::string_view::npos) {
                out.rest = bytes;
                break;
            }
            out.answers.emplace_back(bytes.substr(0, end + 1));
            out.order += 'a';
            bytes.remove_prefix(end + 1);
        } else {
            ADD_FAILURE() << "stray bytes in the stream: "
                          << testing::PrintToString(std::string{bytes.substr(0, 32)});
            break;
        }
    }
    return out;
}

} // namespace padprobe_test
