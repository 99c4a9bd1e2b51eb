// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// The record of every write the tool made to the attribute files, in order.
#include "write_log.h"

#include <array>
#include <cerrno>
#include <cstring>

namespace touchsim {

namespace {

struct ErrnoName {
    int value;
    const char *name;
};
constexpr std::array<ErrnoName, 10> errno_names{{
    {EPERM, "EPERM"},
    {ENOENT, "ENOENT"},
    {EIO, "EIO"},
    {EAGAIN, "EAGAIN"},
    {EACCES, "EACCES"},
    {EBUSY, "EBUSY"},
    {ENODEV, "ENODEV"},
    {EINVAL, "EINVAL"},
    {ERANGE, "ERANGE"},
    {ETIMEDOUT, "ETIMEDOUT"},
}};

} // namespace

std::string errno_name(int err)
{
    for (const ErrnoName &e : errno_names)
        if (e.value == err)
            return e.name;
    return std::to_string(err);
}

int errno_from_name(std::string_view name)
{
    for (const ErrnoName &e : errno_names)
        if (name == e.name)
            return e.value;
    int value = 0;
    for (char c : name) {
        if (c < '0' || c > '9' || value > 4095)
            return 0;
        value = value * 10 + (c - '0');
    }
    return value;
}

std::string escape_text(std::string_view text)
{
    std::string out;
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '\\') {
            out += "\\\\";
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\t') {
            out += "\\t";
        } else if (byte < 0x20 || byte >= 0x7f) {
            static constexpr char hex[] = "0123456789abcdef";
            out += "\\x";
            out += hex[byte >> 4];
            out += hex[byte & 0xf];
        } else {
            out += c;
        }
    }
    return out;
}

std::string write_log_line(double now, const AttrInfo &attr, int channel, std::string_view text,
                           int result)
{
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%.6f", now);
    std::string line = stamp;
    line += '\t';
    line += group_dir(attr.group);
    line += '/';
    line += attr.name;
    line += '\t';
    line += per_channel(attr.id) ? std::to_string(channel) : "-";
    line += '\t';
    line += escape_text(text);
    line += '\t';
    line += result == 0 ? "ok" : errno_name(-result);
    line += '\n';
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
