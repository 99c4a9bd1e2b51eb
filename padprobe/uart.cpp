// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// The UART: raw 8N1 at 1,500,000 baud, no flow control, reads that return what has arrived.
#include "padprobe/uart.h"

#include "padprobe/log.h"

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

namespace padprobe {
namespace {

constexpr char kGreeting[] = "start uart OK!\n";

termios line_settings()
{
    // From all-zero: no echo, no signals, no output processing, and VMIN and
    // VTIME 0 so a read returns what has arrived. The speed travels in the
    // control flags.
    termios settings{};
    settings.c_iflag = IGNPAR;
    settings.c_cflag = B1500000 | CS8 | CLOCAL | CREAD;
    return settings;
}

} // namespace

UniqueFd open_uart(const char *path)
{
    UniqueFd fd{::open(path, O_RDWR | O_NOCTTY | O_CLOEXEC)};
    if (!fd.valid()) {
        cap_log(CAP_ERROR "Fail to open device node %s\n\n", path);
        return UniqueFd{};
    }
    termios current{};
    if (const int result = tcgetattr(fd.get(), &current); result != 0) {
        cap_log(CAP_ERROR "Fail to get attribute: %d\n\n", result);
        return UniqueFd{};
    }
    const termios settings = line_settings();
    tcflush(fd.get(), TCIFLUSH);
    if (const int result = tcsetattr(fd.get(), TCSANOW, &settings); result != 0) {
        cap_log(CAP_ERROR "Fail to set attribute: %d\n\n", result);
        return UniqueFd{};
    }
    const ssize_t written = ::write(fd.get(), kGreeting, sizeof kGreeting - 1);
    if (written != static_cast<ssize_t>(sizeof kGreeting - 1)) {
        cap_log(CAP_ERROR "Fail to write: %d\n", static_cast<int>(written));
        return UniqueFd{};
    }
    cap_log(CAP_INFO "Padp Tool %s init OK!\n\n", path);
    return fd;
}

} // namespace padprobe
