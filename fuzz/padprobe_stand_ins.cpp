// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// The attribute root, the monitor's interval timer and the tune's pauses,
// for padprobe's fuzz target.
#include "padprobe_stand_ins.h"

#include "fuzz_support.h"
#include "padprobe/attr_root.h"
#include "padprobe/monitor_timer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

namespace {

struct Attribute {
    const char *group;
    const char *name;
    const char *value; // what a fresh controller reports
};

// Every attribute the driver publishes, with values that let a tune walk.
constexpr Attribute kAttributes[] = {
    {"common_config", "ctc_enable", "1"},   {"common_config", "scan_interval", "16"},
    {"common_config", "sample_num", "4"},   {"common_config", "debounce_times", "2"},
    {"common_config", "debounce_en", "0"},  {"common_config", "snr_touch", "900"},
    {"common_config", "snr_noise", "30"},   {"etc_config", "etc_enable", "1"},
    {"etc_config", "etc_interval", "40"},   {"etc_config", "etc_factor", "6"},
    {"etc_config", "etc_step", "2"},        {"chx_config", "ch_num", "0"},
    {"chx_config", "chx_enable", "1"},      {"chx_config", "chx_mbias", "21"},
    {"chx_config", "chx_abs_th", "2000"},   {"chx_config", "chx_diff_th", "50"},
    {"chx_config", "chx_p_noise_th", "8"},  {"chx_config", "chx_n_noise_th", "7"},
    {"chx_config", "chx_ave_data", "3000"}, {"chx_config", "chx_baseline", "3100"},
};

std::string root;
std::atomic<padprobe::TickLatch *> tick_target{nullptr};
thread_local bool sleeps_skipped = false;

void write_file(const std::string &path, const char *text)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    fuzz_require(fd >= 0, "cannot write the attribute tree");
    const size_t length = std::strlen(text);
    fuzz_require(::write(fd, text, length) == static_cast<ssize_t>(length),
                 "cannot write an attribute");
    ::close(fd);
}

} // namespace

namespace padprobe_fuzz {

void reset_attribute_tree()
{
    if (root.empty()) {
        char made[] = "/dev/shm/padprobe-fuzz-XXXXXX";
        fuzz_require(mkdtemp(made) != nullptr, "no attribute tree");
        root = made;
        for (const char *group : {"common_config", "etc_config", "chx_config"})
            fuzz_require(mkdir((root + "/" + group).c_str(), 0755) == 0, "no attribute directory");
    }
    for (const Attribute &attribute : kAttributes)
        write_file(root + "/" + attribute.group + "/" + attribute.name, attribute.value);
}

void post_monitor_tick()
{
    if (padprobe::TickLatch *tick = tick_target.load())
        tick->signal();
}

void skip_sleeps(bool skip)
{
    sleeps_skipped = skip;
}

} // namespace padprobe_fuzz

namespace padprobe {

const char *attr_root()
{
    return root.c_str();
}

// The real timer is SIGALRM from setitimer, which libFuzzer keeps for its
// own time-outs; ticks come from the target instead.
int monitor_timer_start(uint16_t, TickLatch *tick)
{
    tick_target.store(tick);
    tick->signal();
    return 0;
}

void monitor_timer_stop() { }

void monitor_timer_detach()
{
    tick_target.store(nullptr);
}

} // namespace padprobe

extern "C" int nanosleep(const timespec *request, timespec *remaining)
{
    if (sleeps_skipped)
        return 0;
    return static_cast<int>(syscall(SYS_nanosleep, request, remaining));
}
