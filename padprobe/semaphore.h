// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// An unnamed, process-private counting semaphore with an explicit init step.
#pragma once

#include <cerrno>
#include <semaphore.h>

namespace padprobe {

class Semaphore {
public:
    Semaphore() = default;
    Semaphore(const Semaphore &) = delete;
    Semaphore &operator=(const Semaphore &) = delete;
    ~Semaphore()
    {
        if (ready_)
            sem_destroy(&sem_);
    }

    // 0 or -errno; creation can fail, and start-up reports it.
    int init(unsigned value)
    {
        if (sem_init(&sem_, 0, value) != 0)
            return -errno;
        ready_ = true;
        return 0;
    }

    void post() { sem_post(&sem_); }

    // Waits for a post; a signal arriving meanwhile does not count as one.
    void wait()
    {
        while (sem_wait(&sem_) != 0 && errno == EINTR) {
        }
    }

    bool try_wait() { return sem_trywait(&sem_) == 0; }

    // Takes every post that is pending, so stale ones cannot wake anyone later.
    void drain()
    {
        while (try_wait()) {
        }
    }

    sem_t *native() { return &sem_; }

private:
    sem_t sem_{};
    bool ready_ = false;
};

} // namespace padprobe
