// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// uart_rx_thread frames what the UART delivers; cap_rx_thread serves it.
#include "padprobe/server.h"

#include "padprobe/log.h"

#include <cerrno>
#include <cstdio>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/select.h>
#include <unistd.h>

namespace padprobe {
namespace {

// How long the receiver rests after the line reads as hung up.
constexpr int kHangUpPauseMs = 200;

// Waits until the shutdown's wake-up or the pause is over.
void rest_unless_woken(int wake)
{
    pollfd woken{wake, POLLIN, 0};
    static_cast<void>(poll(&woken, 1, kHangUpPauseMs));
}

} // namespace

bool Server::init()
{
    if (queue_.init() < 0 || monitor_.init() < 0) {
        cap_log(CAP_ERROR "sem_init failed \n\n");
        return false;
    }
    wake_ = UniqueFd{eventfd(0, EFD_CLOEXEC)};
    if (!wake_.valid()) {
        cap_log(CAP_ERROR "eventfd failed \n\n");
        return false;
    }
    return true;
}

bool Server::start()
{
    if (const int error = pthread_create(&cap_rx_, nullptr, cap_rx_main, this); error != 0) {
        errno = error;
        perror("pthread_create cap_rx_thread error");
        return false;
    }
    cap_rx_started_ = true;
    if (const int error = pthread_create(&uart_rx_, nullptr, uart_rx_main, this); error != 0) {
        errno = error;
        perror("pthread_create uart_rx_thread error");
        shutdown();
        return false;
    }
    uart_rx_started_ = true;
    return true;
}

void Server::join()
{
    if (cap_rx_started_)
        pthread_join(cap_rx_, nullptr);
    cap_rx_started_ = false;
    if (uart_rx_started_)
        pthread_join(uart_rx_, nullptr);
    uart_rx_started_ = false;
}

void Server::shutdown()
{
    quit_.store(true, std::memory_order_release);
    // The receiver first: once it is gone nothing is queued behind the
    // shutdown, and the request thread serves what came before it.
    if (uart_rx_started_) {
        const uint64_t one = 1;
        if (::write(wake_.get(), &one, sizeof one) != static_cast<ssize_t>(sizeof one))
            cap_log(CAP_ERROR "eventfd write failed\n\n");
        pthread_join(uart_rx_, nullptr);
        uart_rx_started_ = false;
    }
    if (cap_rx_started_) {
        queue_.push(ReceivedRequest::Kind::shutdown, {});
        pthread_join(cap_rx_, nullptr);
        cap_rx_started_ = false;
    }
}

void *Server::uart_rx_main(void *self)
{
    static_cast<Server *>(self)->receive();
    return nullptr;
}

void *Server::cap_rx_main(void *self)
{
    static_cast<Server *>(self)->serve();
    return nullptr;
}

void Server::receive()
{
    char chunk[kRequestCapacity];
    const int wake = wake_.get();
    const int highest = (uart_ > wake ? uart_ : wake) + 1;
    while (!quit_.load(std::memory_order_acquire)) {
        fd_set readable;
        FD_ZERO(&readable);
        FD_SET(uart_, &readable);
        FD_SET(wake, &readable);
        if (select(highest, &readable, nullptr, nullptr, nullptr) <= 0 ||
            !FD_ISSET(uart_, &readable))
            continue;
        const ssize_t received = ::read(uart_, chunk, sizeof chunk);
        if (received <= 0) {
            // A line that hung up (the host end of a pty closed, a USB
            // adapter pulled out) is readable at once and for ever, with end
            // of file or EIO: keep waiting for it, but not by spinning.
            if (received == 0 || (errno != EINTR && errno != EAGAIN))
                rest_unless_woken(wake);
            continue;
        }
        std::string_view bytes{chunk, static_cast<size_t>(received)};
        while (!bytes.empty()) {
            const RequestFramer::Step step = framer_.feed(bytes);
            bytes.remove_prefix(step.consumed);
            switch (step.event) {
            case RequestFramer::Event::none:
                break;
            case RequestFramer::Event::request:
                queue_.push(ReceivedRequest::Kind::request, framer_.request());
                break;
            case RequestFramer::Event::overflow:
                queue_.push(ReceivedRequest::Kind::overflow, {});
                break;
            case RequestFramer::Event::discarded: {
                // No answer: the host's next answer must be its next request's.
                const std::string_view text = framer_.request();
                cap_log(CAP_WARN "Text outside any request discarded: %.*s}\n\n",
                        static_cast<int>(text.size()), text.data());
                break;
            }
            }
        }
    }
}

void Server::serve()
{
    ReceivedRequest received{};
    for (;;) {
        queue_.pop(received);
        switch (received.kind) {
        case ReceivedRequest::Kind::request:
            handle_request(context_, received.text);
            break;
        case ReceivedRequest::Kind::overflow:
            reject_oversized_request(context_);
            break;
        case ReceivedRequest::Kind::shutdown:
            return;
        }
    }
}

} // namespace padprobe
