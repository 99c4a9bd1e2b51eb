// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// The run: check the arguments, open the view, do one transfer, report it.
#include "run.h"

#include "command.h"
#include "hex_text.h"
#include "log.h"
#include "nvmem_file.h"
#include "options.h"
#include "output.h"

#include <array>
#include <cstdio>
#include <cstring>

namespace otpctl {

namespace {

// Statuses the scripts that call otpctl test for.
constexpr int status_bad_arguments = 1;
constexpr int status_device_failed = 255;

using TransferBuffer = std::array<std::byte, max_length>;

// A read reports the count it got as its status (modulo 256), or 255 when
// it failed. Bytes it did not get are shown as zero.
int run_read(const unique_fd &fd, const Options &options, TransferBuffer &buffer)
{
    const auto wanted = std::span{buffer}.first(static_cast<size_t>(options.length));
    const ssize_t count = read_at(fd, wanted, options.address);
    print_dump(stdout, wanted);
    if (count < 0)
        return status_device_failed;
    return static_cast<int>(count & 0xff);
}

// Only a write that reached the device in full counts as success: a caller
// that burns OTP must know when it did not.
int run_write(const unique_fd &fd, const Options &options, TransferBuffer &buffer)
{
    if (options.value.size() % 2 != 0) {
        std::puts("val buffer is invalid");
        return 0;
    }
    parse_value(options.value, buffer);
    const auto bytes =
        std::span<const std::byte>{buffer}.first(static_cast<size_t>(options.length));
    print_echo(stdout, bytes);
    const ssize_t count = write_at(fd, bytes, options.address);
    if (count < 0) {
        log_error("writing %zu bytes at 0x%x failed: %s", bytes.size(), options.address,
                  std::strerror(static_cast<int>(-count)));
        return status_device_failed;
    }
    if (static_cast<size_t>(count) != bytes.size()) {
        log_error("only %zd of %zu bytes written at 0x%x", count, bytes.size(), options.address);
        return status_device_failed;
    }
    return 0;
}

} // namespace

int run(int argc, const char *const *argv)
{
    Options options;
    const ParseResult parsed = parse_options(argc, argv, options);
    switch (parsed) {
    case ParseResult::ok:
        break;
    case ParseResult::usage:
    case ParseResult::write_usage:
        print_usage(parsed);
        return status_bad_arguments;
    case ParseResult::rejected:
        return status_bad_arguments;
    }

    const bool writing = is_write(options.command);
    const unique_fd fd =
        open_view(device_path(options.command), writing ? Access::read_write : Access::read_only);
    if (!fd.valid()) {
        std::puts("Can't open nvmem device");
        return status_device_failed;
    }
    print_address_line(stdout, options.address, options.length);
    TransferBuffer buffer{};
    return writing ? run_write(fd, options, buffer) : run_read(fd, options, buffer);
}

} // namespace otpctl
