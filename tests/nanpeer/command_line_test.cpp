// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// Command-line options, their validation and the usage text.
#include <initializer_list>
#include <string>
#include <vector>

#include "command_line.h"
#include "test_support.h"

namespace {

struct parse_outcome {
    command_line_result result;
    command_line options;
    std::string config_path; // the argument words do not outlive parse()
    std::string out;
    std::string err;
};

parse_outcome parse(std::initializer_list<const char *> words)
{
    std::vector<std::string> storage{"nanpeer"};
    storage.insert(storage.end(), words.begin(), words.end());
    std::vector<char *> argv;
    argv.reserve(storage.size() + 1);
    for (std::string &word : storage) {
        argv.push_back(word.data());
    }
    argv.push_back(nullptr);
    parse_outcome outcome{};
    output_capture err(2);
    output_capture out(1);
    outcome.result =
        parse_command_line(static_cast<int>(storage.size()), argv.data(), outcome.options);
    outcome.out = out.finish();
    outcome.err = err.finish();
    if (outcome.options.config_path != nullptr) {
        outcome.config_path = outcome.options.config_path;
        outcome.options.config_path = nullptr;
    }
    return outcome;
}

const std::string kUsage = "Usage: nanpeer [-r publish|subscribe] [-f config_file] [option] \n"
                           "\n"
                           "General : \n"
                           "Publish : \n"
                           "  -t \t timeout value\n"
                           "  -n \t number of service\n"
                           "subscribe : \n"
                           "  -t \t timeout value\n";

} // namespace

TEST(command_line_test, usage_cases_and_their_exit)
{
    parse_outcome too_few = parse({"-r", "publish"});
    EXPECT_EQ(too_few.result, command_line_result::exit_fail);
    EXPECT_EQ(too_few.err, kUsage);
    EXPECT_EQ(too_few.out, "");
    // -h needs the four words too.
    EXPECT_EQ(parse({"-h", "x"}).result, command_line_result::exit_fail);

    parse_outcome help = parse({"-r", "publish", "-h", "x"});
    EXPECT_EQ(help.result, command_line_result::exit_ok);
    EXPECT_EQ(help.err, kUsage);

    parse_outcome s = parse({"-r", "publish", "-s", "x"});
    EXPECT_EQ(s.result, command_line_result::exit_fail);
    EXPECT_EQ(s.err, kUsage);

    parse_outcome unknown = parse({"-r", "publish", "-x", "-f", "c"});
    EXPECT_EQ(unknown.result, command_line_result::exit_fail);
    EXPECT_EQ(unknown.err, "nanpeer: invalid option -- 'x'\n" + kUsage);

    parse_outcome missing = parse({"-r", "publish", "-f", "c", "-t"});
    EXPECT_EQ(missing.result, command_line_result::exit_fail);
    EXPECT_EQ(missing.err, "nanpeer: option requires an argument -- 't'\n" + kUsage);
}

TEST(command_line_test, validation_messages)
{
    parse_outcome capital = parse({"-r", "Publish", "-f", "c"});
    EXPECT_EQ(capital.result, command_line_result::exit_fail);
    EXPECT_EQ(capital.out, info("unknown role!!! \n"));
    EXPECT_EQ(parse({"-f", "c", "-t", "1"}).out, info("unknown role!!! \n"));

    const std::string too_many =
        info("Input parameter is invalid. The maximum number of services available is 2. \n");
    EXPECT_EQ(parse({"-r", "publish", "-f", "c", "-n", "3"}).out, too_many);
    EXPECT_EQ(parse({"-r", "publish", "-f", "c", "-n", "-1"}).out, too_many);
    EXPECT_EQ(parse({"-r", "publish", "-f", "c", "-n", "4294967297"}).out, too_many);

    parse_outcome two_subscribers = parse({"-r", "subscribe", "-f", "c", "-n", "2"});
    EXPECT_EQ(two_subscribers.result, command_line_result::exit_fail);
    EXPECT_EQ(two_subscribers.out,
              info("Multi-service support is only available for the publisher role. \n"));
}

TEST(command_line_test, accepted_values)
{
    parse_outcome zero = parse({"-r", "subscribe", "-f", "c", "-n", "0"});
    EXPECT_EQ(zero.result, command_line_result::run);
    EXPECT_EQ(zero.options.role, 1);
    EXPECT_EQ(zero.options.service_count, 0u);
    EXPECT_EQ(zero.config_path, "c");
    EXPECT_EQ(zero.out + zero.err, "");

    parse_outcome all =
        parse({"-b", "-t", "70000", "-n", "2", "-r", "subscribe", "-r", "publish", "-f", "x.json"});
    EXPECT_EQ(all.result, command_line_result::run);
    EXPECT_EQ(all.options.role, 0); // the later -r wins
    EXPECT_EQ(all.options.timeout, 70000u);
    EXPECT_EQ(all.options.service_count, 2u);
    EXPECT_EQ(all.options.bstrap_flag, 1);

    EXPECT_EQ(parse({"-r", "publish", "-f", "c", "-t", "soon"}).options.timeout, 0u);
    EXPECT_EQ(parse({"-r", "publish", "-f", "c", "-t", "12s"}).options.timeout, 12u);
    EXPECT_EQ(parse({"-r", "publish", "-f", "c", "-t", "4000000000"}).options.timeout, 4000000000u);
}
