// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// The UART's write side, shared by answers and data frames under one mutex.
#pragma once

#include "padprobe/frame.h"

#include <cstddef>
#include <mutex>
#include <span>
#include <string_view>

namespace padprobe {

class SerialWriter {
public:
    explicit SerialWriter(int fd) : fd_(fd) { }
    SerialWriter(const SerialWriter &) = delete;
    SerialWriter &operator=(const SerialWriter &) = delete;

    // Logs an answer and writes it in one call; a short write is logged, not retried.
    void send_answer(std::string_view text);

    // Writes a frame's header and payload within one hold of the mutex, so
    // no answer can fall between them.
    void send_frame(std::span<const std::byte, kHeaderSize> header,
                    std::span<const std::byte> payload);

private:
    int fd_;
    std::mutex mutex_;
};

} // namespace padprobe
