// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// The only place otpctl calls into the kernel for the nvmem views, so a
// test can stand in for it at link time.
#pragma once

#include "unique_fd.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <sys/types.h>

namespace otpctl {

enum class Access : uint8_t {
    read_only = 0,
    read_write = 1,
};

// Opens a view; an invalid descriptor (errno set) when that fails.
unique_fd open_view(const char *path, Access access);

// One positioned transfer each: the byte count, or -errno.
ssize_t read_at(const unique_fd &fd, std::span<std::byte> bytes, uint32_t offset);
ssize_t write_at(const unique_fd &fd, std::span<const std::byte> bytes, uint32_t offset);

} // namespace otpctl
