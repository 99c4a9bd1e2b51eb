// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// The one place nanpeer starts shell commands: /bin/sh -c TEXT, started
// with posix_spawn and waited for.
//
// Not system(): it sets SIGINT and SIGQUIT to ignored in the whole process
// while a command runs, so a Ctrl-C or a SIGINT from a service manager that
// came during any ip, ping6 or script was lost, and stop handlers installed
// meanwhile were put back to the default action when the last command
// ended. Here nothing in nanpeer's own signal handling changes.
#include "shell_command.h"

#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "log.h"
#include "stopping.h"
#include "unique_fd.h"

namespace {

// posix_spawnattr_t, destroyed on every path.
class spawn_attributes {
public:
    spawn_attributes() { ok_ = posix_spawnattr_init(&attributes_) == 0; }
    ~spawn_attributes()
    {
        if (ok_) {
            posix_spawnattr_destroy(&attributes_);
        }
    }
    spawn_attributes(const spawn_attributes &) = delete;
    spawn_attributes &operator=(const spawn_attributes &) = delete;

    [[nodiscard]] bool ok() const { return ok_; }
    posix_spawnattr_t *get() { return &attributes_; }

private:
    posix_spawnattr_t attributes_{};
    bool ok_ = false;
};

// Every signal whose action is not the default here: the ones nanpeer
// catches and any that whoever started nanpeer left ignored.
sigset_t signals_not_at_default()
{
    sigset_t set;
    sigemptyset(&set);
    for (int number = 1; number < NSIG; ++number) {
        struct sigaction action { };
        // Numbers the C library keeps for itself are refused; skip them.
        if (sigaction(number, nullptr, &action) == 0 && action.sa_handler != SIG_DFL) {
            sigaddset(&set, number);
        }
    }
    return set;
}

// The command starts as from a fresh shell: default actions and no blocked
// signal, whatever nanpeer's own settings or those it inherited.
int prepare(spawn_attributes &attributes)
{
    const sigset_t defaults = signals_not_at_default();
    sigset_t nothing;
    sigemptyset(&nothing);
    if (int error = posix_spawnattr_setsigdefault(attributes.get(), &defaults); error != 0) {
        return error;
    }
    if (int error = posix_spawnattr_setsigmask(attributes.get(), &nothing); error != 0) {
        return error;
    }
    return posix_spawnattr_setflags(attributes.get(),
                                    POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);
}

// A descriptor that becomes readable when the child ends. Through
// syscall(): glibc 2.36 declares pidfd_open without C linkage for C++.
int open_pidfd(pid_t child)
{
    return static_cast<int>(syscall(SYS_pidfd_open, child, 0));
}

// Before Linux 5.3 there is no process descriptor (boards often run older
// kernels): the child is looked at every 50 ms instead, between waits that
// a stop still cuts short.
bool wait_polling(pid_t child)
{
    constexpr int kLookEveryMs = 50;
    for (;;) {
        int status = 0;
        const pid_t ended = waitpid(child, &status, WNOHANG);
        if (ended == child || (ended < 0 && errno != EINTR)) {
            return true;
        }
        if (wait_unless_stopping(-1, kLookEveryMs) < 0) {
            return false;
        }
    }
}

// Until the child has ended (reaped), or until nanpeer is stopping (then
// the child is left running, and false is returned).
bool wait_for_child(pid_t child, command_wait wait)
{
    int status = 0;
    if (wait == command_wait::until_stop) {
        // Waited for together with the stop.
        const unique_fd ended(open_pidfd(child));
        if (!ended.valid()) {
            return wait_polling(child);
        }
        if (wait_unless_stopping(ended.get(), -1) != 1) {
            return false;
        }
    }
    // A stop signal lands on any thread: the wait goes on until the command
    // ends, whose status, like system()'s, no caller examines.
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    return true;
}

} // namespace

bool run_shell_command(const char *command_line, command_wait wait)
{
    // Our buffered lines come before whatever the command prints.
    std::fflush(stdout);
    spawn_attributes attributes;
    int error = attributes.ok() ? prepare(attributes) : ENOMEM;
    pid_t child = -1;
    if (error == 0) {
        char shell_name[] = "sh";
        char command_option[] = "-c";
        char *const arguments[] = {shell_name, command_option, const_cast<char *>(command_line),
                                   nullptr};
        error = posix_spawn(&child, "/bin/sh", nullptr, attributes.get(), arguments, environ);
    }
    if (error != 0) {
        nan_log(log_severity::warning, "%s: cannot start /bin/sh: %s\n", __func__,
                std::strerror(error));
        return true;
    }
    return wait_for_child(child, wait);
}
