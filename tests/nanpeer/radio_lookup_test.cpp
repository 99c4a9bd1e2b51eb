// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// The radio lookup against iw-like listings from a script.
#include "process_globals.h"
#include "radio_lookup.h"
#include "test_support.h"

namespace {

using radio_lookup_test = nanpeer_test;

constexpr const char *kMac = "02:00:00:00:00:01";

struct lookup_result {
    int found;
    uint16_t radio;
    std::string output;
};

// Installs a script printing the listing as the iw tool, then looks up kMac.
lookup_result look_up(const std::string &listing)
{
    static char iw_path[256];
    const std::string script = test_folder() + "/iw";
    write_file(script,
               "#!/bin/sh\n[ \"$1\" = dev ] || exit 1\ncat <<'LISTING'\n" + listing + "LISTING\n",
               true);
    std::snprintf(iw_path, sizeof iw_path, "%s", script.c_str());
    qvx_iw = iw_path;
    uint16_t radio = 99;
    output_capture capture;
    const int found = get_phy_from_mac(kMac, radio);
    return {found, radio, capture.finish()};
}

} // namespace

TEST_F(radio_lookup_test, radio_is_the_latest_phy_block_before_the_address)
{
    const lookup_result second_block =
        look_up("phy#1\n\tInterface wlan1\n\t\taddr 02:00:00:00:00:09\n"
                "phy#0\n\tInterface wlan0\n\t\tifindex 3\n\t\taddr 02:00:00:00:00:01\n");
    EXPECT_EQ(second_block.found, 1);
    EXPECT_EQ(second_block.radio, 0);
    EXPECT_EQ(second_block.output, info("get_phy_from_mac find phy0! \n"));

    const lookup_result two_digits =
        look_up("phy#12\n\tInterface nan0\n\t\taddr 02:00:00:00:00:01\n");
    EXPECT_EQ(two_digits.found, 1);
    EXPECT_EQ(two_digits.radio, 12);

    const lookup_result no_digit = look_up("phy#x3\n\taddr 02:00:00:00:00:01\n");
    EXPECT_EQ(no_digit.found, 1);
    EXPECT_EQ(no_digit.radio, 0);

    // The address may be part of a longer word.
    const lookup_result in_word = look_up("phy#2 addr=02:00:00:00:00:01,\n");
    EXPECT_EQ(in_word.radio, 2);
}

TEST_F(radio_lookup_test, no_match_before_a_phy_word_nor_in_another_case)
{
    const lookup_result before =
        look_up("addr 02:00:00:00:00:01\nphy#3\n\taddr 02:00:00:00:00:07\n");
    EXPECT_EQ(before.found, 0);
    EXPECT_EQ(before.radio, 0);
    EXPECT_EQ(before.output, "");

    // A later block still counts once a phy# word has been seen.
    const lookup_result later =
        look_up("addr 02:00:00:00:00:01\nphy#3\n\taddr 02:00:00:00:00:01\n");
    EXPECT_EQ(later.found, 1);
    EXPECT_EQ(later.radio, 3);

    EXPECT_EQ(look_up("phy#0\n\taddr 02:00:00:00:00:0A\n").found, 0);
    EXPECT_EQ(look_up("").found, 0);
}

TEST_F(radio_lookup_test, long_words_arrive_in_pieces_and_a_missing_tool_finds_nothing)
{
    // 60 characters: the address lies across the 49-character cut.
    const std::string long_word = std::string(40, 'x') + kMac + "yyy";
    EXPECT_EQ(look_up("phy#1 " + long_word + "\n").found, 0);
    EXPECT_EQ(look_up("phy#1 " + std::string(49, 'x') + kMac + "\n").found, 1);

    static char missing[] = "/nonexistent/iw";
    qvx_iw = missing;
    uint16_t radio = 5;
    output_capture quiet(2);
    EXPECT_EQ(get_phy_from_mac(kMac, radio), 0);
    EXPECT_EQ(radio, 0);
}
