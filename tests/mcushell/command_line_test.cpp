// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// Finding the command among the arguments.
#include "command_line.h"

#include <gtest/gtest.h>
#include <initializer_list>
#include <string>
#include <vector>

using namespace mcushell;

namespace {

Invocation parse(std::initializer_list<const char *> args)
{
    std::vector<const char *> argv{"mcushell"};
    argv.insert(argv.end(), args);
    return parse_command_line(static_cast<int>(argv.size()), argv.data());
}

std::string command_of(std::initializer_list<const char *> args)
{
    const Invocation invocation = parse(args);
    EXPECT_EQ(invocation.mode, Mode::one_command) << to_string(invocation.mode);
    return invocation.command != nullptr ? invocation.command : "<none>";
}

} // namespace

TEST(CommandLine, NoArgumentsIsInteractive)
{
    EXPECT_EQ(parse({}).mode, Mode::interactive);
}

TEST(CommandLine, TheFirstExactDashCTakesTheNextArgument)
{
    EXPECT_EQ(command_of({"-c", "ver"}), "ver");
    EXPECT_EQ(command_of({"-x", "-c", "reboot"}), "reboot");
    EXPECT_EQ(command_of({"-c", "a", "-c", "b"}), "a");
    EXPECT_EQ(command_of({"-c", "-c"}), "-c");
    EXPECT_EQ(command_of({"-c", "set led 1", "extra"}), "set led 1");
    EXPECT_EQ(command_of({"-c", ""}), "");
}

TEST(CommandLine, WithoutACommandAfterDashCItIsTheUsageCase)
{
    EXPECT_EQ(parse({"-cfoo"}).mode, Mode::usage);
    EXPECT_EQ(parse({"ver"}).mode, Mode::usage);
    EXPECT_EQ(parse({"-C", "ver"}).mode, Mode::usage);
    EXPECT_EQ(parse({"c", "ver"}).mode, Mode::usage);
    EXPECT_EQ(parse({"-c"}).mode, Mode::usage) << "must not read past the arguments";
    EXPECT_EQ(parse({"x", "-c"}).mode, Mode::usage);
    EXPECT_EQ(parse({""}).mode, Mode::usage);
}
