// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// Writes answers and data frames to the UART, one whole output at a time.
#include "padprobe/serial_writer.h"

#include "padprobe/log.h"

#include <unistd.h>

namespace padprobe {

void SerialWriter::send_answer(std::string_view text)
{
    const int length = static_cast<int>(text.size());
    cap_log(CAP_INFO "Query response: %.*s (%d)\n\n", length, text.data(), length);
    const std::lock_guard<std::mutex> hold{mutex_};
    const ssize_t written = ::write(fd_, text.data(), text.size());
    if (written != static_cast<ssize_t>(text.size()))
        cap_log(CAP_ERROR "Fail to write: %d\n", static_cast<int>(written));
}

void SerialWriter::send_frame(std::span<const std::byte, kHeaderSize> header,
                              std::span<const std::byte> payload)
{
    const std::lock_guard<std::mutex> hold{mutex_};
    const ssize_t header_written = ::write(fd_, header.data(), header.size());
    if (header_written != static_cast<ssize_t>(header.size()))
        cap_log(CAP_ERROR "Fail to write buf: %d\n", static_cast<int>(header_written));
    // A frame without records has nothing more to write.
    if (payload.empty())
        return;
    const ssize_t payload_written = ::write(fd_, payload.data(), payload.size());
    if (payload_written != static_cast<ssize_t>(payload.size()))
        cap_log(CAP_ERROR "Fail to write data: %d\n", static_cast<int>(payload_written));
}

} // namespace padprobe
