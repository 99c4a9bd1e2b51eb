// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// Which command lines reach the device, and what the others are told.
#include "options.h"

#include <gtest/gtest.h>
#include <initializer_list>
#include <string>
#include <vector>

using namespace otpctl;
using testing::internal::CaptureStderr;
using testing::internal::GetCapturedStderr;

namespace {

struct Parsed {
    ParseResult result;
    Options options;
    std::string errors;
};

Parsed parse(std::initializer_list<const char *> args)
{
    std::vector<const char *> argv{"otpctl"};
    argv.insert(argv.end(), args);
    Parsed parsed{};
    CaptureStderr();
    parsed.result = parse_options(static_cast<int>(argv.size()), argv.data(), parsed.options);
    parsed.errors = GetCapturedStderr();
    return parsed;
}

void expect_rejected(std::initializer_list<const char *> args, const std::string &message)
{
    const Parsed parsed = parse(args);
    EXPECT_EQ(parsed.result, ParseResult::rejected) << message;
    EXPECT_EQ(parsed.errors, "otpctl: " + message + "\n");
}

} // namespace

TEST(Options, MissingArgumentsAskForTheRightUsageLine)
{
    EXPECT_EQ(parse({}).result, ParseResult::usage);
    EXPECT_EQ(parse({"rraw", "0"}).result, ParseResult::usage);
    EXPECT_EQ(parse({"wraw", "0"}).result, ParseResult::usage);
    EXPECT_EQ(parse({"wraw", "0", "1"}).result, ParseResult::write_usage);
    EXPECT_EQ(parse({"wmap", "0", "1"}).result, ParseResult::write_usage);
    EXPECT_EQ(parse({"rmap", "0", "1"}).result, ParseResult::ok);
    EXPECT_EQ(parse({"wraw", "0", "1"}).errors, "") << "the run prints the usage line";

    CaptureStderr();
    print_usage(ParseResult::usage);
    print_usage(ParseResult::write_usage);
    EXPECT_EQ(GetCapturedStderr(), "[rraw/rmap/wraw/wmap] [addr] [len] [write val]\n"
                                   "Usage:[wraw/wmap] [addr] [len] [write val]\n");
}

TEST(Options, CommandWordsMatchExactly)
{
    const struct {
        const char *word;
        Command command;
        const char *path;
    } words[] = {
        {"rraw", Command::read_raw, "/sys/bus/nvmem/devices/otp_raw0/nvmem"},
        {"rmap", Command::read_map, "/sys/bus/nvmem/devices/otp_map0/nvmem"},
        {"wraw", Command::write_raw, "/sys/bus/nvmem/devices/otp_raw0/nvmem"},
        {"wmap", Command::write_map, "/sys/bus/nvmem/devices/otp_map0/nvmem"},
    };
    for (const auto &w : words) {
        const Parsed parsed = parse({w.word, "0", "0", ""});
        ASSERT_EQ(parsed.result, ParseResult::ok) << w.word;
        EXPECT_EQ(parsed.options.command, w.command) << w.word;
        EXPECT_STREQ(device_path(parsed.options.command), w.path);
    }
    expect_rejected({"RRAW", "0", "1"}, "unknown command 'RRAW' (rraw, rmap, wraw or wmap)");
    expect_rejected({"rraw0", "0", "1"}, "unknown command 'rraw0' (rraw, rmap, wraw or wmap)");
    expect_rejected({"", "0", "1"}, "unknown command '' (rraw, rmap, wraw or wmap)");
}

TEST(Options, ReadTakesAddressAndLengthAndIgnoresTheRest)
{
    const Parsed parsed = parse({"rraw", "10", "4", "whatever", "more"});
    ASSERT_EQ(parsed.result, ParseResult::ok);
    EXPECT_EQ(parsed.options.address, 0x10u);
    EXPECT_EQ(parsed.options.length, 4);
    EXPECT_EQ(parsed.errors, "");
}

TEST(Options, LengthIsDecimalTheWayStrtolReadsIt)
{
    EXPECT_EQ(parse({"rraw", "0", "abc"}).options.length, 0);
    EXPECT_EQ(parse({"rraw", "0", " +12"}).options.length, 12);
    EXPECT_EQ(parse({"rraw", "0", "12abc"}).options.length, 12);
    EXPECT_EQ(parse({"rraw", "0", "010"}).options.length, 10) << "not octal";
    EXPECT_EQ(parse({"rraw", "0", "1024"}).options.length, 1024);
    EXPECT_EQ(parse({"rraw", "0", "-0"}).result, ParseResult::ok);
}

TEST(Options, LengthOutsideTheTransferBufferIsRefused)
{
    expect_rejected({"rraw", "0", "1025"}, "length '1025' is outside 0..1024");
    expect_rejected({"rraw", "0", "-1"}, "length '-1' is outside 0..1024");
    // Would wrap to a small count if it were narrowed before the check.
    expect_rejected({"rraw", "0", "4294967297"}, "length '4294967297' is outside 0..1024");
    expect_rejected({"rraw", "0", "99999999999999999999999"},
                    "length '99999999999999999999999' is outside 0..1024");
}

TEST(Options, AddressMustBeAtMostEightHexDigits)
{
    EXPECT_EQ(parse({"rraw", "", "1"}).options.address, 0u);
    EXPECT_EQ(parse({"rraw", "ffffffff", "1"}).options.address, 0xffffffffu);
    EXPECT_EQ(parse({"rraw", "00000010", "1"}).options.address, 0x10u);
    expect_rejected({"rraw", "0x10", "1"},
                    "address '0x10' is not hexadecimal (digits 0-9 a-f, no 0x prefix)");
    expect_rejected({"wraw", "g", "1", "00"},
                    "address 'g' is not hexadecimal (digits 0-9 a-f, no 0x prefix)");
    expect_rejected({"rraw", "100000010", "1"}, "address '100000010' has more than 8 digits");
}

TEST(Options, WriteValueMustBeHexAndCoverTheLength)
{
    Parsed parsed = parse({"wmap", "0", "2", "a1B2"});
    ASSERT_EQ(parsed.result, ParseResult::ok);
    EXPECT_EQ(parsed.options.value, "a1B2");

    EXPECT_EQ(parse({"wraw", "0", "1", "a1b2"}).result, ParseResult::ok) << "a longer value is cut";
    EXPECT_EQ(parse({"wraw", "0", "0", ""}).result, ParseResult::ok);
    // An odd value is never written; the run tells the user so.
    EXPECT_EQ(parse({"wraw", "0", "1", "abc"}).result, ParseResult::ok);
    EXPECT_EQ(parse({"wraw", "0", "9", "abc"}).result, ParseResult::ok);

    expect_rejected({"wraw", "0", "3", "a1b2"},
                    "length 3 is more than the 2 bytes the value gives");
    expect_rejected({"wraw", "0", "1", ""}, "length 1 is more than the 0 bytes the value gives");
    expect_rejected({"wraw", "0", "1", "0x"},
                    "value '0x' is not hexadecimal (digits 0-9 a-f, two a byte)");
    expect_rejected({"wraw", "0", "1", "zzz"},
                    "value 'zzz' is not hexadecimal (digits 0-9 a-f, two a byte)");

    const std::string longest(2048, 'f');
    EXPECT_EQ(parse({"wraw", "0", "1024", longest.c_str()}).result, ParseResult::ok);
    const std::string too_long(2050, 'f');
    expect_rejected({"wraw", "0", "1", too_long.c_str()},
                    "value has 2050 characters, at most 2048 fit");
}
