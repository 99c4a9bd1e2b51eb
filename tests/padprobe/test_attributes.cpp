// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// The attribute layer: value format, failures, warnings, labels and the composite operations.
#include "attr_dir.h"

#include "padprobe/attr_access.h"
#include "padprobe/controller.h"
#include "padprobe/unique_fd.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <string>
#include <unistd.h>

using namespace padprobe;
using padprobe_test::AttrDir;
using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

namespace {

// Collects every write to an attribute, in order, across the writer's opens:
// the test holds both ends of a FIFO, so the tool's opens never wait.
class WriteRecorder {
public:
    WriteRecorder(const AttrDir &dir, AttrGroup group, const char *name)
    {
        dir.make_fifo(group, name);
        fd_.reset(::open(dir.path(group, name).c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC));
        EXPECT_TRUE(fd_.valid());
    }

    std::string written() const
    {
        std::string text;
        char chunk[64];
        ssize_t got = 0;
        while ((got = ::read(fd_.get(), chunk, sizeof chunk)) > 0)
            text.append(chunk, static_cast<size_t>(got));
        return text;
    }

private:
    UniqueFd fd_;
};

} // namespace

TEST(Attributes, ValuesReadAsTheirFirstFourCharacters)
{
    AttrDir dir;
    dir.set(AttrGroup::common, "scan_interval", "7\n");
    dir.set(AttrGroup::common, "sample_num", "12345\n");
    dir.set(AttrGroup::etc, "etc_step", "-12\n");
    EXPECT_EQ(read_value(AttrGroup::common, "scan_interval"), 7);
    EXPECT_EQ(read_value(AttrGroup::common, "sample_num"), 1234);
    EXPECT_EQ(read_value(AttrGroup::etc, "etc_step"), -12);

    // A missing file reads as 0 and the process goes on.
    dir.remove(AttrGroup::channel, "chx_baseline");
    CaptureStdout();
    EXPECT_EQ(read_value(AttrGroup::channel, "chx_baseline"), 0);
    EXPECT_EQ(GetCapturedStdout(),
              "[CAP][ERROR] open " + dir.path(AttrGroup::channel, "chx_baseline") + " error\n");
}

TEST(AttributesDeathTest, FailedReadEndsTheProcessWith255)
{
    // Forked, not re-executed: under qemu-user the binary cannot exec itself.
    GTEST_FLAG_SET(death_test_style, "fast");
    AttrDir dir;
    dir.make_unreadable(AttrGroup::channel, "chx_mbias");
    // The log goes to standard output; the death test matches standard error.
    EXPECT_EXIT(
        {
            dup2(STDERR_FILENO, STDOUT_FILENO);
            read_mbias(3);
        },
        testing::ExitedWithCode(255),
        "\\[CAP\\]\\[ERROR\\] read chx_mbias error,read size: 4, read val:\n\n");
}

TEST(Attributes, WriteFailuresAreLoggedWithTheirLabelAndTheRestGoesOn)
{
    AttrDir dir;
    dir.make_unwritable(AttrGroup::common, "sample_num");
    dir.remove(AttrGroup::etc, "etc_factor");
    CommonSettings s{};
    s.scan_interval = 3;
    s.sample_num = 2;
    s.etc_factor = 4;
    s.etc_step = 5;
    CaptureStdout();
    write_common_settings(s);
    EXPECT_EQ(GetCapturedStdout(), "[CAP][ERROR] write sample_num error\n\n"
                                   "[CAP][ERROR] ctc_set_sample_num\n\n"
                                   "[CAP][ERROR] open " +
                                       dir.path(AttrGroup::etc, "etc_factor") +
                                       " error\n"
                                       "[CAP][ERROR] ctc_set_etc_factor\n\n");
    EXPECT_EQ(dir.get(AttrGroup::common, "scan_interval"), "3");
    EXPECT_EQ(dir.get(AttrGroup::etc, "etc_step"), "5");

    // Unlabelled attributes log only the failure itself.
    dir.make_unwritable(AttrGroup::channel, "chx_enable");
    CaptureStdout();
    write_channel_settings(ChannelSettings{});
    EXPECT_EQ(GetCapturedStdout(), "[CAP][ERROR] write chx_enable error\n\n");
}

