// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// mcushell's command line and its interactive input. The first byte picks
// which: the rest is either argument words cut at NUL bytes, or the bytes of
// standard input. Every record that would reach the console device is held
// to the record's rules.
#include "command_line.h"
#include "command_record.h"
#include "console_device.h"
#include "fuzz_support.h"
#include "interactive.h"

#include <cstdio>
#include <cstring>

namespace {

// The text field holds length characters, none of them NUL or the line's
// newline, then zeros to its end.
void require_sound_record(const mcushell::CommandRecord &record)
{
    fuzz_require(record.length <= mcushell::max_command_chars, "a length byte above 127");
    fuzz_require(::strnlen(record.text, sizeof record.text) == record.length,
                 "a length byte that is not the text's length");
    for (size_t i = record.length; i < sizeof record.text; ++i)
        fuzz_require(record.text[i] == '\0', "bytes behind the terminator");
}

class CheckingSink final : public mcushell::CommandSink {
public:
    int send(const mcushell::CommandRecord &record) override
    {
        require_sound_record(record);
        fuzz_require(record.length > 0, "an empty line sent as a command");
        fuzz_require(std::memchr(record.text, '\n', record.length) == nullptr,
                     "a newline sent in a command");
        fuzz_require(std::strcmp(record.text, "exit") != 0, "\"exit\" sent as a command");
        ++sent_;
        // Let some commands fail, as a device may.
        return (record.text[0] & 1) != 0 ? -1 : 0;
    }
    size_t sent() const { return sent_; }

private:
    size_t sent_ = 0;
};

void fuzz_command_line(const uint8_t *data, size_t size)
{
    const FuzzCommandLine line("mcushell", data, size, 8);
    const mcushell::Invocation invocation = mcushell::parse_command_line(line.argc(), line.argv());
    // The word after the first exact "-c" is the command; nothing else is.
    const char *expected = nullptr;
    for (int i = 1; i < line.argc(); ++i) {
        if (line.argument(i) == "-c") {
            expected = i + 1 < line.argc() ? line.argv()[i + 1] : nullptr;
            break;
        }
    }
    mcushell::CommandRecord record{};
    switch (invocation.mode) {
    case mcushell::Mode::interactive:
        fuzz_require(false, "arguments taken for the interactive mode");
        return;
    case mcushell::Mode::usage:
        fuzz_require(expected == nullptr, "the usage text for a command line with a command");
        require_sound_record(record);
        return;
    case mcushell::Mode::one_command: {
        fuzz_require(invocation.command == expected, "a command other than the word after \"-c\"");
        mcushell::set_command(record, invocation.command);
        require_sound_record(record);
        const size_t length = std::strlen(invocation.command);
        fuzz_require(record.length == (length < 127 ? length : 127),
                     "a command cut at the wrong place");
        fuzz_require(std::memcmp(record.text, invocation.command, record.length) == 0,
                     "a command that differs from its argument");
        return;
    }
    }
}

void fuzz_interactive(const uint8_t *data, size_t size)
{
    static std::FILE *const nowhere = std::fopen("/dev/null", "w");
    // fmemopen cannot read an empty buffer; /dev/null gives the same end of input.
    std::FILE *in =
        size == 0 ? std::fopen("/dev/null", "r") : fmemopen(const_cast<uint8_t *>(data), size, "r");
    fuzz_require(in != nullptr && nowhere != nullptr, "no stream for the input");
    CheckingSink sink;
    const int status = mcushell::run_interactive(sink, in, nowhere);
    std::fclose(in);
    fuzz_require(status == 0 || status == -1, "a result that no send gave");
    // A line is cut into pieces of at most 127 characters: never more
    // commands than that allows.
    fuzz_require(sink.sent() <= size, "more commands than input bytes");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    if ((data[0] & 1) != 0)
        fuzz_command_line(data + 1, size - 1);
    else
        fuzz_interactive(data + 1, size - 1);
    return 0;
}
