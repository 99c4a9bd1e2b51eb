// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// Hands complete requests from the receiving thread to the serving thread.
#pragma once

#include "padprobe/request_framer.h"
#include "padprobe/semaphore.h"

#include <array>
#include <cstddef>
#include <mutex>
#include <string_view>

namespace padprobe {

// What the serving thread takes: a request text, or the news that one was
// dropped for being too long, so that it is answered in its turn.
struct ReceivedRequest {
    enum class Kind : uint8_t {
        request = 0,
        overflow = 1,
        shutdown = 2,
    };
    Kind kind = Kind::request;
    // NUL-terminated request text.
    char text[kRequestCapacity + 1] = {};
};

const char *to_string(ReceivedRequest::Kind kind);

// A fixed ring of request slots. Each slot is copied in and out under the
// lock, so the receiver can take further bytes while a request is served.
class RequestQueue {
public:
    // 0 or -errno from creating the semaphores.
    int init();

    // Blocks while every slot is taken.
    void push(ReceivedRequest::Kind kind, std::string_view text);

    // Blocks until a request is there.
    void pop(ReceivedRequest &out);

private:
    static constexpr size_t kSlots = 4;

    struct Slot {
        ReceivedRequest::Kind kind;
        size_t length;
        char text[kRequestCapacity];
    };

    Semaphore ready_;
    Semaphore free_;
    std::mutex mutex_;
    std::array<Slot, kSlots> slots_{};
    size_t head_ = 0;
    size_t count_ = 0;
};

} // namespace padprobe
