// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// padprobe's request framing and handling: a byte stream, split into reads
// of random sizes, goes through the framer, the hand-off queue and the
// request table as the receiving and serving threads pass it on, against an
// attribute tree in /dev/shm. The monitor runs for real, ticked by the
// target. Then the bytes sent to the host are checked: whole answers and
// whole frames only, one answer per request handed over, every answer a
// JSON object with a known "type", frames numbered from 1 without gaps.
//
// Input: two bytes seed the read sizes; the rest is the serial stream.
#include "fuzz_support.h"
#include "padprobe/frame.h"
#include "padprobe/monitor.h"
#include "padprobe/request_framer.h"
#include "padprobe/request_handlers.h"
#include "padprobe/request_queue.h"
#include "padprobe/serial_writer.h"
#include "padprobe_stand_ins.h"

#include <cjson/cJSON.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstring>
#include <string_view>
#include <vector>

namespace {

using namespace padprobe;

struct Tool {
    int uart = memfd_create("padprobe-uart", MFD_CLOEXEC);
    SerialWriter out{uart};
    Monitor monitor{out};
    RequestContext context{out, monitor};
    RequestQueue queue;
    RequestFramer framer;

    Tool()
    {
        fuzz_require(uart >= 0 && queue.init() == 0 && monitor.init() == 0,
                     "cannot set the tool up");
    }
};

Tool &tool()
{
    static Tool instance;
    return instance;
}

// The read sizes: mostly short reads, now and then a full receive buffer.
class ReadSizes {
public:
    explicit ReadSizes(uint32_t seed) : state_(seed * 2654435761u + 1) { }
    size_t next()
    {
        state_ ^= state_ << 13;
        state_ ^= state_ >> 17;
        state_ ^= state_ << 5;
        return (state_ & 7) == 0 ? 1 + state_ % kRequestCapacity : 1 + state_ % 48;
    }

private:
    uint32_t state_;
};

void serve_one(Tool &t)
{
    ReceivedRequest received{};
    t.queue.pop(received);
    switch (received.kind) {
    case ReceivedRequest::Kind::request:
        fuzz_require(std::strlen(received.text) <= kRequestCapacity,
                     "a request text longer than the buffer");
        handle_request(t.context, received.text);
        break;
    case ReceivedRequest::Kind::overflow:
        reject_oversized_request(t.context);
        break;
    case ReceivedRequest::Kind::shutdown:
        fuzz_require(false, "a shutdown that nobody queued");
        break;
    }
    if (t.monitor.busy())
        padprobe_fuzz::post_monitor_tick();
}

std::vector<uint8_t> sent_to_host(int uart)
{
    const off_t size = lseek(uart, 0, SEEK_END);
    std::vector<uint8_t> bytes(static_cast<size_t>(size));
    fuzz_require(pread(uart, bytes.data(), bytes.size(), 0) == size, "cannot read what was sent");
    return bytes;
}

bool known_answer_type(const cJSON *answer)
{
    const cJSON *type = cJSON_GetObjectItemCaseSensitive(answer, "type");
    if (!cJSON_IsString(type))
        return false;
    for (const char *name : {"ack", "error", "query", "query_ch", "tune_mbias_ch"}) {
        if (std::strcmp(type->valuestring, name) == 0)
            return true;
    }
    return false;
}

// Walks the output item by item; returns the number of answers.
size_t check_output(const std::vector<uint8_t> &bytes)
{
    size_t answers = 0;
    uint32_t last_sequence = 0;
    size_t at = 0;
    while (at < bytes.size()) {
        const uint8_t *item = bytes.data() + at;
        const size_t left = bytes.size() - at;
        if (item[0] == '{') {
            const char *end = nullptr;
            cJSON *answer =
                cJSON_ParseWithLengthOpts(reinterpret_cast<const char *>(item), left, &end, 0);
            fuzz_require(answer != nullptr, "an answer that is not whole JSON");
            fuzz_require(cJSON_IsObject(answer) && known_answer_type(answer),
                         "an answer without a known type");
            cJSON_Delete(answer);
            at += static_cast<size_t>(end - reinterpret_cast<const char *>(item));
            ++answers;
            continue;
        }
        fuzz_require(left >= kHeaderSize && std::memcmp(item, "data", 4) == 0,
                     "bytes that are neither answer nor frame");
        const uint32_t sequence = static_cast<uint32_t>(item[4] | item[5] << 8 | item[6] << 16) |
                                  static_cast<uint32_t>(item[7]) << 24;
        const size_t count = item[8];
        const size_t length = static_cast<size_t>(item[11] | item[12] << 8);
        fuzz_require(count <= kMaxRecords && length == count * kRecordSize,
                     "a frame of the wrong length");
        fuzz_require(left >= kHeaderSize + length, "a frame cut short");
        uint8_t parity = 0;
        for (size_t i = 0; i < length; ++i)
            parity = static_cast<uint8_t>(parity ^ item[kHeaderSize + i]);
        fuzz_require(parity == item[13], "a frame whose XOR does not match");
        // A new start numbers its frames from 1 again.
        fuzz_require(sequence == last_sequence + 1 || sequence == 1, "a frame lost or repeated");
        last_sequence = sequence;
        at += kHeaderSize + length;
    }
    return answers;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 2)
        return 0;
    Tool &t = tool();
    padprobe_fuzz::reset_attribute_tree();
    fuzz_require(ftruncate(t.uart, 0) == 0 && lseek(t.uart, 0, SEEK_SET) == 0,
                 "cannot clear the output");
    t.framer = RequestFramer{};
    padprobe_fuzz::skip_sleeps(true);

    ReadSizes sizes(static_cast<uint32_t>(data[0] | data[1] << 8));
    std::string_view stream(reinterpret_cast<const char *>(data + 2), size - 2);
    size_t handed_over = 0;
    while (!stream.empty()) {
        std::string_view chunk = stream.substr(0, sizes.next());
        stream.remove_prefix(chunk.size());
        // As the receiving thread does with each read.
        while (!chunk.empty()) {
            const RequestFramer::Step step = t.framer.feed(chunk);
            fuzz_require(step.consumed <= chunk.size(), "the framer took more than it was given");
            fuzz_require(step.consumed > 0 || step.event != RequestFramer::Event::none ||
                             chunk.empty(),
                         "the framer made no progress");
            chunk.remove_prefix(step.consumed);
            switch (step.event) {
            case RequestFramer::Event::none:
                continue;
            case RequestFramer::Event::request:
                fuzz_require(t.framer.request().size() <= kRequestCapacity,
                             "a request longer than the buffer");
                t.queue.push(ReceivedRequest::Kind::request, t.framer.request());
                break;
            case RequestFramer::Event::overflow:
                t.queue.push(ReceivedRequest::Kind::overflow, {});
                break;
            case RequestFramer::Event::discarded:
                // Answered by nobody.
                fuzz_require(t.framer.request().size() <= kRequestCapacity,
                             "discarded text longer than the buffer");
                continue;
            }
            ++handed_over;
            serve_one(t);
        }
    }
    padprobe_fuzz::skip_sleeps(false);
    // No frame comes after a stop has returned.
    if (t.monitor.busy())
        t.monitor.stop();
    fuzz_require(check_output(sent_to_host(t.uart)) == handed_over,
                 "not exactly one answer per request");
    return 0;
}
