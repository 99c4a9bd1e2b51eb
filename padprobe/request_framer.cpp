// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// Request framing: brace depth outside JSON strings decides where a request ends.
#include "padprobe/request_framer.h"

namespace padprobe {
namespace {

bool is_blank(char byte)
{
    return byte == ' ' || byte == '\t' || byte == '\r' || byte == '\n';
}

} // namespace

const char *to_string(RequestFramer::Event event)
{
    switch (event) {
    case RequestFramer::Event::none:
        return "none";
    case RequestFramer::Event::request:
        return "request";
    case RequestFramer::Event::overflow:
        return "overflow";
    case RequestFramer::Event::discarded:
        return "discarded";
    }
    return "?";
}

bool RequestFramer::scan(char byte)
{
    switch (state_) {
    case Scan::between:
        if (byte == '{') {
            depth_ = 1;
            state_ = Scan::in_object;
        }
        return false;
    case Scan::in_object:
        if (byte == '"') {
            state_ = Scan::in_string;
        } else if (byte == '{') {
            ++depth_;
        } else if (byte == '}') {
            if (--depth_ == 0) {
                state_ = Scan::between;
                return true;
            }
        }
        return false;
    case Scan::in_string:
        if (byte == '\\')
            state_ = Scan::in_escape;
        else if (byte == '"')
            state_ = Scan::in_object;
        return false;
    case Scan::in_escape:
        state_ = Scan::in_string;
        return false;
    }
    return false;
}

bool RequestFramer::skip(char byte)
{
    switch (mode_) {
    case Mode::framing:
        return false;
    case Mode::skipping:
        // The dropped request is followed to the brace that balances it, so
        // that no object inside it is served as a request of its own.
        if (scan(byte)) {
            mode_ = Mode::framing;
        } else if (++skipped_ == kDropSkipLimit) {
            // It has not balanced: a stray quote (a byte lost on the line)
            // may have turned every later brace into string text, and then
            // nothing would balance again and the channel would stay silent
            // for good. So framing starts afresh at the next object.
            depth_ = 0;
            state_ = Scan::between;
            mode_ = Mode::resyncing;
        }
        return true;
    case Mode::resyncing:
        if (byte != '{')
            return true;
        mode_ = Mode::framing;
        return false;
    }
    return false;
}

void RequestFramer::drop(char byte)
{
    length_ = 0;
    if (state_ == Scan::between) {
        // Text outside any object filled the buffer: it is dropped up to the
        // next object, which may start with this very byte.
        mode_ = Mode::resyncing;
        if (!skip(byte)) {
            static_cast<void>(scan(byte));
            buffer_[length_++] = byte;
        }
        return;
    }
    mode_ = Mode::skipping;
    skipped_ = 0;
    static_cast<void>(skip(byte));
}

RequestFramer::Step RequestFramer::feed(std::string_view bytes)
{
    if (complete_) {
        length_ = 0;
        complete_ = false;
    }
    size_t i = 0;
    while (i < bytes.size()) {
        const char byte = bytes[i++];
        if (skip(byte))
            continue;
        if (state_ == Scan::between) {
            // Blanks between requests belong to neither.
            if (length_ == 0 && is_blank(byte))
                continue;
            // A closing brace outside any object answers no request: the
            // host would take an answer to it for the answer to its next
            // request. It and the text in front of it go.
            if (byte == '}') {
                complete_ = true;
                return {i, Event::discarded};
            }
        }
        if (length_ == kRequestCapacity) {
            drop(byte);
            return {i, Event::overflow};
        }
        buffer_[length_++] = byte;
        if (scan(byte)) {
            complete_ = true;
            return {i, Event::request};
        }
    }
    return {i, Event::none};
}

} // namespace padprobe
