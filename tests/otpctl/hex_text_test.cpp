// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// The address and value parsers.
#include "hex_text.h"

#include <array>
#include <gtest/gtest.h>

using namespace otpctl;

TEST(HexText, AddressReadsHexFromTheRightInEitherCase)
{
    EXPECT_EQ(parse_address("FF"), 0xffu);
    EXPECT_EQ(parse_address("ff"), 0xffu);
    EXPECT_EQ(parse_address("10"), 0x10u);
    EXPECT_EQ(parse_address("dEaDbEeF"), 0xdeadbeefu);
    EXPECT_EQ(parse_address("ffffffff"), 0xffffffffu);
    EXPECT_EQ(parse_address(""), 0u);
}

TEST(HexText, AddressKeepsOnlyTheRightMostEightDigitsAndTakesAnyCharacterAsADigit)
{
    // The options refuse such text; the parser's own rule still has to
    // hold, because it decides which byte a valid address names.
    EXPECT_EQ(parse_address("100000010"), 0x10u);
    EXPECT_EQ(parse_address("fff00000001"), 0x1u);
    EXPECT_EQ(parse_address("0x10"), 0x4810u);
    EXPECT_EQ(digit_value('g'), 55u);
    EXPECT_EQ(digit_value('x'), 72u);
}

TEST(HexText, ValueTurnsPairsIntoBytesHighDigitFirst)
{
    std::array<std::byte, 4> out{};
    EXPECT_EQ(parse_value("a1B2", out), 2u);
    EXPECT_EQ(out[0], std::byte{0xa1});
    EXPECT_EQ(out[1], std::byte{0xb2});
    EXPECT_EQ(out[2], std::byte{0});

    EXPECT_EQ(parse_value("00ff7", out), 2u) << "a lone last digit makes no byte";
    EXPECT_EQ(out[0], std::byte{0x00});
    EXPECT_EQ(out[1], std::byte{0xff});

    EXPECT_EQ(parse_value("0102030405", out), 4u) << "never past the end of out";
    EXPECT_EQ(out[3], std::byte{0x04});
    EXPECT_EQ(parse_value("", out), 0u);
}

TEST(HexText, HexTextAcceptsOnlyDigitsAndLetters_a_to_f)
{
    EXPECT_TRUE(is_hex_text(""));
    EXPECT_TRUE(is_hex_text("0123456789abcdefABCDEF"));
    EXPECT_FALSE(is_hex_text("0x10"));
    EXPECT_FALSE(is_hex_text("g"));
    EXPECT_FALSE(is_hex_text("1 2"));
    EXPECT_FALSE(is_hex_text("-1"));
    EXPECT_FALSE(is_hex_text(std::string_view{"1\0"
                                              "2",
                                              3}));
}
