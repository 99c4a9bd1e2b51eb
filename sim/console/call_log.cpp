// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// Appending received records and call answers to the board's state files.
#include "call_log.h"

#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace board_console {

namespace {

int open_log(const std::string &path)
{
    return ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_APPEND | O_CLOEXEC, 0644);
}

// One write per entry, so a reader never sees half of one.
void append(int fd, const void *data, size_t size)
{
    if (fd >= 0 && ::write(fd, data, size) != static_cast<ssize_t>(size))
        std::perror("board-console: write");
}

} // namespace

bool CallLog::open(const std::string &records_path, const std::string &calls_path)
{
    records_fd_ = open_log(records_path);
    calls_fd_ = open_log(calls_path);
    return records_fd_ >= 0 && calls_fd_ >= 0;
}

void CallLog::add_record(std::span<const std::byte> record)
{
    append(records_fd_, record.data(), record.size());
}

void CallLog::add_call(unsigned call, unsigned request, int answer)
{
    char line[64];
    const int length = std::snprintf(line, sizeof line, "%u %u %d\n", call, request, answer);
    append(calls_fd_, line, static_cast<size_t>(length));
}

CallLog::~CallLog()
{
    if (records_fd_ >= 0)
        ::close(records_fd_);
    if (calls_fd_ >= 0)
        ::close(calls_fd_);
}

} // namespace board_console
