// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// Byte-exact encoding of the monitor's data frames.
#include "padprobe/frame.h"

#include <cstring>

namespace padprobe {
namespace {

void put_le16(uint8_t (&out)[2], uint32_t value)
{
    out[0] = static_cast<uint8_t>(value & 0xFFu);
    out[1] = static_cast<uint8_t>((value >> 8) & 0xFFu);
}

void put_le32(uint8_t (&out)[4], uint32_t value)
{
    for (size_t i = 0; i < 4; ++i)
        out[i] = static_cast<uint8_t>((value >> (8 * i)) & 0xFFu);
}

} // namespace

void encode_record(std::span<std::byte, kRecordSize> out, uint8_t channel, int32_t average,
                   int32_t baseline)
{
    const auto average16 = static_cast<uint16_t>(average);
    const auto baseline16 = static_cast<uint16_t>(baseline);
    SampleRecordWire record{};
    record.channel = channel;
    put_le16(record.average, average16);
    put_le16(record.baseline, baseline16);
    put_le16(record.difference, static_cast<uint16_t>(baseline16 - average16));
    memcpy(out.data(), &record, sizeof record);
}

void encode_header(std::span<std::byte, kHeaderSize> out, uint32_t sequence, uint16_t snr,
                   std::span<const std::byte> payload)
{
    uint8_t check = 0;
    for (const std::byte b : payload)
        check = static_cast<uint8_t>(check ^ static_cast<uint8_t>(b));

    FrameHeaderWire header{};
    memcpy(header.magic, "data", sizeof header.magic);
    put_le32(header.sequence, sequence);
    header.record_count = static_cast<uint8_t>(payload.size() / kRecordSize);
    put_le16(header.snr, snr);
    put_le16(header.payload_length, static_cast<uint32_t>(payload.size()));
    header.payload_xor = check;
    memcpy(out.data(), &header, sizeof header);
}

uint16_t snr_from(int32_t touch, int32_t noise)
{
    if (noise == 0)
        return 65535;
    // Wider than the 32 bits the values are read into, so no input overflows;
    // for values read as four characters the result is the same.
    int64_t snr = (100 * static_cast<int64_t>(touch) + noise / 2) / noise;
    if (snr > 65535)
        snr = 65535;
    // A negative SNR travels in two's complement.
    return static_cast<uint16_t>(snr);
}

} // namespace padprobe
