// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// What otpctl prints on standard output: the address line, the read dump
// and the echo of the bytes about to be written.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <span>

namespace otpctl {

// "addr : 0x10, size: 4\n"
void print_address_line(std::FILE *out, uint32_t address, int32_t length);

// Each byte as "%02x ", a newline after every 16th; no newline closes a
// shorter last row.
void print_dump(std::FILE *out, std::span<const std::byte> bytes);

// One "buf[i] = x\n" line per byte, x without leading zeros.
void print_echo(std::FILE *out, std::span<const std::byte> bytes);

} // namespace otpctl
