// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// The stand-in for otpctl's nvmem calls. Whatever reaches it has passed the
// tool's checks, so it holds the tool to them: a read or write never exceeds
// the transfer buffer or the length asked for, and a write carries exactly
// the bytes the value argument spells, at the address argument.
#include "otpctl_nvmem_stand_in.h"

#include "nvmem_file.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>

namespace {

constexpr size_t kImageSize = 4096;
constexpr size_t kTransferBufferSize = 1024;

std::array<std::byte, kImageSize> image{};
const FuzzCommandLine *command_line = nullptr;

unsigned hex_value(char c)
{
    if (c >= '0' && c <= '9')
        return static_cast<unsigned>(c - '0');
    if (c >= 'a' && c <= 'f')
        return static_cast<unsigned>(c - 'a' + 10);
    fuzz_require(c >= 'A' && c <= 'F', "a byte written from a value digit that is not hexadecimal");
    return static_cast<unsigned>(c - 'A' + 10);
}

// The address and length arguments, read independently of the tool.
void require_address_and_length(size_t transferred, uint32_t offset)
{
    const std::string address(command_line->argument(2));
    fuzz_require(address.size() <= 8, "a transfer at an address of more than eight digits");
    const unsigned long expected = address.empty() ? 0 : std::strtoul(address.c_str(), nullptr, 16);
    fuzz_require(expected == offset, "a transfer at an offset other than the address argument");
    const std::string length(command_line->argument(3));
    const long wanted = std::strtol(length.c_str(), nullptr, 10);
    fuzz_require(wanted >= 0 && static_cast<size_t>(wanted) == transferred,
                 "a transfer of a size other than the length argument");
    fuzz_require(transferred <= kTransferBufferSize, "a transfer larger than the transfer buffer");
}

size_t reachable(size_t wanted, uint32_t offset)
{
    if (offset >= kImageSize)
        return 0;
    return std::min(wanted, kImageSize - offset);
}

} // namespace

void nvmem_stand_in_begin(const FuzzCommandLine &line)
{
    image.fill(std::byte{0x5a});
    command_line = &line;
}

namespace otpctl {

unique_fd open_view(const char *path, Access access)
{
    const std::string_view word = command_line->argument(1);
    const bool writing = word == "wraw" || word == "wmap";
    fuzz_require(writing || word == "rraw" || word == "rmap",
                 "a view opened for an unknown command");
    fuzz_require((access == Access::read_write) == writing, "a view opened in the wrong mode");
    const std::string_view expected = word.substr(1) == "raw"
                                          ? "/sys/bus/nvmem/devices/otp_raw0/nvmem"
                                          : "/sys/bus/nvmem/devices/otp_map0/nvmem";
    fuzz_require(expected == path, "the command opened the other view");
    return unique_fd{::open("/dev/null", O_RDONLY | O_CLOEXEC)};
}

ssize_t read_at(const unique_fd &, std::span<std::byte> bytes, uint32_t offset)
{
    require_address_and_length(bytes.size(), offset);
    const size_t count = reachable(bytes.size(), offset);
    std::memcpy(bytes.data(), image.data() + offset, count);
    return static_cast<ssize_t>(count);
}

ssize_t write_at(const unique_fd &, std::span<const std::byte> bytes, uint32_t offset)
{
    require_address_and_length(bytes.size(), offset);
    const std::string_view value = command_line->argument(4);
    fuzz_require(value.size() % 2 == 0, "a write from a value of odd length");
    fuzz_require(bytes.size() <= value.size() / 2, "a write of bytes the value never set");
    for (size_t k = 0; k < bytes.size(); ++k) {
        const unsigned expected = hex_value(value[2 * k]) * 16 + hex_value(value[2 * k + 1]);
        fuzz_require(std::to_integer<unsigned>(bytes[k]) == expected,
                     "a written byte differs from its value digits");
    }
    const size_t count = reachable(bytes.size(), offset);
    std::memcpy(image.data() + offset, bytes.data(), count);
    return static_cast<ssize_t>(count);
}

} // namespace otpctl
