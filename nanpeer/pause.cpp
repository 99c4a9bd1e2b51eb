// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// Pauses as timed waits that shutdown can end.
//
// stop_flag is set from a signal handler, which cannot wake a waiting
// thread; shutdown, which follows within a second, does that instead.
#include "pause.h"

#include <chrono>
#include <condition_variable>
#include <mutex>

#include "process_globals.h"

namespace {

// Never destroyed: a handler may still be on its way out of a pause while
// the process exits.
std::mutex &pause_mutex()
{
    static std::mutex &mutex = *new std::mutex;
    return mutex;
}

std::condition_variable &pause_ended()
{
    static std::condition_variable &ended = *new std::condition_variable;
    return ended;
}

} // namespace

bool pause_unless_stopping(unsigned seconds)
{
    std::unique_lock<std::mutex> lock(pause_mutex());
    return !pause_ended().wait_for(lock, std::chrono::seconds(seconds),
                                   [] { return stop_flag.load() != 0; });
}

void wake_pauses()
{
    const std::lock_guard<std::mutex> lock(pause_mutex());
    pause_ended().notify_all();
}
