// The one place nanpeer starts shell commands.
#include "shell_command.h"

#include <pthread.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>

#include "response_timer.h"

extern char **environ;

namespace {

// Restores the calling thread's signal mask when the command is done.
class unblocked_timer_signal {
public:
    unblocked_timer_signal()
    {
        const sigset_t timer_signal = response_timer_signal_set();
        pthread_sigmask(SIG_UNBLOCK, &timer_signal, &saved_);
    }
    ~unblocked_timer_signal() { pthread_sigmask(SIG_SETMASK, &saved_, nullptr); }
    unblocked_timer_signal(const unblocked_timer_signal &) = delete;
    unblocked_timer_signal &operator=(const unblocked_timer_signal &) = delete;

private:
    sigset_t saved_{};
};

} // namespace

void run_shell_command(const char *command_line)
{
    // Our buffered lines come before whatever the command prints.
    std::fflush(stdout);
    // The command inherits the calling thread's signal mask, and from there
    // every command and service a script starts. nanpeer keeps the response
    // timer's signal blocked for its own reasons; the command must not
    // inherit that (a service started by start_cmd would never see its
    // SIGUSR1).
    const unblocked_timer_signal unblocked;
    sigset_t mask;
    pthread_sigmask(SIG_BLOCK, nullptr, &mask);

    // Not system(): it ignores SIGINT and SIGQUIT in the whole process while
    // the command runs, so a SIGINT that arrives during a service script is
    // lost and nanpeer never stops. The shell gets the dispositions it would
    // get from system().
    posix_spawnattr_t attr;
    if (posix_spawnattr_init(&attr) != 0) {
        return;
    }
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGINT);
    sigaddset(&defaults, SIGQUIT);
    posix_spawnattr_setsigmask(&attr, &mask);
    posix_spawnattr_setsigdefault(&attr, &defaults);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    char shell[] = "sh";
    char dash_c[] = "-c";
    char *argv[] = {shell, dash_c, const_cast<char *>(command_line), nullptr};
    pid_t child = -1;
    const int rc = posix_spawn(&child, "/bin/sh", nullptr, &attr, argv, environ);
    posix_spawnattr_destroy(&attr);
    if (rc != 0) {
        return;
    }
    // The stop signals' handler may interrupt the wait; the command still
    // runs to its end, as it would under system().
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
}