TEST(Attributes, RangeWarningsComeBeforeTheValueIsWrittenAnyway)
{
    AttrDir dir;
    CommonSettings s{};
    s.sample_num = 8;
    s.debounce_times = 3;
    s.debounce_en = 5;
    s.etc_enable = 0;
    s.etc_interval = -1;
    s.etc_factor = 16;
    s.etc_step = 15;
    CaptureStdout();
    write_common_settings(s);
    // sample_num above 7 and etc_factor above 15 warn; the boundary values and negatives do not.
    EXPECT_EQ(GetCapturedStdout(), "Error: illegal parameter.\nError: illegal parameter.\n");
    EXPECT_EQ(dir.get(AttrGroup::common, "sample_num"), "8");
    EXPECT_EQ(dir.get(AttrGroup::common, "debounce_en"), "1");
    EXPECT_EQ(dir.get(AttrGroup::etc, "etc_enable"), "0");
    EXPECT_EQ(dir.get(AttrGroup::etc, "etc_interval"), "-1");
    EXPECT_EQ(dir.get(AttrGroup::etc, "etc_factor"), "16");

    ChannelSettings c{};
    c.abs_th = 4095;
    CaptureStdout();
    write_channel_settings(c);
    EXPECT_EQ(GetCapturedStdout(), "");
    c.abs_th = 4096;
    CaptureStdout();
    write_channel_settings(c);
    EXPECT_EQ(GetCapturedStdout(), "Error: illegal parameter.\n");
    EXPECT_EQ(dir.get(AttrGroup::channel, "chx_abs_th"), "4096");
}

TEST(Attributes, ValuesOfAnyLengthAreWrittenWhole)
{
    AttrDir dir;
    CommonSettings s{};
    s.scan_interval = INT32_MIN;
    s.etc_interval = 123456789;
    write_common_settings(s);
    EXPECT_EQ(dir.get(AttrGroup::common, "scan_interval"), "-2147483648");
    EXPECT_EQ(dir.get(AttrGroup::etc, "etc_interval"), "123456789");

    const auto lock = lock_channel_selection();
    select_channel(12345);
    EXPECT_EQ(dir.get(AttrGroup::channel, "ch_num"), "12345");
}

TEST(Attributes, ChannelSettingsFollowTheSelection)
{
    AttrDir dir;
    const std::pair<const char *, const char *> values[] = {
        {"chx_enable", "1\n"},   {"chx_mbias", "33\n"},      {"chx_diff_th", "80\n"},
        {"chx_abs_th", "900\n"}, {"chx_n_noise_th", "11\n"}, {"chx_p_noise_th", "12\n"},
    };
    for (const auto &[name, text] : values)
        dir.set(AttrGroup::channel, name, text);

    const ChannelSettings c = read_channel_settings(4);
    EXPECT_EQ(dir.get(AttrGroup::channel, "ch_num"), "4");
    EXPECT_EQ(c.ch, 4);
    EXPECT_EQ(c.enable, 1);
    EXPECT_EQ(c.mbias, 33);
    EXPECT_EQ(c.diff_th, 80);
    EXPECT_EQ(c.abs_th, 900);
    EXPECT_EQ(c.nn_th, 11);
    EXPECT_EQ(c.pn_th, 12);

    const CommonSettings common = read_common_settings();
    EXPECT_STREQ(common.chip_name, "NimbusChip");
}

TEST(Attributes, ResetWritesOffThenOn)
{
    AttrDir dir;
    const WriteRecorder ctc_enable{dir, AttrGroup::common, "ctc_enable"};
    reset_controller();
    EXPECT_EQ(ctc_enable.written(), "01");
}

TEST(Attributes, EnableChannelsSetsEveryChannelThenTheController)
{
    AttrDir dir;
    const WriteRecorder chx_enable{dir, AttrGroup::channel, "chx_enable"};
    const WriteRecorder ch_num{dir, AttrGroup::channel, "ch_num"};
    enable_channels(ChannelFlags{1, 0, 7, 0, 0, 0, 0, 0, 255});
    EXPECT_EQ(ch_num.written(), "012345678");
    EXPECT_EQ(chx_enable.written(), "101000001");
    EXPECT_EQ(dir.get(AttrGroup::common, "ctc_enable"), "1");
}
