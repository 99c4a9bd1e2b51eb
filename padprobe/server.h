// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// The serving side: the receiving thread and the request thread.
#pragma once

#include "padprobe/monitor.h"
#include "padprobe/request_framer.h"
#include "padprobe/request_handlers.h"
#include "padprobe/request_queue.h"
#include "padprobe/serial_writer.h"
#include "padprobe/unique_fd.h"

#include <atomic>
#include <pthread.h>

namespace padprobe {

class Server {
public:
    // uart: the configured UART, which the server only borrows.
    explicit Server(int uart)
        : uart_(uart), out_(uart), monitor_(out_), context_{out_, monitor_} { }
    // Ends the threads if they still run; the tool itself never gets here.
    ~Server() { shutdown(); }
    Server(const Server &) = delete;
    Server &operator=(const Server &) = delete;

    // Creates the semaphores; logs and returns false on failure.
    bool init();

    // Starts both threads; false after a thread could not be created (the
    // failure is reported, and a thread that did start is ended again).
    bool start();

    // Waits until both threads end; in the tool they never do.
    void join();

    // Ends both threads; for tests and orderly teardown.
    void shutdown();

private:
    static void *uart_rx_main(void *self);
    static void *cap_rx_main(void *self);
    void receive();
    void serve();

    int uart_;
    SerialWriter out_;
    Monitor monitor_;
    RequestContext context_;
    RequestQueue queue_;
    RequestFramer framer_;
    UniqueFd wake_;
    std::atomic<bool> quit_{false};
    pthread_t uart_rx_{};
    pthread_t cap_rx_{};
    bool uart_rx_started_ = false;
    bool cap_rx_started_ = false;
};

} // namespace padprobe
