// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// Cuts the received byte stream into requests at the brace that balances each one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace padprobe {

// The longest request text, as the host's tool is told.
inline constexpr size_t kRequestCapacity = 1024;
// How far past the buffer a dropped request is followed to the brace that
// balances it, before framing starts afresh at the next '{'.
inline constexpr size_t kDropSkipLimit = 1024;

class RequestFramer {
public:
    enum class Event : uint8_t {
        none = 0,      // every byte given was taken, no request is complete yet
        request = 1,   // request() holds a complete request
        overflow = 2,  // a request outgrew the buffer and is being dropped
        discarded = 3, // a '}' outside any object ended text that gets no answer
    };

    struct Step {
        size_t consumed;
        Event event;
    };

    // Takes bytes up to and including the end of the next request, or all of
    // them. Bytes not consumed belong to later requests: feed them again.
    Step feed(std::string_view bytes);

    // The request completed by the last feed, or after Event::discarded the
    // text in front of the stray '}'; valid until the next feed.
    std::string_view request() const { return {buffer_, length_}; }

private:
    enum class Scan : uint8_t {
        between = 0,   // outside any object
        in_object = 1, // inside braces, outside strings
        in_string = 2, // inside a JSON string, where braces do not count
        in_escape = 3, // right after a backslash in a string
    };

    enum class Mode : uint8_t {
        framing = 0,   // bytes go into the buffer
        skipping = 1,  // the rest of a dropped request, up to its balancing brace
        resyncing = 2, // bytes are dropped up to the next '{'
    };

    // Advances the scan over one byte; true when it balanced the braces.
    bool scan(char byte);
    // Handles one byte of a dropped request; false while it is still skipped.
    bool skip(char byte);
    // Starts dropping after the buffer filled up; `byte` is the first one
    // that did not fit.
    void drop(char byte);

    char buffer_[kRequestCapacity] = {};
    size_t length_ = 0;
    uint32_t depth_ = 0;
    Scan state_ = Scan::between;
    Mode mode_ = Mode::framing;
    // Bytes skipped so far in Mode::skipping.
    size_t skipped_ = 0;
    // Set once request() has been handed out; the next feed starts afresh.
    bool complete_ = false;
};

const char *to_string(RequestFramer::Event event);

} // namespace padprobe
