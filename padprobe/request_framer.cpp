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
            // What is left of a dropped request ends where the next object starts.
            if (opens_object) {
                dropping_ = false;
                buffer_[length_++] = byte;
            }
            continue;
        }
        if (length_ == kRequestCapacity) {
            // Forget how the dropped request was scanned: after a stray quote
            // every later brace would count as inside a string, nothing would
            // balance again, and the channel would stay silent for good. So
            // the byte is taken afresh, outside any object, and the rest of
            // the dropped request is skipped up to the next object.
            length_ = 0;
            depth_ = 0;
            state_ = Scan::between;
            static_cast<void>(scan(byte));
            dropping_ = state_ != Scan::in_object;
            if (!dropping_)
                buffer_[length_++] = byte;
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
