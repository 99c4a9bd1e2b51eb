// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// What the console device keeps of its calls, for tests to read.
#pragma once

#include <cstddef>
#include <span>
#include <string>

namespace board_console {

class CallLog {
public:
    // Creates (or empties) both files; false with errno set on failure.
    bool open(const std::string &records_path, const std::string &calls_path);

    // Appends one received record, exactly as it was in the caller.
    void add_record(std::span<const std::byte> record);

    // Appends "<call> <request> <answer>\n", answer 0 or -errno.
    void add_call(unsigned call, unsigned request, int answer);

    ~CallLog();

private:
    int records_fd_ = -1;
    int calls_fd_ = -1;
};

} // namespace board_console
