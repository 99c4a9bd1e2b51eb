// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// Request framing: where one request ends and the next begins.
#include "padprobe/request_framer.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <string>
#include <vector>

using padprobe::kDropSkipLimit;
using padprobe::kRequestCapacity;
using padprobe::RequestFramer;
using Event = RequestFramer::Event;

namespace {

// Feeds every chunk in order and lists what came out: request texts,
// "<overflow>" for each dropped request and "<discarded>" for text ended by a
// stray closing brace.
std::vector<std::string> frame_all(RequestFramer &framer, const std::vector<std::string> &chunks)
{
    std::vector<std::string> out;
    for (const std::string &chunk : chunks) {
        std::string_view rest = chunk;
        while (!rest.empty()) {
            const RequestFramer::Step step = framer.feed(rest);
            EXPECT_GT(step.consumed, 0u);
            rest.remove_prefix(step.consumed);
            if (step.event == Event::request)
                out.emplace_back(framer.request());
            else if (step.event == Event::overflow)
                out.emplace_back("<overflow>");
            else if (step.event == Event::discarded)
                out.emplace_back("<discarded>");
        }
    }
    return out;
}

std::vector<std::string> frame_all(const std::vector<std::string> &chunks)
{
    RequestFramer framer;
    return frame_all(framer, chunks);
}

} // namespace

TEST(Framer, SplitReadsMakeOneRequest)
{
    EXPECT_EQ(frame_all({"{\"type\"", ":\"query", "\"", "}"}),
              (std::vector<std::string>{"{\"type\":\"query\"}"}));
    EXPECT_EQ(frame_all({"{\"a\":{\"b\":", "{}}", "}"}),
              (std::vector<std::string>{"{\"a\":{\"b\":{}}}"}));
    EXPECT_EQ(frame_all({"{", "\"a\":1", "}"}), (std::vector<std::string>{"{\"a\":1}"}));
}

TEST(Framer, SeveralRequestsInOneReadAreEachKept)
{
    EXPECT_EQ(frame_all({"{\"n\":1}{\"n\":2}\r\n {\"n\":3}"}),
              (std::vector<std::string>{"{\"n\":1}", "{\"n\":2}", "{\"n\":3}"}));
    // The end of one and the start of the next in the same read.
    EXPECT_EQ(frame_all({"{\"n\":1", "}{\"n\"", ":2}"}),
              (std::vector<std::string>{"{\"n\":1}", "{\"n\":2}"}));
}

