// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// What the file system and the control socket share: the model, the write
// log and the lock that serialises them.
#pragma once

#include <mutex>

#include "model.h"
#include "write_log.h"

struct fuse_session;

namespace touchsim {

struct Simulator {
    std::mutex lock;
    TouchModel model;
    WriteLog writes;
    // Set once the file system is mounted, so a control command that makes a
    // file appear or disappear can make the kernel forget its cached entry.
    fuse_session *session = nullptr;
};

// Seconds on the monotonic clock, the time base of the model and the log.
double monotonic_now();

} // namespace touchsim
