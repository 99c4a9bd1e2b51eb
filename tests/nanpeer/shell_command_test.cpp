// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// What a command run through the shell inherits from nanpeer, and what
// running it does to nanpeer's own signal handling.
#include "shell_command.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <pthread.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstddef>
#include <thread>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

#include "stopping.h"

namespace {

constexpr int kSkip = 77;

void on_interrupt(int) { }

unsigned long long bit(int signal_number)
{
    return 1ULL << (signal_number - 1);
}

// posix_spawn leaves the signals the C library keeps for itself ignored in
// the child, and no one may change them; every program that uses them sets
// them up anew. They are 32 and 33 here, but 34 and 35 when the test runs
// under qemu-user, which moves the guest's real-time signals up by two: so
// only the standard signals count.
unsigned long long standard_signals(unsigned long long mask)
{
    return mask & (bit(31) | (bit(31) - 1));
}

// The state nanpeer's stop handlers leave, a blocked signal, and a signal
// that whoever started nanpeer left ignored. Reports through the exit status
// whether running the command changed any of it.
int run_in_prepared_process(const std::string &command)
{
    struct sigaction caught { };
    caught.sa_handler = on_interrupt;
    sigemptyset(&caught.sa_mask);
    sigaction(SIGINT, &caught, nullptr);
    static_cast<void>(std::signal(SIGHUP, SIG_IGN));
    sigset_t blocked;
    sigemptyset(&blocked);
    sigaddset(&blocked, SIGUSR1);
    sigaddset(&blocked, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &blocked, nullptr);

    static_cast<void>(run_shell_command(command.c_str()));

    struct sigaction interrupt { };
    struct sigaction hangup { };
    sigaction(SIGINT, nullptr, &interrupt);
    sigaction(SIGHUP, nullptr, &hangup);
    sigset_t after;
    pthread_sigmask(SIG_BLOCK, nullptr, &after);
    const bool kept = interrupt.sa_handler == on_interrupt && hangup.sa_handler == SIG_IGN &&
                      sigismember(&after, SIGUSR1) == 1 && sigismember(&after, SIGTERM) == 1;
    return kept ? 0 : 1;
}

// "Name:\t<hex>" lines of /proc/PID/status, as numbers by name.
std::map<std::string, unsigned long long> signal_lines(const std::string &path)
{
    std::map<std::string, unsigned long long> values;
    std::ifstream file(path);
    for (std::string line; std::getline(file, line);) {
        const std::size_t tab = line.find(":\t");
        if (tab != std::string::npos) {
            values[line.substr(0, tab)] = std::strtoull(line.c_str() + tab + 2, nullptr, 16);
        }
    }
    return values;
}

} // namespace

// The command starts with default actions and no blocked signal, and while
// it runs nanpeer keeps catching SIGINT (no SIGINT or SIGQUIT set to ignored,
// as system() does for the whole process).
TEST(shell_command, commands_start_afresh_and_leave_the_callers_signals_alone)
{
    if (geteuid() != 0 || access("/bin/bash", X_OK) != 0) {
        GTEST_SKIP() << "needs root and /bin/bash";
    }
    char folder[] = "/tmp/nanpeer-shell-XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    const std::string own = std::string(folder) + "/command";
    const std::string parent = std::string(folder) + "/caller";
    const unsigned long long ignored_here = signal_lines("/proc/self/status").at("SigIgn");
    const pid_t child = fork();
    if (child == 0) {
        // Debian's dash clears the mask when it starts, which would hide what
        // the command is given; other shells (bash, a board's busybox) keep
        // it. So the command runs under bash as /bin/sh, in a mount namespace
        // of its own.
        if (unshare(CLONE_NEWNS) != 0 ||
            mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
            mount("/bin/bash", "/bin/sh", nullptr, MS_BIND, nullptr) != 0) {
            _exit(kSkip);
        }
        _exit(run_in_prepared_process("grep -E '^Sig(Blk|Ign):' /proc/self/status > " + own +
                                      "; grep '^SigIgn:' /proc/$PPID/status > " + parent));
    }
    int status = 0;
    waitpid(child, &status, 0);
    const auto command_saw = signal_lines(own);
    const auto caller_had = signal_lines(parent);
    static_cast<void>(std::remove(own.c_str()));
    static_cast<void>(std::remove(parent.c_str()));
    rmdir(folder);
    ASSERT_TRUE(WIFEXITED(status));
    if (WEXITSTATUS(status) == kSkip) {
        GTEST_SKIP() << "no private mount namespace here";
    }
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the caller's signal handling changed";
    ASSERT_EQ(command_saw.count("SigBlk"), 1u);
    ASSERT_EQ(command_saw.count("SigIgn"), 1u);
    ASSERT_EQ(caller_had.count("SigIgn"), 1u);
    EXPECT_EQ(command_saw.at("SigBlk"), 0ULL) << "the command inherited blocked signals";
    EXPECT_EQ(standard_signals(command_saw.at("SigIgn")), 0ULL)
        << "the command inherited ignored signals";
    // Only what the caller ignored itself; SIGINT and SIGQUIT still caught
    // or at their default while the command ran.
    EXPECT_EQ(caller_had.at("SigIgn"), (ignored_here | bit(SIGHUP)) & ~bit(SIGINT));
}

namespace {

// As on a kernel before 5.3: pidfd_open answers ENOSYS. 0, or -1 where this
// process cannot have a seccomp filter (qemu-user).
int refuse_pidfd_open()
{
    sock_filter filter[] = {
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, SYS_pidfd_open, 0, 1),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | (ENOSYS & SECCOMP_RET_DATA)),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
    };
    sock_fprog program{};
    program.len = static_cast<unsigned short>(sizeof filter / sizeof filter[0]);
    program.filter = filter;
    if (prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0 ||
        prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program) != 0) {
        return -1;
    }
    return 0;
}

double seconds_since(std::chrono::steady_clock::time_point began)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
}

} // namespace

// Without process descriptors, a command is still waited for to its end,
// and a stop still cuts the wait short (the command is left running).
TEST(shell_command, waits_without_process_descriptors_end_and_are_cut_short_by_a_stop)
{
    const pid_t child = fork();
    if (child == 0) {
        if (refuse_pidfd_open() != 0) {
            _exit(kSkip);
        }
        if (syscall(SYS_pidfd_open, getpid(), 0) != -1 || errno != ENOSYS || stopping_init() != 0) {
            _exit(2);
        }
        auto began = std::chrono::steady_clock::now();
        if (!run_shell_command("sleep 0.3") || seconds_since(began) < 0.25) {
            _exit(3); // not waited for to its end
        }
        std::thread stopper([] {
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            request_stop();
        });
        began = std::chrono::steady_clock::now();
        const bool ended = run_shell_command("sleep 10");
        const double took = seconds_since(began);
        stopper.join();
        _exit(!ended && took < 2.0 ? 0 : 4);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    if (WEXITSTATUS(status) == kSkip) {
        GTEST_SKIP() << "no seccomp filter here";
    }
    EXPECT_EQ(WEXITSTATUS(status), 0)
        << "2: pidfd_open not refused; 3: a command not waited for; 4: a stop did not cut the "
           "wait short";
}
