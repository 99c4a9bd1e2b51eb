// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// The control socket: a Unix stream socket that takes control lines and
// answers each with one reply line.
#pragma once

#include <string>
#include <thread>

#include "simulator.h"

namespace touchsim {

class ControlSocket {
public:
    explicit ControlSocket(Simulator &sim) : sim_(sim) { }
    ControlSocket(const ControlSocket &) = delete;
    ControlSocket &operator=(const ControlSocket &) = delete;
    ~ControlSocket();

    // Binds `path` (replacing a stale socket) and starts serving. 0 or -errno.
    int start(const std::string &path);

private:
    void serve();
    void serve_client(int fd);

    Simulator &sim_;
    int listen_fd_ = -1;
    std::thread thread_;
};

} // namespace touchsim
