// Cuts the received byte stream into requests at the brace that balances each one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace padprobe {

// The longest request text, as the host's tool is told.
inline constexpr size_t kRequestCapacity = 1024;

class RequestFramer {
public:
    enum class Event : uint8_t {
        none = 0,     // every byte given was taken, no request is complete yet
        request = 1,  // request() holds a complete request
        overflow = 2, // a request outgrew the buffer and is being dropped
    };

    struct Step {
        size_t consumed;
        Event event;
    };

    // Takes bytes up to and including the end of the next request, or all of
    // them. Bytes not consumed belong to later requests: feed them again.
    Step feed(std::string_view bytes);

    // The request completed by the last feed; valid until the next feed.
    std::string_view request() const { return {buffer_, length_}; }

private:
    enum class Scan : uint8_t {
        between = 0,   // outside any object
        in_object = 1, // inside braces, outside strings
        in_string = 2, // inside a JSON string, where braces do not count
        in_escape = 3, // right after a backslash in a string
    };

    // Advances the scan over one byte; true when it balanced the braces.
    bool scan(char byte);

    char buffer_[kRequestCapacity] = {};
    size_t length_ = 0;
    uint32_t depth_ = 0;
    Scan state_ = Scan::between;
    // Set after an overflow: bytes are skipped up to the next object.
    bool dropping_ = false;
    // Set once request() has been handed out; the next feed starts afresh.
    bool complete_ = false;
};

const char *to_string(RequestFramer::Event event);

} // namespace padprobe
