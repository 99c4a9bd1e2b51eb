// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// The nvmem calls of otpctl, answered from memory.
#include "fake_nvmem_file.h"

#include "nvmem_file.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>

FakeNvmem &fake_nvmem()
{
    static FakeNvmem fake;
    return fake;
}

namespace otpctl {

namespace {

size_t transfer_size(size_t wanted, uint32_t offset)
{
    const FakeNvmem &fake = fake_nvmem();
    if (offset >= fake.image.size())
        return 0;
    size_t size = std::min(wanted, fake.image.size() - offset);
    if (fake.transfer_limit >= 0)
        size = std::min(size, static_cast<size_t>(fake.transfer_limit));
    return size;
}

} // namespace

unique_fd open_view(const char *path, Access access)
{
    FakeNvmem &fake = fake_nvmem();
    fake.opened_path = path;
    fake.opened_for_writing = access == Access::read_write;
    ++fake.open_count;
    if (fake.missing) {
        errno = ENOENT;
        return unique_fd{};
    }
    // Any real descriptor will do: only the fake reads and writes.
    return unique_fd{::open("/dev/null", O_RDONLY | O_CLOEXEC)};
}

ssize_t read_at(const unique_fd &, std::span<std::byte> bytes, uint32_t offset)
{
    FakeNvmem &fake = fake_nvmem();
    if (fake.read_error != 0)
        return -fake.read_error;
    const size_t size = transfer_size(bytes.size(), offset);
    std::memcpy(bytes.data(), fake.image.data() + offset, size);
    return static_cast<ssize_t>(size);
}

ssize_t write_at(const unique_fd &, std::span<const std::byte> bytes, uint32_t offset)
{
    FakeNvmem &fake = fake_nvmem();
    ++fake.writes;
    if (fake.write_error != 0)
        return -fake.write_error;
    const size_t size = transfer_size(bytes.size(), offset);
    std::memcpy(fake.image.data() + offset, bytes.data(), size);
    return static_cast<ssize_t>(size);
}

} // namespace otpctl
