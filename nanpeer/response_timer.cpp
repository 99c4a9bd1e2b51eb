// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// The response timer: a POSIX timer that signals a thread of its own, and
// the tick that gives up unanswered requests.
//
// The tick prints, takes the event lock and calls the library, none of which
// a signal handler may do. So the timer is aimed at one thread (SIGUSR1 to
// that thread only, blocked there and taken with sigwaitinfo), and the tick
// runs on that thread under the event lock.
#include "response_timer.h"

#include <pthread.h>
#include <semaphore.h>
#include <signal.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>

#include "event_lock.h"
#include "log.h"
#include "process_globals.h"
#include "sdcore.h"
#include "service_table.h"

namespace {

constexpr time_t kTickSeconds = 5;
constexpr uint8_t kLastRetry = 3; // the fourth tick gives up
// A tick taken less than this after an arming was sent for the arming
// before (it waited for the lock while the timer was re-armed).
constexpr int64_t kStaleTickNanoseconds = 2'500'000'000;

// Guarded by event_mutex.
timer_t response_timer{};
bool timer_created = false;
bool timer_armed = false;
int64_t armed_at_ns = 0;

pthread_t tick_thread{};
bool tick_thread_running = false; // main thread only
std::atomic<pid_t> tick_thread_tid{0};
std::atomic<bool> tick_thread_quit{false};
sem_t tick_thread_ready;

int64_t monotonic_ns()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<int64_t>(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

void response_timer_tick_locked()
{
    if (service_count == 0) {
        return;
    }
    for (uint32_t index = 0; index < service_count && index < 2; ++index) {
        nan_data_mgnt &mgnt = services.slot[index].mgnt;
        mgnt.retry = static_cast<uint8_t>(mgnt.retry + 1);
        const uint8_t ndp_id = mgnt.data_path.ndp_id;
        const int status = static_cast<int>(mgnt.nan_status);
        switch (mgnt.nan_status) {
        case nan_status::NAN_DATA_REQ_SENT:
            if (ndp_id != 0 && mgnt.retry > kLastRetry) {
                nan_log(log_severity::info,
                        "Data rsp not receive! nan_status[%d],retry[%d],send data path end[%d]\n",
                        status, mgnt.retry, ndp_id);
                library_call([ndp_id] { return dns_datapath_end(ndp_id); });
                clear_data_path(&mgnt);
                delete_response_timer();
            }
            break;
        case nan_status::NAN_DATA_RSP_SENT:
            // An open data path is never given up: the responder armed nothing.
            if (mgnt.data_path.sec_type != 0 && ndp_id != 0 && mgnt.retry > kLastRetry) {
                nan_log(
                    log_severity::info,
                    "Data confirm not receive! nan_status[%d],retry[%d],send data path end[%d]\n",
                    status, mgnt.retry, ndp_id);
                library_call([ndp_id] { return dns_datapath_end(ndp_id); });
                clear_data_path(&mgnt);
                delete_response_timer();
            }
            break;
        case nan_status::NAN_BSTRAP_REQ_SENT:
            if (mgnt.retry > kLastRetry) {
                nan_log(log_severity::info,
                        "Boostrapping method result not receive! nan_status[%d], retry[%d]\n",
                        status, mgnt.retry);
                clear_pairing_info(&mgnt);
                clear_data_path(&mgnt);
                delete_response_timer();
            }
            break;
        case nan_status::NAN_PASN_STARTED:
            if (mgnt.retry > kLastRetry) {
                nan_log(log_severity::info, "PASN result not receive! nan_status[%d],retry[%d]\n",
                        status, mgnt.retry);
                clear_pairing_info(&mgnt);
                clear_data_path(&mgnt);
                delete_response_timer();
            }
            break;
        case nan_status::NAN_IDLE:
        case nan_status::NAN_DATA_RSP_SENDING:
        case nan_status::NAN_DATA_CONFIRMED:
        case nan_status::NAN_BSTRAP_DONE:
        case nan_status::NAN_PASN_DONE:
            break;
        }
        // A slot that stopped waiting still counts, so the timer ends at the
        // latest when some used slot has seen four ticks.
        if (mgnt.retry > kLastRetry) {
            delete_response_timer();
        }
    }
}

// A signal that reached the tick thread: `ticks` ticks, unless the timer
// was deleted or re-armed after the signal was sent, or nanpeer is stopping.
void take_tick_signal(int64_t received_at_ns, int ticks)
{
    if (stop_flag.load() != 0) {
        return;
    }
    const table_lock lock;
    if (stop_flag.load() != 0 || !timer_armed ||
        received_at_ns - armed_at_ns < kStaleTickNanoseconds) {
        return;
    }
    // Ticks that fell due while a handler held the lock are late, not lost:
    // each still counts, up to a give-up that deletes the timer.
    for (int tick = 0; tick < ticks && timer_armed; ++tick) {
        response_timer_tick_locked();
    }
}

// One tick, plus those the timer could not signal while its signal was still
// pending (a handler held the event lock past them).
int ticks_in(const siginfo_t &info)
{
    return info.si_code == SI_TIMER && info.si_overrun > 0 ? 1 + info.si_overrun : 1;
}

void *tick_thread_main(void *)
{
    const sigset_t set = response_timer_signal_set();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
    tick_thread_tid.store(gettid());
    sem_post(&tick_thread_ready);
    while (!tick_thread_quit.load()) {
        siginfo_t info{};
        if (sigwaitinfo(&set, &info) < 0) {
            continue;
        }
        if (tick_thread_quit.load()) {
            break;
        }
        take_tick_signal(monotonic_ns(), ticks_in(info));
    }
    return nullptr;
}

} // namespace

sigset_t response_timer_signal_set()
{
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, kResponseTimerSignal);
    return set;
}

