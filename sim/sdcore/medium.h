// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// The simulated radio medium: one Unix datagram socket per radio, bound at a
// path in a shared folder. Path sockets reach across network namespaces, so
// boards in different namespaces share one medium when they share the folder.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <sys/types.h>
#include <sys/un.h>

#include "mac_address.h"
#include "unique_fd.h"

namespace sdcore_sim {

class medium {
public:
    // Binds nan-<address>-<pid>-<n>.sock in `folder`. 0 or -errno
    // (-ENAMETOOLONG when the folder's path leaves no room for the name).
    int open(const char *folder, const mac_address &mac);
    // Unbinds and removes the socket file.
    void close();
    [[nodiscard]] int fd() const { return socket_.get(); }
    [[nodiscard]] bool is_open() const { return socket_.valid(); }
    [[nodiscard]] const char *path() const { return own_.sun_path; }

    // Sends `frame` to every other radio of the folder without blocking; a
    // full receiver loses it, as a radio frame would be lost. A socket file
    // that nobody listens on any more is removed. The count of radios reached,
    // or -errno when the folder cannot be read.
    int broadcast(std::span<const uint8_t> frame);

    // One datagram, without blocking: its length, or -errno (-EAGAIN when none).
    ssize_t receive(std::span<uint8_t> buffer);

private:
    unique_fd socket_;
    unique_fd folder_;
    sockaddr_un own_{};
    std::size_t folder_length_ = 0;
    const char *own_name_ = nullptr;
    // Directory entries are read into this buffer: broadcasting allocates nothing.
    alignas(8) uint8_t entries_[4096];
};

} // namespace sdcore_sim