TEST(Framer, BracesInsideStringsDoNotCount)
{
    EXPECT_EQ(frame_all({"{\"type\":\"}\"}{\"x\":\"{{\"}"}),
              (std::vector<std::string>{"{\"type\":\"}\"}", "{\"x\":\"{{\"}"}));
    // An escaped quote does not end the string; an escaped backslash does not escape the quote.
    EXPECT_EQ(frame_all({R"({"a":"\"}"})", R"({"b":"\\"})"}),
              (std::vector<std::string>{R"({"a":"\"}"})", R"({"b":"\\"})"}));
    // The escape may be split across reads.
    EXPECT_EQ(frame_all({R"({"a":"\)", R"("}"})"}), (std::vector<std::string>{R"({"a":"\"}"})"}));
}

TEST(Framer, TextOutsideObjects)
{
    // Junk stays with the request that follows, which then fails to parse.
    EXPECT_EQ(frame_all({"ab{\"n\":1}", "{}"}), (std::vector<std::string>{"ab{\"n\":1}", "{}"}));
    // A stray closing brace, alone or after junk, is discarded without a
    // request: an answer to it would pair with the host's next request.
    RequestFramer framer;
    EXPECT_EQ(
        frame_all(framer, {"}", " x", "y}", "{\"n\":1}}\r\n{}"}),
        (std::vector<std::string>{"<discarded>", "<discarded>", "{\"n\":1}", "<discarded>", "{}"}));
    // The discarded text is there for the log.
    framer.feed("junk}");
    EXPECT_EQ(framer.request(), "junk");
}

TEST(Framer, OversizedRequestIsDroppedAndFramingResumes)
{
    const std::string fits = "{\"pad\":\"" + std::string(kRequestCapacity - 10, 'p') + "\"}";
    ASSERT_EQ(fits.size(), kRequestCapacity);
    const std::string too_long = "{\"pad\":\"" + std::string(kRequestCapacity, '}') + "\"}";
    EXPECT_EQ(frame_all({fits, too_long.substr(0, 700), too_long.substr(700), "{\"n\":2}"}),
              (std::vector<std::string>{fits, "<overflow>", "{\"n\":2}"}));
    // One byte too long: the balancing brace is all that is skipped.
    EXPECT_EQ(frame_all({fits.substr(0, kRequestCapacity - 1) + " }{}"}),
              (std::vector<std::string>{"<overflow>", "{}"}));

    // Junk that fills the buffer is dropped up to the next object.
    EXPECT_EQ(frame_all({std::string(kRequestCapacity + 5, 'j'), "{\"n\":3}"}),
              (std::vector<std::string>{"<overflow>", "{\"n\":3}"}));
    // Junk that fills the buffer right before an object keeps the object.
    EXPECT_EQ(frame_all({std::string(kRequestCapacity, 'j') + "{\"n\":4}"}),
              (std::vector<std::string>{"<overflow>", "{\"n\":4}"}));
}

TEST(Framer, NothingInsideADroppedRequestIsServed)
{
    // The inner object of an over-long request is skipped with it, up to the
    // brace that balances the whole, whatever the reads look like.
    const std::string config = "{\"type\":\"config\",\"pad\":\"" + std::string(1050, 'p') +
                               "\",\"x\":{\"type\":\"reset\"}}";
    ASSERT_GT(config.size(), kRequestCapacity);
    ASSERT_LT(config.size(), kRequestCapacity + kDropSkipLimit);
    for (const size_t cut : {size_t{1}, size_t{700}, kRequestCapacity, config.size() - 3}) {
        EXPECT_EQ(frame_all({config.substr(0, cut), config.substr(cut), "{\"type\":\"query\"}"}),
                  (std::vector<std::string>{"<overflow>", "{\"type\":\"query\"}"}))
            << "cut at " << cut;
    }
    // Braces inside the dropped request's strings do not end it early.
    const std::string tricky = "{\"a\":\"" + std::string(kRequestCapacity, 'q') +
                               "\",\"b\":\"}{\\\"}\",\"c\":{\"type\":\"stop\"}}{}";
    EXPECT_EQ(frame_all({tricky}), (std::vector<std::string>{"<overflow>", "{}"}));
}

TEST(Framer, StrayQuoteCostsTwoBuffersNotTheChannel)
{
    // A lost closing quote leaves the framer inside a string, where the braces
    // of every later request do not count. Once the dropped request has not
    // balanced within the skip limit, framing must start afresh, or nothing
    // would ever balance again.
    RequestFramer framer;
    std::vector<std::string> chunks{"{\"type\":\"stop}"};
    for (int i = 0; i < 200; ++i)
        chunks.emplace_back("{\"type\":\"stop\"}");
    const std::vector<std::string> out = frame_all(framer, chunks);
    ASSERT_GE(out.size(), 2u);
    EXPECT_EQ(out.front(), "<overflow>");
    EXPECT_EQ(std::count(out.begin(), out.end(), "<overflow>"), 1);
    EXPECT_EQ(out.back(), "{\"type\":\"stop\"}");
    // Of the 200 requests, only those inside the buffer and the skip are lost.
    EXPECT_GE(out.size() - 1, 200u - (kRequestCapacity + kDropSkipLimit) / 15 - 1);

    // The same after an escape that swallows the closing quote: the skip
    // ends exactly at its limit, and the object right after it is served.
    const std::string lost = "{\"a\":\"\\\"}" + std::string(kRequestCapacity - 9, 'x');
    ASSERT_EQ(lost.size(), kRequestCapacity);
    EXPECT_EQ(frame_all(framer, {lost, std::string(kDropSkipLimit, 'y'), "{\"n\":1}"}),
              (std::vector<std::string>{"<overflow>", "{\"n\":1}"}));
    // One byte short of the limit, the skip still swallows that object.
    EXPECT_EQ(
        frame_all(framer, {lost, std::string(kDropSkipLimit - 1, 'y'), "{\"n\":1}", "{\"n\":2}"}),
        (std::vector<std::string>{"<overflow>", "{\"n\":2}"}));
}
