// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// The request hand-off: a bounded ring guarded by a mutex and two semaphores.
#include "padprobe/request_queue.h"

#include <cstring>

namespace padprobe {

const char *to_string(ReceivedRequest::Kind kind)
{
    switch (kind) {
    case ReceivedRequest::Kind::request:
        return "request";
    case ReceivedRequest::Kind::overflow:
        return "overflow";
    case ReceivedRequest::Kind::shutdown:
        return "shutdown";
    }
    return "?";
}

int RequestQueue::init()
{
    // The request semaphore first: start-up reports either failure alike.
    if (const int result = ready_.init(0); result < 0)
        return result;
    return free_.init(kSlots);
}

void RequestQueue::push(ReceivedRequest::Kind kind, std::string_view text)
{
    free_.wait();
    {
        const std::lock_guard<std::mutex> hold{mutex_};
        Slot &slot = slots_[(head_ + count_) % kSlots];
        slot.kind = kind;
        slot.length = text.size() < kRequestCapacity ? text.size() : kRequestCapacity;
        if (slot.length > 0)
            memcpy(slot.text, text.data(), slot.length);
        ++count_;
    }
    ready_.post();
}

void RequestQueue::pop(ReceivedRequest &out)
{
    ready_.wait();
    {
        const std::lock_guard<std::mutex> hold{mutex_};
        const Slot &slot = slots_[head_];
        out.kind = slot.kind;
        memcpy(out.text, slot.text, slot.length);
        out.text[slot.length] = '\0';
        head_ = (head_ + 1) % kSlots;
        --count_;
    }
    free_.post();
}

} // namespace padprobe
