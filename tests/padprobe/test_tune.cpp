// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// The MBias auto-tune against a driver that the test plays through a FIFO.
#include "attr_dir.h"

#include "padprobe/tune.h"
#include "padprobe/unique_fd.h"

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <thread>
#include <unistd.h>

using namespace padprobe;
using padprobe_test::AttrDir;
using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

namespace {

const std::string kFailure = "[CAP][ERROR] ctc_tune_mbias MBias auto-tune @CH2 failed!!!\r\n\n";

// Plays the driver for a walk: takes every MBias the tune writes and
// answers the next read of chx_ave_data with the average the model gives for
// it. Both attributes are FIFOs that the model holds open, so each read
// pairs with the write before it whatever the timing.
class AverageModel {
public:
    AverageModel(const AttrDir &dir, std::function<int(int)> average_at)
        : average_at_(std::move(average_at))
    {
        dir.make_fifo(AttrGroup::channel, "chx_ave_data");
        dir.make_fifo(AttrGroup::channel, "chx_mbias");
        // Held open for both directions, so the tune's opens never wait.
        average_.reset(
            ::open(dir.path(AttrGroup::channel, "chx_ave_data").c_str(), O_RDWR | O_CLOEXEC));
        mbias_.reset(::open(dir.path(AttrGroup::channel, "chx_mbias").c_str(), O_RDWR | O_CLOEXEC));
        EXPECT_TRUE(average_.valid() && mbias_.valid());
        // The tune reads the average once before it writes any MBias.
        offer(0);
        thread_ = std::thread{[this] { serve(); }};
    }

    ~AverageModel()
    {
        // Ends the thread's wait for the next MBias.
        EXPECT_EQ(::write(mbias_.get(), "stop", 4), 4);
        thread_.join();
    }

    int reads() const { return reads_; }
    int last_mbias() const { return last_mbias_; }

private:
    // Exactly the four characters the tune reads, padded with newlines.
    void offer(int mbias)
    {
        std::string text = std::to_string(average_at_(mbias));
        text.resize(4, '\n');
        ++reads_;
        EXPECT_EQ(::write(average_.get(), text.data(), 4), 4);
    }

    void serve()
    {
        for (;;) {
            char written[16] = {};
            if (::read(mbias_.get(), written, sizeof written - 1) <= 0 ||
                strcmp(written, "stop") == 0)
                return;
            last_mbias_ = static_cast<int>(std::strtol(written, nullptr, 10));
            offer(last_mbias_);
        }
    }

    std::function<int(int)> average_at_;
    UniqueFd average_;
    UniqueFd mbias_;
    std::atomic<int> reads_{0};
    std::atomic<int> last_mbias_{-1};
    std::thread thread_;
};

// No settling delay between steps, so the walks take no time.
void set_up(const AttrDir &dir, const char *mbias)
{
    dir.set(AttrGroup::common, "scan_interval", "0\n");
    dir.set(AttrGroup::etc, "etc_interval", "5\n");
    dir.set(AttrGroup::channel, "chx_mbias", mbias);
}

} // namespace

TEST(Tune, AlreadyWithinToleranceWritesNothing)
{
    AttrDir dir;
    set_up(dir, "17\n");
    // Exactly the tolerance away is accepted before any walk.
    dir.set(AttrGroup::channel, "chx_ave_data", "3000\n");
    CaptureStdout();
    EXPECT_EQ(ctc_tune_mbias(2, 3300, 300), 17);
    EXPECT_EQ(GetCapturedStdout(), "");
    EXPECT_EQ(dir.get(AttrGroup::channel, "chx_mbias"), "17\n");
    EXPECT_EQ(dir.get(AttrGroup::channel, "ch_num"), "2");
    EXPECT_EQ(dir.get(AttrGroup::channel, "chx_enable"), "1");

    // A setting out of range on the controller fails the tune with that setting.
    dir.set(AttrGroup::channel, "chx_mbias", "70\n");
    CaptureStdout();
    EXPECT_EQ(ctc_tune_mbias(2, 3300, 300), 70);
    EXPECT_EQ(GetCapturedStdout(), kFailure);
}

TEST(Tune, WalksUpToTheTargetWithTheModel)
{
    AttrDir dir;
    set_up(dir, "0");
    const AverageModel model{dir, [](int mbias) { return 100 * mbias; }};
    // 3000 is exactly the tolerance away, which the walk does not accept; 3100 is inside.
    EXPECT_EQ(ctc_tune_mbias(2, 3300, 300), 31);
    EXPECT_EQ(model.last_mbias(), 31);
    EXPECT_EQ(model.reads(), 1 + 32);
}

TEST(Tune, FailsUpwardWithSixtyFourAndDownwardWith255)
{
    AttrDir dir;
    set_up(dir, "0");
    dir.set(AttrGroup::channel, "chx_ave_data", "100\n");
    CaptureStdout();
    EXPECT_EQ(ctc_tune_mbias(2, 3300, 300), 64);
    EXPECT_EQ(GetCapturedStdout(), kFailure);
    EXPECT_EQ(dir.get(AttrGroup::channel, "chx_mbias"), "63");

    dir.set(AttrGroup::channel, "chx_mbias", "");
    dir.set(AttrGroup::channel, "chx_ave_data", "4000\n");
    CaptureStdout();
    EXPECT_EQ(ctc_tune_mbias(2, 3300, 300), 255);
    EXPECT_EQ(GetCapturedStdout(), kFailure);
    EXPECT_EQ(dir.get(AttrGroup::channel, "chx_mbias"), "0");
}

TEST(Tune, GivesUpWhenTheReadingJumpsAcrossTheBand)
{
    AttrDir dir;
    set_up(dir, "0");
    const AverageModel model{dir, [](int mbias) { return mbias <= 20 ? 2000 : 4000; }};
    CaptureStdout();
    EXPECT_EQ(ctc_tune_mbias(2, 3300, 300), kTuneGaveUp);
    EXPECT_EQ(GetCapturedStdout(), kFailure);
    EXPECT_GT(kTuneGaveUp, 63);
    EXPECT_EQ(model.reads(), 1 + static_cast<int>(kTuneMaxSteps));
    EXPECT_EQ(model.last_mbias(), 21);
}

TEST(Tune, ParameterWarningsDoNotStopTheTune)
{
    AttrDir dir;
    set_up(dir, "5\n");
    dir.set(AttrGroup::channel, "chx_ave_data", "3300\n");
    CaptureStdout();
    EXPECT_EQ(ctc_tune_mbias(9, 4096, 4096), 5);
    EXPECT_EQ(GetCapturedStdout(),
              "Error: illegal parameter.\nError: illegal parameter.\nError: illegal parameter.\n");
    EXPECT_EQ(dir.get(AttrGroup::channel, "ch_num"), "9");
}
