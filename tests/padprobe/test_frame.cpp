// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// Data frame encoding: records, header, XOR and the SNR value.
#include "padprobe/frame.h"

#include <array>
#include <gtest/gtest.h>
#include <vector>

using namespace padprobe;

namespace {

std::vector<int> bytes_of(std::span<const std::byte> data)
{
    std::vector<int> out;
    for (const std::byte b : data)
        out.push_back(static_cast<int>(b));
    return out;
}

} // namespace

TEST(Frame, WorkedExampleComesOutExactly)
{
    // Channels 0 and 2, snr_touch 5 and snr_noise 3, the first frame after a start.
    std::array<std::byte, 2 * kRecordSize> payload{};
    encode_record(std::span<std::byte, kRecordSize>{payload.data(), kRecordSize}, 0, 1000, 1100);
    encode_record(std::span<std::byte, kRecordSize>{payload.data() + kRecordSize, kRecordSize}, 2,
                  2000, 1990);
    std::array<std::byte, kHeaderSize> header{};
    encode_header(header, 1, snr_from(5, 3), payload);

    EXPECT_EQ(bytes_of(header), (std::vector<int>{0x64, 0x61, 0x74, 0x61, 0x01, 0x00, 0x00, 0x00,
                                                  0x02, 0xA7, 0x00, 0x12, 0x00, 0xDA}));
    EXPECT_EQ(bytes_of(payload),
              (std::vector<int>{0x00, 0xE8, 0x03, 0x4C, 0x04, 0x64, 0x00, 0x00, 0x00, 0x02, 0xD0,
                                0x07, 0xC6, 0x07, 0xF6, 0xFF, 0x00, 0x00}));
}

TEST(Frame, ZeroChannelsAndWideValues)
{
    std::array<std::byte, kHeaderSize> header{};
    encode_header(header, 0x01020304, 65535, {});
    EXPECT_EQ(bytes_of(header), (std::vector<int>{0x64, 0x61, 0x74, 0x61, 0x04, 0x03, 0x02, 0x01,
                                                  0x00, 0xFF, 0xFF, 0x00, 0x00, 0x00}));

    // Only the low 16 bits travel; the difference is taken between those.
    std::array<std::byte, kRecordSize> record{};
    encode_record(record, 8, 0x12345, 0x10001);
    EXPECT_EQ(bytes_of(record),
              (std::vector<int>{0x08, 0x45, 0x23, 0x01, 0x00, 0xBC, 0xDC, 0x00, 0x00}));
    encode_record(record, 1, -1, 0);
    EXPECT_EQ(bytes_of(record),
              (std::vector<int>{0x01, 0xFF, 0xFF, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00}));
}

TEST(Frame, SnrInHundredthsRoundedHalfUp)
{
    EXPECT_EQ(snr_from(5, 3), 167);
    EXPECT_EQ(snr_from(1, 8), 13); // 12.5 rounds up
    EXPECT_EQ(snr_from(0, 3), 0);
    EXPECT_EQ(snr_from(5, 0), 65535); // no noise
    EXPECT_EQ(snr_from(0, 0), 65535);
    EXPECT_EQ(snr_from(9999, 1), 65535);                     // clamped
    EXPECT_EQ(snr_from(-5, 3), static_cast<uint16_t>(-166)); // negative travels in two's complement
}
