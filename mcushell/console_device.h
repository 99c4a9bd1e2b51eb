// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// The console control device: where command records go. The only place
// mcushell calls into the kernel for it, so tests can put a fake in its
// place.
#pragma once

#include "command_record.h"
#include "unique_fd.h"

namespace mcushell {

inline constexpr const char console_device_path[] = "/dev/console-ctrl";

// Something that takes command records and answers 0 or -1.
class CommandSink {
public:
    virtual int send(const CommandRecord &record) = 0;

protected:
    ~CommandSink() = default;
};

class ConsoleDevice final : public CommandSink {
public:
    // Opens the device read-write; check valid() (errno tells why not).
    ConsoleDevice();
    [[nodiscard]] bool valid() const { return fd_.valid(); }
    // One ioctl with request 0 and the record's address: 0 or -1.
    int send(const CommandRecord &record) override;

private:
    unique_fd fd_;
};

} // namespace mcushell
