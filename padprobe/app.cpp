// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// Start-up in order and the one place that decides the exit status.
#include "padprobe/app.h"

#include "padprobe/log.h"
#include "padprobe/server.h"
#include "padprobe/uart.h"

#include <csignal>
#include <cstdio>

namespace padprobe {
namespace {

// The timer's signal goes to the main thread alone, which only waits in
// pthread_join: every thread started from here inherits the blocked mask,
// and the main thread unblocks it once they run. So no read, write, sleep
// or wait of a working thread is ever cut short by a tick.
void set_timer_signal(int how)
{
    sigset_t alarm;
    sigemptyset(&alarm);
    sigaddset(&alarm, SIGALRM);
    pthread_sigmask(how, &alarm, nullptr);
}

void serve(int uart)
{
    Server server{uart};
    if (!server.init())
        return;
    cap_log(CAP_INFO "Padp Tool App Start!\n\n");
    if (!server.start())
        return;
    set_timer_signal(SIG_UNBLOCK);
    server.join();
    cap_log(CAP_INFO "Padp Tool App Stop!\n\n");
}

} // namespace

int run(int argc, char **argv)
{
    // Tests and the host's scripts read the log through a pipe.
    static_cast<void>(setvbuf(stdout, nullptr, _IOLBF, 0)); // else it stays buffered
    if (argc < 2) {
        cap_log(CAP_ERROR "cmd: padprobe <UART device node> &\n\n");
        return 1;
    }
    set_timer_signal(SIG_BLOCK);
    const UniqueFd uart = open_uart(argv[1]);
    if (uart.valid())
        serve(uart.get());
    cap_log(CAP_ERROR "Padp Tool App EXIT\n\n");
    return 0;
}

} // namespace padprobe
