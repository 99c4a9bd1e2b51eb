// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// setitimer and the SIGALRM handler, which does nothing but signal a tick latch.
#include "padprobe/monitor_timer.h"

#include "padprobe/log.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <sys/time.h>

namespace padprobe {
namespace {

std::atomic<TickLatch *> tick_target{nullptr};
static_assert(std::atomic<TickLatch *>::is_always_lock_free);

extern "C" void on_monitor_tick(int sig)
{
    if (sig != SIGALRM)
        return;
    const int saved = errno;
    if (TickLatch *tick = tick_target.load(std::memory_order_acquire))
        tick->signal();
    errno = saved;
}

} // namespace

int monitor_timer_start(uint16_t ms, TickLatch *tick)
{
    cap_log(CAP_INFO "Monitor timer_start ...\n\n");
    tick_target.store(tick, std::memory_order_release);

    struct sigaction action { };
    action.sa_handler = on_monitor_tick;
    sigemptyset(&action.sa_mask);
    // Threads that do take the signal resume their reads and writes.
    action.sa_flags = SA_RESTART;
    sigaction(SIGALRM, &action, nullptr);

    itimerval interval{};
    interval.it_interval.tv_sec = ms / 1000;
    interval.it_interval.tv_usec = static_cast<suseconds_t>(ms % 1000) * 1000;
    interval.it_value.tv_sec = 0;
    interval.it_value.tv_usec = 500;
    if (setitimer(ITIMER_REAL, &interval, nullptr) != 0) {
        cap_log(CAP_ERROR "Setitimer Failed : %s\n\n", strerrordesc_np(errno));
        return -1;
    }
    cap_log(CAP_INFO "Monitor timer start OK\n\n");
    return 0;
}

void monitor_timer_stop()
{
    const itimerval off{};
    setitimer(ITIMER_REAL, &off, nullptr);
}

void monitor_timer_detach()
{
    monitor_timer_stop();
    tick_target.store(nullptr, std::memory_order_release);
}

} // namespace padprobe
