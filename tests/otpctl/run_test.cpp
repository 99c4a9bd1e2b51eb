// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// A whole run against the in-memory nvmem: what reaches the OTP, what is
// printed, and the exit status, also when the device misbehaves.
#include "fake_nvmem_file.h"
#include "run.h"

#include <cerrno>
#include <gtest/gtest.h>
#include <initializer_list>
#include <string>
#include <vector>

using testing::internal::CaptureStderr;
using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStderr;
using testing::internal::GetCapturedStdout;

namespace {

struct Outcome {
    int status;
    std::string out;
    std::string err;
};

Outcome run_otpctl(std::initializer_list<const char *> args)
{
    std::vector<const char *> argv{"otpctl"};
    argv.insert(argv.end(), args);
    CaptureStdout();
    CaptureStderr();
    const int status = otpctl::run(static_cast<int>(argv.size()), argv.data());
    Outcome outcome{status, GetCapturedStdout(), GetCapturedStderr()};
    return outcome;
}

class Run : public testing::Test {
protected:
    void SetUp() override
    {
        fake_nvmem() = FakeNvmem{};
        for (size_t i = 0; i < fake_nvmem().image.size(); ++i)
            fake_nvmem().image[i] = static_cast<std::byte>(i);
    }
    std::byte at(size_t i) { return fake_nvmem().image[i]; }
};

constexpr const char raw_view[] = "/sys/bus/nvmem/devices/otp_raw0/nvmem";
constexpr const char map_view[] = "/sys/bus/nvmem/devices/otp_map0/nvmem";

} // namespace

TEST_F(Run, ReadDumpsTheBytesAndReportsTheCount)
{
    const Outcome r = run_otpctl({"rraw", "10", "4"});
    EXPECT_EQ(r.out, "addr : 0x10, size: 4\n10 11 12 13 ");
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.status, 4);
    EXPECT_EQ(fake_nvmem().opened_path, raw_view);
    EXPECT_FALSE(fake_nvmem().opened_for_writing);

    EXPECT_EQ(run_otpctl({"rmap", "0", "0"}).out, "addr : 0x0, size: 0\n");
    EXPECT_EQ(fake_nvmem().opened_path, map_view);
}

TEST_F(Run, ReadStatusIsTheCountModulo256)
{
    EXPECT_EQ(run_otpctl({"rraw", "0", "256"}).status, 0);
    EXPECT_EQ(run_otpctl({"rraw", "0", "255"}).status, 255);
    EXPECT_EQ(run_otpctl({"rraw", "0", "0"}).status, 0);
}

TEST_F(Run, ShortOrFailedReadShowsZerosForWhatItDidNotGet)
{
    Outcome r = run_otpctl({"rraw", "fe", "4"});
    EXPECT_EQ(r.out, "addr : 0xfe, size: 4\nfe ff 00 00 ");
    EXPECT_EQ(r.status, 2);

    fake_nvmem().transfer_limit = 1;
    r = run_otpctl({"rraw", "20", "3"});
    EXPECT_EQ(r.out, "addr : 0x20, size: 3\n20 00 00 ");
    EXPECT_EQ(r.status, 1);

    fake_nvmem().read_error = EIO;
    r = run_otpctl({"rmap", "0", "2"});
    EXPECT_EQ(r.out, "addr : 0x0, size: 2\n00 00 ");
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.status, 255);
}

TEST_F(Run, WriteEchoesAndStoresExactlyLenBytes)
{
    const Outcome r = run_otpctl({"wmap", "0", "2", "a1B2c3"});
    EXPECT_EQ(r.out, "addr : 0x0, size: 2\nbuf[0] = a1\nbuf[1] = b2\n");
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(fake_nvmem().opened_path, map_view);
    EXPECT_TRUE(fake_nvmem().opened_for_writing);
    EXPECT_EQ(at(0), std::byte{0xa1});
    EXPECT_EQ(at(1), std::byte{0xb2});
    EXPECT_EQ(at(2), std::byte{0x02}) << "the value's tail beyond len is not written";
}

TEST_F(Run, FailedOrShortWriteIsReportedAndNotZero)
{
    fake_nvmem().write_error = ENOSPC;
    Outcome r = run_otpctl({"wraw", "10", "2", "a1b2"});
    EXPECT_EQ(r.out, "addr : 0x10, size: 2\nbuf[0] = a1\nbuf[1] = b2\n");
    EXPECT_EQ(r.err, "otpctl: writing 2 bytes at 0x10 failed: No space left on device\n");
    EXPECT_EQ(r.status, 255);

    fake_nvmem().write_error = 0;
    fake_nvmem().transfer_limit = 1;
    r = run_otpctl({"wraw", "10", "2", "a1b2"});
    EXPECT_EQ(r.err, "otpctl: only 1 of 2 bytes written at 0x10\n");
    EXPECT_EQ(r.status, 255);
    EXPECT_EQ(at(0x10), std::byte{0xa1});
    EXPECT_EQ(at(0x11), std::byte{0x11});
}

TEST_F(Run, OddValueIsReportedAndNothingWritten)
{
    const Outcome r = run_otpctl({"wraw", "0", "1", "abc"});
    EXPECT_EQ(r.out, "addr : 0x0, size: 1\nval buffer is invalid\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(fake_nvmem().writes, 0);
}

TEST_F(Run, MissingDeviceIsStatus255)
{
    fake_nvmem().missing = true;
    const Outcome r = run_otpctl({"rraw", "0", "4"});
    EXPECT_EQ(r.out, "Can't open nvmem device\n");
    EXPECT_EQ(r.status, 255);
}

TEST_F(Run, BadCommandLinesNeverOpenTheDevice)
{
    Outcome r = run_otpctl({"wraw", "0", "1"});
    EXPECT_EQ(r.err, "Usage:[wraw/wmap] [addr] [len] [write val]\n");
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.status, 1);

    r = run_otpctl({"rraw"});
    EXPECT_EQ(r.err, "[rraw/rmap/wraw/wmap] [addr] [len] [write val]\n");
    EXPECT_EQ(r.status, 1);

    for (const auto &args : {std::vector<const char *>{"read", "0", "1"},
                             std::vector<const char *>{"wraw", "0x10", "1", "00"},
                             std::vector<const char *>{"wraw", "0", "2", "00"},
                             std::vector<const char *>{"wraw", "0", "1", "g0"},
                             std::vector<const char *>{"rraw", "0", "2000"}}) {
        std::vector<const char *> argv{"otpctl"};
        argv.insert(argv.end(), args.begin(), args.end());
        CaptureStdout();
        CaptureStderr();
        EXPECT_EQ(otpctl::run(static_cast<int>(argv.size()), argv.data()), 1) << args[0];
        EXPECT_EQ(GetCapturedStdout(), "");
        EXPECT_NE(GetCapturedStderr(), "");
    }
    EXPECT_EQ(fake_nvmem().open_count, 0);
    EXPECT_EQ(fake_nvmem().writes, 0);
}
