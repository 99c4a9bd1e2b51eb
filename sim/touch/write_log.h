// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// The record of every write the tool made to the attribute files, in order.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

#include "attributes.h"

namespace touchsim {

// One tab-separated line per write:
//   <seconds, monotonic> <dir>/<name> <channel or -> <text, escaped> <ok | errno name>
// The channel is the one selected when a chx_ attribute was written.
std::string write_log_line(double now, const AttrInfo &attr, int channel, std::string_view text,
                           int result);

// Text with tabs, newlines, backslashes and non-printing bytes as C escapes.
std::string escape_text(std::string_view text);

// The symbolic name of an errno value ("EINVAL"), or its number as text.
std::string errno_name(int err);
// The errno value for a name or number; 0 when unknown.
int errno_from_name(std::string_view name);

class WriteLog {
public:
    WriteLog() = default;
    WriteLog(const WriteLog &) = delete;
    WriteLog &operator=(const WriteLog &) = delete;
    ~WriteLog();

    // 0 or -errno.
    int open(const std::string &path);
    // Appends and flushes, so a test reading the file sees every write that
    // has been answered.
    void record(double now, const AttrInfo &attr, int channel, std::string_view text, int result);

private:
    std::FILE *file_ = nullptr;
};

} // namespace touchsim
