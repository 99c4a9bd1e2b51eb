// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// A running server on a pty over a temporary attribute tree, and a host that asks it things.
#pragma once

#include "attr_dir.h"
#include "pty_host.h"

#include "padprobe/server.h"

#include <gtest/gtest.h>
#include <string>
#include <string_view>

namespace padprobe_test {

class ServerTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(host.uart() >= 0);
        ASSERT_TRUE(server.init());
        ASSERT_TRUE(server.start());
    }

    // Sends a request and returns the next answer.
    std::string ask(std::string_view request)
    {
        host.send(request);
        return next_answer();
    }

    std::string next_answer()
    {
        const size_t wanted = answers_seen_ + 1;
        const std::string got = host.wait_for([wanted](std::string_view bytes) {
            return split_stream(bytes).answers.size() >= wanted;
        });
        const Stream stream = split_stream(got);
        if (stream.answers.size() < wanted) {
            ADD_FAILURE() << "no answer came";
            return {};
        }
        return stream.answers[answers_seen_++];
    }

    // Everything the tool sent since the server started.
    Stream stream()
    {
        return split_stream(host.wait_for([](std::string_view) { return true; }));
    }

    AttrDir dir;
    PtyHost host;
    padprobe::Server server{host.uart()};

private:
    size_t answers_seen_ = 0;
};

} // namespace padprobe_test
