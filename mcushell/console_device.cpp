// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// open and ioctl on /dev/console-ctrl.
#include "console_device.h"

#include <fcntl.h>
#include <sys/ioctl.h>

namespace mcushell {

namespace {

// The driver knows one request: "here is a command record".
constexpr unsigned long send_command_request = 0;

} // namespace

ConsoleDevice::ConsoleDevice() : fd_(::open(console_device_path, O_RDWR | O_CLOEXEC)) { }

int ConsoleDevice::send(const CommandRecord &record)
{
    return ::ioctl(fd_.get(), send_command_request, &record);
}

} // namespace mcushell
