// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// Attribute files: a fresh open for every access, values as short decimal text.
#include "padprobe/attr_access.h"

#include "padprobe/attr_root.h"
#include "padprobe/log.h"
#include "padprobe/unique_fd.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace padprobe {
namespace {

// Room for the attribute root, a group directory and the longest name.
struct AttrPath {
    char text[256];
};

// False when the path does not fit; the caller treats that like a failed open.
bool make_path(AttrGroup group, const char *name, AttrPath &path)
{
    const int length =
        snprintf(path.text, sizeof path.text, "%s/%s/%s", attr_root(), to_string(group), name);
    return length >= 0 && static_cast<size_t>(length) < sizeof path.text;
}

UniqueFd open_attr(const AttrPath &path, bool path_fits, int flags)
{
    if (!path_fits) {
        errno = ENAMETOOLONG;
        return UniqueFd{};
    }
    return UniqueFd{::open(path.text, flags | O_CLOEXEC)};
}

} // namespace

const char *to_string(AttrGroup group)
{
    switch (group) {
    case AttrGroup::common:
        return "common_config";
    case AttrGroup::etc:
        return "etc_config";
    case AttrGroup::channel:
        return "chx_config";
    }
    return "common_config";
}

ValueText format_value(int32_t value)
{
    ValueText out{};
    snprintf(out.text, sizeof out.text, "%d", static_cast<int>(value));
    return out;
}

int attr_write(AttrGroup group, const char *name, const char *text)
{
    AttrPath path{};
    const bool fits = make_path(group, name, path);
    const UniqueFd fd = open_attr(path, fits, O_WRONLY);
    if (!fd.valid()) {
        const int error = errno;
        cap_log(CAP_ERROR "open %s error\n", path.text);
        return -error;
    }
    const size_t length = strlen(text);
    const ssize_t written = ::write(fd.get(), text, length);
    if (written < 0 || static_cast<size_t>(written) != length) {
        const int error = written < 0 ? errno : EIO;
        cap_log(CAP_ERROR "write %s error\n\n", name);
        return -error;
    }
    return 0;
}

int attr_read(AttrGroup group, const char *name, char (&buffer)[kReadWidth + 1])
{
    AttrPath path{};
    const bool fits = make_path(group, name, path);
    const UniqueFd fd = open_attr(path, fits, O_RDONLY);
    if (!fd.valid()) {
        const int error = errno;
        cap_log(CAP_ERROR "open %s error\n", path.text);
        return -error;
    }
    if (::read(fd.get(), buffer, kReadWidth) < 0) {
        cap_log(CAP_ERROR "read %s error,read size: %d, read val:%s\n\n", name,
                static_cast<int>(kReadWidth), buffer);
        exit(-1);
    }
    return 0;
}

int32_t read_value(AttrGroup group, const char *name)
{
    char buffer[kReadWidth + 1] = {};
    attr_read(group, name, buffer);
    // Four characters at most, so the value always fits 32 bits.
    return static_cast<int32_t>(strtol(buffer, nullptr, 10));
}

int write_value(AttrGroup group, const char *name, int32_t value)
{
    const ValueText text = format_value(value);
    return attr_write(group, name, text.text);
}

int write_flag(AttrGroup group, const char *name, bool on)
{
    return attr_write(group, name, on ? "1" : "0");
}

} // namespace padprobe
