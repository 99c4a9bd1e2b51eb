// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// The simulator's trace and its one diagnostic function.
#include "trace_log.h"

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace sdcore_sim {

int64_t monotonic_us()
{
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<int64_t>(now.tv_sec) * 1000000 + now.tv_nsec / 1000;
}

void sim_log(const char *format, ...)
{
    char text[512];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    std::fprintf(stderr, "sdcore-sim: %s\n", text);
}

int trace_log::open(const char *path)
{
    file_.reset();
    if (path == nullptr || path[0] == '\0')
        return 0;
    file_.reset(::open(path, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644));
    return file_.valid() ? 0 : -errno;
}

void trace_log::line(const char *kind, const char *name, const char *format, ...)
{
    if (!enabled())
        return;
    va_list args;
    va_start(args, format);
    write_line(monotonic_us(), kind, name, format, args);
    va_end(args);
}

void trace_log::line_at(int64_t time_us, const char *kind, const char *name, const char *format,
                        ...)
{
    if (!enabled())
        return;
    va_list args;
    va_start(args, format);
    write_line(time_us, kind, name, format, args);
    va_end(args);
}

void trace_log::write_line(int64_t time_us, const char *kind, const char *name, const char *format,
                           va_list args)
{
    char text[1024];
    const long tid = ::syscall(SYS_gettid);
    int used =
        std::snprintf(text, sizeof text, "%lld %d/%ld %s %s", static_cast<long long>(time_us),
                      static_cast<int>(::getpid()), tid, kind, name);
    if (used < 0)
        return;
    if (format[0] != '\0' && static_cast<std::size_t>(used) + 1 < sizeof text) {
        text[used++] = ' ';
        const int more =
            std::vsnprintf(text + used, sizeof text - static_cast<std::size_t>(used), format, args);
        if (more > 0)
            used += more;
    }
    if (static_cast<std::size_t>(used) >= sizeof text - 1)
        used = static_cast<int>(sizeof text) - 2;
    text[used++] = '\n';
    // One write per line keeps lines of concurrent writers whole (O_APPEND).
    [[maybe_unused]] ssize_t written = ::write(file_.get(), text, static_cast<std::size_t>(used));
}

} // namespace sdcore_sim