int response_timer_thread_start()
{
    if (tick_thread_running) {
        return 0;
    }
    tick_thread_quit.store(false);
    sem_init(&tick_thread_ready, 0, 0);
    const int error = pthread_create(&tick_thread, nullptr, tick_thread_main, nullptr);
    if (error != 0) {
        sem_destroy(&tick_thread_ready);
        return -error;
    }
    while (sem_wait(&tick_thread_ready) != 0 && errno == EINTR) {
    }
    sem_destroy(&tick_thread_ready);
    tick_thread_running = true;
    return 0;
}

void response_timer_thread_stop()
{
    if (!tick_thread_running) {
        return;
    }
    tick_thread_quit.store(true);
    pthread_kill(tick_thread, kResponseTimerSignal);
    pthread_join(tick_thread, nullptr);
    tick_thread_running = false;
    tick_thread_tid.store(0);
    std::lock_guard<std::mutex> lock(event_mutex);
    if (timer_created) {
        timer_delete(response_timer);
        timer_created = false;
        timer_armed = false;
    }
}

void start_response_timer()
{
    if (!timer_created) {
        sigevent notification{};
        notification.sigev_notify = SIGEV_THREAD_ID;
        notification.sigev_signo = kResponseTimerSignal;
        notification.sigev_value.sival_ptr = &response_timer;
        // glibc names the target thread's id field only through this member.
        notification._sigev_un._tid = tick_thread_tid.load();
        if (timer_create(CLOCK_MONOTONIC, &notification, &response_timer) != 0) {
            nan_log(log_severity::info, "timer_create");
            return;
        }
        timer_created = true;
    }
    itimerspec period{};
    period.it_value.tv_sec = kTickSeconds;
    period.it_interval.tv_sec = kTickSeconds;
    if (timer_settime(response_timer, 0, &period, nullptr) != 0) {
        nan_log(log_severity::info, "timer_settime");
        return;
    }
    timer_armed = true;
    armed_at_ns = monotonic_ns();
}

void arm_response_timer(nan_data_mgnt &mgnt)
{
    mgnt.retry = 0;
    start_response_timer();
}

void delete_response_timer()
{
    if (!timer_created) {
        return;
    }
    const itimerspec stopped{};
    timer_settime(response_timer, 0, &stopped, nullptr);
    timer_armed = false;
}

bool response_timer_armed()
{
    std::lock_guard<std::mutex> lock(event_mutex);
    return timer_armed;
}

void on_response_timer(int signal_number)
{
    static_cast<void>(signal_number);
    const table_lock lock;
    response_timer_tick_locked();
}
