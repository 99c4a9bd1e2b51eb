// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// The monitor's binary data frames: sample records, the header and the SNR value.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace padprobe {

// One channel's measurements on the wire, little-endian, no alignment.
struct SampleRecordWire {
    uint8_t channel;
    uint8_t average[2];
    uint8_t baseline[2];
    uint8_t difference[2];
    uint8_t reserved[2];
};
static_assert(sizeof(SampleRecordWire) == 9);
static_assert(offsetof(SampleRecordWire, channel) == 0);
static_assert(offsetof(SampleRecordWire, average) == 1);
static_assert(offsetof(SampleRecordWire, baseline) == 3);
static_assert(offsetof(SampleRecordWire, difference) == 5);
static_assert(offsetof(SampleRecordWire, reserved) == 7);

// The header in front of every frame's records, little-endian, no alignment.
struct FrameHeaderWire {
    uint8_t magic[4];
    uint8_t sequence[4];
    uint8_t record_count;
    uint8_t snr[2];
    uint8_t payload_length[2];
    uint8_t payload_xor;
};
static_assert(sizeof(FrameHeaderWire) == 14);
static_assert(offsetof(FrameHeaderWire, magic) == 0);
static_assert(offsetof(FrameHeaderWire, sequence) == 4);
static_assert(offsetof(FrameHeaderWire, record_count) == 8);
static_assert(offsetof(FrameHeaderWire, snr) == 9);
static_assert(offsetof(FrameHeaderWire, payload_length) == 11);
static_assert(offsetof(FrameHeaderWire, payload_xor) == 13);

inline constexpr size_t kRecordSize = sizeof(SampleRecordWire);
inline constexpr size_t kHeaderSize = sizeof(FrameHeaderWire);
inline constexpr size_t kMaxRecords = 9;
// A sample bank: up to nine records in its first 81 bytes.
inline constexpr size_t kBankSize = 128;
static_assert(kMaxRecords * kRecordSize <= kBankSize);

// Fills the record of one channel: the low 16 bits of each value and their
// 16-bit difference, baseline minus average.
void encode_record(std::span<std::byte, kRecordSize> out, uint8_t channel, int32_t average,
                   int32_t baseline);

// Fills the header for a payload of whole records.
void encode_header(std::span<std::byte, kHeaderSize> out, uint32_t sequence, uint16_t snr,
                   std::span<const std::byte> payload);

// The SNR in hundredths, rounded half up; 65535 when there is no noise.
uint16_t snr_from(int32_t touch, int32_t noise);

} // namespace padprobe
