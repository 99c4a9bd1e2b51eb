// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// A timer tick handed from a signal handler to the thread that does the work.
#pragma once

#include "padprobe/semaphore.h"

#include <atomic>

namespace padprobe {

// Ticks that come while one is still waiting to be taken merge into it, as
// a pending signal does. A sampling thread that falls behind its timer so
// resumes at the next tick, instead of working off a backlog that only grows
// (and that a stop would have to wait for).
class TickLatch {
public:
    // 0 or -errno.
    int init() { return ticks_.init(0); }

    // From the signal handler: an atomic exchange and sem_post, both
    // async-signal-safe.
    void signal()
    {
        if (!pending_.exchange(true, std::memory_order_acq_rel))
            ticks_.post();
    }

    // Waits for a tick and takes it; ticks from here on count as the next one.
    void wait()
    {
        ticks_.wait();
        pending_.store(false, std::memory_order_release);
    }

    // Takes a tick if one is waiting; never blocks.
    bool try_wait()
    {
        if (!ticks_.try_wait())
            return false;
        pending_.store(false, std::memory_order_release);
        return true;
    }

    // Wakes the waiting thread without a tick, for example to make it quit.
    void wake() { ticks_.post(); }

    // Forgets a tick not yet taken, so it cannot reach the next run.
    void clear()
    {
        ticks_.drain();
        pending_.store(false, std::memory_order_release);
    }

private:
    static_assert(std::atomic<bool>::is_always_lock_free);
    Semaphore ticks_;
    std::atomic<bool> pending_{false};
};

} // namespace padprobe
