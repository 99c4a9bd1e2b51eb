// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// The bytes of the command record as the driver sees them.
#include "command_record.h"

#include <array>
#include <cstring>
#include <gtest/gtest.h>
#include <string>

using namespace mcushell;

namespace {

std::array<unsigned char, sizeof(CommandRecord)> wire_bytes(const CommandRecord &record)
{
    std::array<unsigned char, sizeof(CommandRecord)> bytes{};
    std::memcpy(bytes.data(), &record, bytes.size());
    return bytes;
}

} // namespace

TEST(CommandRecord, LengthByteThenTextThenZeros)
{
    CommandRecord record{};
    set_command(record, "ver");
    const auto bytes = wire_bytes(record);
    EXPECT_EQ(bytes[0], 3);
    EXPECT_EQ(std::string(reinterpret_cast<const char *>(&bytes[1]), 3), "ver");
    for (size_t i = 4; i < bytes.size(); ++i)
        ASSERT_EQ(bytes[i], 0) << "byte " << i;
}

TEST(CommandRecord, LongCommandsAreCutTo127AndKeepTheirNul)
{
    CommandRecord record{};
    set_command(record, std::string(200, 'x'));
    const auto bytes = wire_bytes(record);
    EXPECT_EQ(bytes[0], 127);
    EXPECT_EQ(bytes[127], 'x');
    EXPECT_EQ(bytes[128], 0);

    set_command(record, std::string(127, 'y'));
    EXPECT_EQ(wire_bytes(record)[0], 127);
    EXPECT_EQ(wire_bytes(record)[128], 0);
}

TEST(CommandRecord, AShorterCommandLeavesNothingOfTheLongerOneBefore)
{
    CommandRecord record{};
    set_command(record, std::string(100, 'z'));
    set_command(record, "ok");
    const auto bytes = wire_bytes(record);
    EXPECT_EQ(bytes[0], 2);
    for (size_t i = 3; i < bytes.size(); ++i)
        ASSERT_EQ(bytes[i], 0) << "byte " << i;
}
