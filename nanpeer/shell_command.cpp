// The one place nanpeer starts shell commands.
#include "shell_command.h"

#include <pthread.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>

#include "response_timer.h"

void run_shell_command(const char *command_line)
{
    // Our buffered lines come before whatever the command prints.
    std::fflush(stdout);
    // system() hands the calling thread's signal mask to the shell, and from
    // there to every command and service a script starts. nanpeer keeps the
    // response timer's signal blocked for its own reasons; the command must
    // not inherit that (a service started by start_cmd would never see its
    // SIGUSR1).
    const sigset_t timer_signal = response_timer_signal_set();
    sigset_t saved;
    pthread_sigmask(SIG_UNBLOCK, &timer_signal, &saved);
    // NOLINTNEXTLINE(cert-env33-c): running the configured command is the job
    const int status = std::system(command_line);
    pthread_sigmask(SIG_SETMASK, &saved, nullptr);
    static_cast<void>(status);
}
