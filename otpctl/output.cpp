// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// Formatting of the address line, the dump and the write echo.
#include "output.h"

namespace otpctl {

namespace {

constexpr size_t bytes_per_row = 16;

unsigned as_unsigned(std::byte b)
{
    return std::to_integer<unsigned>(b);
}

} // namespace

void print_address_line(std::FILE *out, uint32_t address, int32_t length)
{
    std::fprintf(out, "addr : 0x%x, size: %d\n", address, length);
}

void print_dump(std::FILE *out, std::span<const std::byte> bytes)
{
    for (size_t i = 0; i < bytes.size(); ++i) {
        std::fprintf(out, "%02x ", as_unsigned(bytes[i]));
        if (i % bytes_per_row == bytes_per_row - 1)
            std::fputc('\n', out);
    }
}

void print_echo(std::FILE *out, std::span<const std::byte> bytes)
{
    for (size_t i = 0; i < bytes.size(); ++i)
        std::fprintf(out, "buf[%zu] = %x\n", i, as_unsigned(bytes[i]));
}

} // namespace otpctl
