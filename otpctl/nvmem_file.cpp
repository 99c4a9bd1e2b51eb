// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// open, pread and pwrite on the nvmem view files.
#include "nvmem_file.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace otpctl {

unique_fd open_view(const char *path, Access access)
{
    const int mode = access == Access::read_write ? O_RDWR : O_RDONLY;
    return unique_fd{::open(path, mode | O_CLOEXEC)};
}

ssize_t read_at(const unique_fd &fd, std::span<std::byte> bytes, uint32_t offset)
{
    const ssize_t count = ::pread(fd.get(), bytes.data(), bytes.size(), static_cast<off_t>(offset));
    return count < 0 ? -errno : count;
}

ssize_t write_at(const unique_fd &fd, std::span<const std::byte> bytes, uint32_t offset)
{
    const ssize_t count =
        ::pwrite(fd.get(), bytes.data(), bytes.size(), static_cast<off_t>(offset));
    return count < 0 ? -errno : count;
}

} // namespace otpctl
