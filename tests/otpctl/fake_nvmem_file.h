// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// A stand-in for the nvmem view files: one image in memory, and answers
// that a test can bend (short transfers, errors).
#pragma once

#include <cstddef>
#include <string>
#include <sys/types.h>
#include <vector>

struct FakeNvmem {
    std::vector<std::byte> image = std::vector<std::byte>(256);
    bool missing = false;        // open fails with ENOENT
    int read_error = 0;          // read_at answers -read_error
    int write_error = 0;         // write_at answers -write_error
    ssize_t transfer_limit = -1; // at most this many bytes per transfer
    // What the tool asked for.
    std::string opened_path;
    int open_count = 0;
    bool opened_for_writing = false;
    int writes = 0;
};

// The fake every call of the test goes to; reset it in each test.
FakeNvmem &fake_nvmem();
