// What a command run through the shell inherits from nanpeer.
#include "shell_command.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <pthread.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "response_timer.h"

namespace {

// The blocked-signal mask the command saw, from /proc, or "" when it could
// not be run the way the test needs.
std::string mask_seen_by_command(const std::string &out)
{
    const pid_t child = fork();
    if (child == 0) {
        // Debian's dash clears the mask when it starts, which would hide what
        // system() passes on; other shells (bash, a board's busybox) keep it. So
        // the command runs under bash as /bin/sh, in a mount namespace of its own.
        if (unshare(CLONE_NEWNS) != 0 ||
            mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
            mount("/bin/bash", "/bin/sh", nullptr, MS_BIND, nullptr) != 0) {
            _exit(77);
        }
        sigset_t set;
        sigemptyset(&set);
        sigaddset(&set, kResponseTimerSignal);
        pthread_sigmask(SIG_BLOCK, &set, nullptr);
        run_shell_command(("grep ^SigBlk: /proc/self/status > " + out).c_str());
        // The caller's own mask is as it was.
        sigset_t after;
        pthread_sigmask(SIG_BLOCK, nullptr, &after);
        _exit(sigismember(&after, kResponseTimerSignal) == 1 ? 0 : 1);
    }
    int status = 0;
    waitpid(child, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) == 77) {
        return "";
    }
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the caller's mask changed";
    std::ifstream file(out);
    std::string line;
    std::getline(file, line);
    return line;
}

} // namespace

TEST(shell_command, commands_do_not_inherit_the_blocked_timer_signal)
{
    if (geteuid() != 0 || access("/bin/bash", X_OK) != 0) {
        GTEST_SKIP() << "needs root and /bin/bash";
    }
    char folder[] = "/tmp/nanpeer-shell-XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    const std::string out = std::string(folder) + "/mask";
    const std::string line = mask_seen_by_command(out);
    static_cast<void>(std::remove(out.c_str()));
    rmdir(folder);
    if (line.empty()) {
        GTEST_SKIP() << "no private mount namespace here";
    }
    // "SigBlk:\t<hex>": bit n-1 stands for signal n.
    const unsigned long long mask = std::strtoull(line.c_str() + line.find('\t') + 1, nullptr, 16);
    EXPECT_EQ(mask & (1ULL << (kResponseTimerSignal - 1)), 0ULL) << line;
}
