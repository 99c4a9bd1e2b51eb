// Request framing: brace depth outside JSON strings decides where a request ends.
#include "padprobe/request_framer.h"

namespace padprobe {
namespace {

bool is_blank(char byte)
{
    return byte == ' ' || byte == '\t' || byte == '\r' || byte == '\n';
}

} // namespace

const char* to_string(RequestFramer::Event event)
{
    switch (event) {
    case RequestFramer::Event::none:
        return "none";
    case RequestFramer::Event::request:
        return "request";
    case RequestFramer::Event::overflow:
        return "overflow";
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
            return false;
        }
        // A stray closing brace ends whatever text came before it, so the
        // host gets an error answer instead of a stream that never balances.
        return byte == '}';
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

RequestFramer::Step RequestFramer::feed(std::string_view bytes)
{
    if (complete_) {
        length_ = 0;
        complete_ = false;
    }
    size_t i = 0;
    while (i < bytes.size()) {
        const char byte = bytes[i++];
        // Blanks between requests belong to neither.
        if (state_ == Scan::between && length_ == 0 && !dropping_ && is_blank(byte))
            continue;
        const Scan before = state_;
        const bool balanced = scan(byte);
        const bool opens_object = before == Scan::between && state_ == Scan::in_object;
        if (dropping_) {
            // A dropped request ends at its balancing brace; dropped text
            // outside any object ends where the next object starts.
            if (balanced || opens_object)
                dropping_ = false;
            if (opens_object)
                buffer_[length_++] = byte;
            continue;
        }
        if (length_ == kRequestCapacity) {
            length_ = 0;
            if (opens_object)
                buffer_[length_++] = byte;
            // Unless this byte ended the request or began a new one, the
            // rest of the oversized request is still to come.
            dropping_ = !balanced && !opens_object;
            return {i, Event::overflow};
        }
        buffer_[length_++] = byte;
        if (balanced) {
            complete_ = true;
            return {i, Event::request};
        }
    }
    return {i, Event::none};
}

} // namespace padprobe
