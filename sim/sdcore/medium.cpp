// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// The simulated radio medium over Unix datagram sockets in a shared folder.
#include "medium.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace sdcore_sim {

namespace {
constexpr char kPrefix[] = "nan-";
constexpr char kSuffix[] = ".sock";

// Several radios may live in one process (the unit tests run two).
std::atomic<unsigned> next_radio_number{0};

bool is_radio_name(const char *name)
{
    const std::size_t length = std::strlen(name);
    const std::size_t prefix = sizeof kPrefix - 1;
    const std::size_t suffix = sizeof kSuffix - 1;
    return length > prefix + suffix && std::strncmp(name, kPrefix, prefix) == 0 &&
           std::strcmp(name + length - suffix, kSuffix) == 0;
}
} // namespace

int medium::open(const char *folder, const mac_address &mac)
{
    close();
    folder_length_ = std::strlen(folder);
    own_ = sockaddr_un{};
    own_.sun_family = AF_UNIX;
    const int n =
        std::snprintf(own_.sun_path, sizeof own_.sun_path,
                      "%s/nan-%02x%02x%02x%02x%02x%02x-%d-%u.sock", folder, mac[0], mac[1], mac[2],
                      mac[3], mac[4], mac[5], static_cast<int>(::getpid()), next_radio_number++);
    if (n < 0 || static_cast<std::size_t>(n) >= sizeof own_.sun_path) {
        own_.sun_path[0] = '\0';
        return -ENAMETOOLONG;
    }
    own_name_ = own_.sun_path + folder_length_ + 1;
    folder_.reset(::open(folder, O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!folder_.valid())
        return -errno;
    socket_.reset(::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    if (!socket_.valid())
        return -errno;
    ::unlink(own_.sun_path);
    if (::bind(socket_.get(), reinterpret_cast<const sockaddr *>(&own_), sizeof own_) != 0) {
        int error = errno;
        socket_.reset();
        return -error;
    }
    return 0;
}

void medium::close()
{
    if (socket_.valid()) {
        socket_.reset();
        ::unlink(own_.sun_path);
    }
    folder_.reset();
}

int medium::broadcast(std::span<const uint8_t> frame)
{
    if (!socket_.valid())
        return -EBADF;
    if (::lseek(folder_.get(), 0, SEEK_SET) != 0)
        return -errno;
    int reached = 0;
    for (;;) {
        const long got = ::syscall(SYS_getdents64, folder_.get(), entries_, sizeof entries_);
        if (got < 0)
            return -errno;
        if (got == 0)
            break;
        for (long offset = 0; offset < got;) {
            dirent64 entry_head;
            std::memcpy(&entry_head, entries_ + offset, offsetof(dirent64, d_name));
            const char *name =
                reinterpret_cast<const char *>(entries_ + offset + offsetof(dirent64, d_name));
            offset += entry_head.d_reclen;
            if (!is_radio_name(name) || std::strcmp(name, own_name_) == 0)
                continue;
            sockaddr_un peer{};
            peer.sun_family = AF_UNIX;
            const int n = std::snprintf(peer.sun_path, sizeof peer.sun_path, "%.*s/%s",
                                        static_cast<int>(folder_length_), own_.sun_path, name);
            if (n < 0 || static_cast<std::size_t>(n) >= sizeof peer.sun_path)
                continue;
            const ssize_t sent =
                ::sendto(socket_.get(), frame.data(), frame.size(), MSG_DONTWAIT | MSG_NOSIGNAL,
                         reinterpret_cast<const sockaddr *>(&peer), sizeof peer);
            if (sent >= 0) {
                ++reached;
            } else if (errno == ECONNREFUSED) {
                // Its radio is gone (the process ended without unbinding).
                ::unlink(peer.sun_path);
            }
        }
    }
    return reached;
}

ssize_t medium::receive(std::span<uint8_t> buffer)
{
    const ssize_t got = ::recv(socket_.get(), buffer.data(), buffer.size(), MSG_DONTWAIT);
    return got >= 0 ? got : -errno;
}

} // namespace sdcore_sim
