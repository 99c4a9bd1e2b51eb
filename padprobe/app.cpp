// Start-up in order and the one place that decides the exit status.
#include "padprobe/app.h"

#include "padprobe/log.h"
#include "padprobe/server.h"
#include "padprobe/uart.h"

#include <csignal>
#include <cstdio>

namespace padprobe {
namespace {

// Only the monitor's sampling thread takes the timer's signal; every thread
// started from here inherits the blocked mask.
void block_timer_signal()
{
    sigset_t alarm;
    sigemptyset(&alarm);
    sigaddset(&alarm, SIGALRM);
    pthread_sigmask(SIG_BLOCK, &alarm, nullptr);
}

void serve(int uart)
{
    Server server{uart};
    if (!server.init())
        return;
    cap_log(CAP_INFO "Padp Tool App Start!\n\n");
    if (!server.start())
        return;
    server.join();
    cap_log(CAP_INFO "Padp Tool App Stop!\n\n");
}

} // namespace

int run(int argc, char** argv)
{
    // Tests and the host's scripts read the log through a pipe.
    setvbuf(stdout, nullptr, _IOLBF, 0);
    if (argc < 2) {
        cap_log(CAP_ERROR "cmd: padprobe <UART device node> &\n\n");
        return 1;
    }
    block_timer_signal();
    const UniqueFd uart = open_uart(argv[1]);
    if (uart.valid())
        serve(uart.get());
    cap_log(CAP_ERROR "Padp Tool App EXIT\n\n");
    return 0;
}

} // namespace padprobe
