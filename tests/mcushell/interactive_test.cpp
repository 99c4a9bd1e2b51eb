// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// The interactive loop, fed from a string, sending into a recording sink.
#include "interactive.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <gtest/gtest.h>
#include <string>
#include <vector>

using namespace mcushell;

namespace {

struct Sent {
    unsigned length;
    std::string text; // the whole 128-byte field
};

class RecordingSink final : public CommandSink {
public:
    std::vector<Sent> sent;
    std::vector<int> answers; // answer of each call in turn; 0 when out

    int send(const CommandRecord &record) override
    {
        sent.push_back(Sent{record.length, std::string(record.text, sizeof record.text)});
        return sent.size() <= answers.size() ? answers[sent.size() - 1] : 0;
    }
};

std::string padded(const std::string &text)
{
    std::string field = text;
    field.resize(record_text_size, '\0');
    return field;
}

struct Session {
    int result;
    std::string out;
};

Session run_session(RecordingSink &sink, const std::string &input)
{
    std::FILE *in = fmemopen(const_cast<char *>(input.data()), input.size(), "r");
    char *out_data = nullptr;
    size_t out_size = 0;
    std::FILE *out = open_memstream(&out_data, &out_size);
    const int result = run_interactive(sink, in, out);
    static_cast<void>(std::fclose(in));
    EXPECT_EQ(std::fclose(out), 0); // out_data is whole only after this
    Session session{result, std::string(out_data, out_size)};
    std::free(out_data);
    return session;
}

} // namespace

TEST(Interactive, EachLineIsOneRecordAndEmptyLinesOnlyPrompt)
{
    RecordingSink sink;
    const Session s = run_session(sink, "ver\n\nset led 1\nexit\nnever\n");
    ASSERT_EQ(sink.sent.size(), 2u);
    EXPECT_EQ(sink.sent[0].length, 3u);
    EXPECT_EQ(sink.sent[0].text, padded("ver"));
    EXPECT_EQ(sink.sent[1].length, 9u);
    EXPECT_EQ(sink.sent[1].text, padded("set led 1"));
    EXPECT_EQ(s.out, "\r\n#");
    EXPECT_EQ(s.result, 0);
}

TEST(Interactive, ExitMustBeTheWholeLine)
{
    RecordingSink sink;
    run_session(sink, "exit \n exit\nexitx\nexit");
    ASSERT_EQ(sink.sent.size(), 3u);
    EXPECT_EQ(sink.sent[0].text, padded("exit "));
    EXPECT_EQ(sink.sent[1].text, padded(" exit"));
    EXPECT_EQ(sink.sent[2].text, padded("exitx"));
}

TEST(Interactive, StatusIsThatOfTheLastCommandSent)
{
    RecordingSink sink;
    EXPECT_EQ(run_session(sink, "exit\n").result, 0);
    EXPECT_TRUE(sink.sent.empty());

    sink.answers = {-1, 0};
    EXPECT_EQ(run_session(sink, "a\nb\nexit\n").result, 0) << "a failure does not stick";

    sink = RecordingSink{};
    sink.answers = {0, -1};
    EXPECT_EQ(run_session(sink, "a\nb\n\nexit\n").result, -1);
    EXPECT_EQ(sink.sent.size(), 2u) << "a failed command does not end the loop";
}

TEST(Interactive, EndOfInputEndsLikeExit)
{
    RecordingSink sink;
    sink.answers = {-1};
    const Session s = run_session(sink, "reboot\n");
    EXPECT_EQ(s.result, -1);
    EXPECT_EQ(sink.sent.size(), 1u);

    sink = RecordingSink{};
    EXPECT_EQ(run_session(sink, "").result, 0);
    EXPECT_EQ(run_session(sink, "last").result, 0);
    ASSERT_EQ(sink.sent.size(), 1u) << "a last line without newline is still sent";
    EXPECT_EQ(sink.sent[0].text, padded("last"));
}

TEST(Interactive, LongLinesArriveIn127CharacterPieces)
{
    RecordingSink sink;
    const std::string line127(127, 'a');
    Session s = run_session(sink, line127 + "\nexit\n");
    ASSERT_EQ(sink.sent.size(), 1u);
    EXPECT_EQ(sink.sent[0].length, 127u);
    EXPECT_EQ(sink.sent[0].text, padded(line127));
    EXPECT_EQ(s.out, "\r\n#") << "the newline left over is an empty line";

    sink = RecordingSink{};
    s = run_session(sink, std::string(127, 'b') + "cde\nexit\n");
    ASSERT_EQ(sink.sent.size(), 2u);
    EXPECT_EQ(sink.sent[0].length, 127u);
    EXPECT_EQ(sink.sent[1].length, 3u);
    EXPECT_EQ(sink.sent[1].text, padded("cde"));
    EXPECT_EQ(s.out, "");

    sink = RecordingSink{};
    run_session(sink, std::string(126, 'c') + "\nexit\n");
    ASSERT_EQ(sink.sent.size(), 1u);
    EXPECT_EQ(sink.sent[0].length, 126u);
}

TEST(Interactive, NothingTravelsBehindTheTerminator)
{
    RecordingSink sink;
    // A NUL inside a line, and a long line followed by a short one: the text
    // field must hold the command and zeros only.
    const std::string input = std::string("ab\0cd\n", 6) + std::string(100, 'x') + "\nok\nexit\n";
    run_session(sink, input);
    ASSERT_EQ(sink.sent.size(), 3u);
    EXPECT_EQ(sink.sent[0].length, 2u);
    EXPECT_EQ(sink.sent[0].text, padded("ab"));
    EXPECT_EQ(sink.sent[2].length, 2u);
    EXPECT_EQ(sink.sent[2].text, padded("ok"));
}

TEST(Interactive, ALineHoldingOnlyANulIsSkipped)
{
    RecordingSink sink;
    const Session s = run_session(sink, std::string("\0\nexit\n", 7));
    EXPECT_TRUE(sink.sent.empty());
    EXPECT_EQ(s.out, "");
}
