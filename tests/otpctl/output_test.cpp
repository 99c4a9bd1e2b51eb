// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// The address line, the dump rows and the write echo, byte for byte.
#include "capture.h"
#include "output.h"

#include <array>
#include <gtest/gtest.h>
#include <vector>

using namespace otpctl;

namespace {

std::vector<std::byte> counting_bytes(size_t count)
{
    std::vector<std::byte> bytes(count);
    for (size_t i = 0; i < count; ++i)
        bytes[i] = static_cast<std::byte>(i);
    return bytes;
}

std::string dump(size_t count)
{
    CapturedFile out;
    print_dump(out.get(), counting_bytes(count));
    return out.text();
}

} // namespace

TEST(Output, AddressLine)
{
    CapturedFile out;
    print_address_line(out.get(), 0x10, 4);
    print_address_line(out.get(), 0, 0);
    print_address_line(out.get(), 0xffffffff, 1024);
    EXPECT_EQ(out.text(), "addr : 0x10, size: 4\n"
                          "addr : 0x0, size: 0\n"
                          "addr : 0xffffffff, size: 1024\n");
}

TEST(Output, DumpBreaksAfterEverySixteenthByteOnly)
{
    EXPECT_EQ(dump(0), "");
    EXPECT_EQ(dump(4), "00 01 02 03 ");
    const std::string row0 = "00 01 02 03 04 05 06 07 08 09 0a 0b 0c 0d 0e 0f \n";
    const std::string row1 = "10 11 12 13 14 15 16 17 18 19 1a 1b 1c 1d 1e 1f \n";
    EXPECT_EQ(dump(16), row0);
    EXPECT_EQ(dump(17), row0 + "10 ");
    EXPECT_EQ(dump(32), row0 + row1);

    CapturedFile out;
    const std::array bytes{std::byte{0xff}, std::byte{0xa0}};
    print_dump(out.get(), bytes);
    EXPECT_EQ(out.text(), "ff a0 ");
}

TEST(Output, EchoShowsEachByteWithoutLeadingZeros)
{
    CapturedFile out;
    const std::array bytes{std::byte{0xa1}, std::byte{0x05}, std::byte{0x00}, std::byte{0xff}};
    print_echo(out.get(), bytes);
    EXPECT_EQ(out.text(), "buf[0] = a1\nbuf[1] = 5\nbuf[2] = 0\nbuf[3] = ff\n");
}
