// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// The record of every write the tool made to the attribute files, in order.
#include "write_log.h"

#include <cerrno>

#include "board_errno.h"
#include "model.h"
#include "touch_log.h"

namespace touchsim {

std::string errno_name(int err)
{
    const char *name = board_errno_name(err);
    return name != nullptr ? name : std::to_string(err);
}

int errno_from_name(std::string_view name)
{
    return board_errno_parse(name.data(), name.size());
}

std::string escape_text(std::string_view text)
{
    // At most four characters a byte, and the terminating NUL.
    std::string out(4 * text.size() + 1, '\0');
    model_text t{};
    model_text_init(&t, out.data(), out.size());
    touch_log_escape(&t, text.data(), text.size());
    out.resize(t.len);
    return out;
}

std::string write_log_line(double now, const AttrInfo &attr, int channel, std::string_view text,
                           int result)
{
    std::string line(4 * text.size() + 128, '\0');
    model_text t{};
    model_text_init(&t, line.data(), line.size());
    touch_log_line(&t, to_ns(now), static_cast<int>(attr.id), channel, text.data(), text.size(),
                   false, result);
    line.resize(t.len);
    return line;
}

WriteLog::~WriteLog()
{
    if (file_ != nullptr)
        static_cast<void>(std::fclose(file_)); // each line was flushed when written
}

int WriteLog::open(const std::string &path)
{
    file_ = std::fopen(path.c_str(), "we");
    return file_ != nullptr ? 0 : -errno;
}

void WriteLog::record(double now, const AttrInfo &attr, int channel, std::string_view text,
                      int result)
{
    if (file_ == nullptr)
        return;
    const std::string line = write_log_line(now, attr, channel, text, result);
    // The device took the write either way; a log that cannot keep up is
    // the test's to notice, by the line it misses.
    static_cast<void>(std::fwrite(line.data(), 1, line.size(), file_));
    std::fflush(file_);
}

} // namespace touchsim
