// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// The simulated touch controller's model: value text, channel selection,
// measurements and faults.
#include <gtest/gtest.h>

#include <cerrno>

#include "model.h"
#include "value_text.h"
#include "write_log.h"

using namespace touchsim;

namespace {

int32_t read_value(TouchModel &m, Attr attr, double now = 0.0)
{
    int32_t v = -12345;
    EXPECT_EQ(m.read(attr, now, v), 0);
    return v;
}

} // namespace

TEST(ValueText, ParsesAsTheDriverDoes)
{
    int32_t v = 0;
    EXPECT_EQ(parse_value("42", v), 0);
    EXPECT_EQ(v, 42);
    EXPECT_EQ(parse_value("-7\n", v), 0);
    EXPECT_EQ(v, -7);
    EXPECT_EQ(parse_value("+3", v), 0);
    EXPECT_EQ(v, 3);
    EXPECT_EQ(parse_value("-2147483648", v), 0);
    EXPECT_EQ(v, INT32_MIN);
    EXPECT_EQ(parse_value("2147483647", v), 0);
    EXPECT_EQ(v, INT32_MAX);

    for (const char *bad : {"", "\n", "-", "4x", " 4", "4 ", "4\n\n", "0x10", "1.5", "\n4"})
        EXPECT_EQ(parse_value(bad, v), -EINVAL) << '"' << bad << '"';
    EXPECT_EQ(parse_value("2147483648", v), -ERANGE);
    EXPECT_EQ(parse_value("-2147483649", v), -ERANGE);
    EXPECT_EQ(parse_value("99999999999999999999", v), -ERANGE);

    EXPECT_EQ(format_value(-5).view(), "-5\n");
    EXPECT_EQ(format_value(3300).view(), "3300\n");
    EXPECT_EQ(format_value(INT32_MIN).view(), "-2147483648\n");
}

TEST(TouchModel, ChannelSelectionRoutesPerChannelAttributes)
{
    TouchModel m;
    ASSERT_EQ(m.write(Attr::ch_num, "3", 0), 0);
    ASSERT_EQ(m.write(Attr::chx_abs_th, "1234", 0), 0);
    ASSERT_EQ(m.write(Attr::ch_num, "5\n", 0), 0);
    EXPECT_EQ(read_value(m, Attr::ch_num), 5);
    EXPECT_NE(read_value(m, Attr::chx_abs_th), 1234);
    ASSERT_EQ(m.write(Attr::chx_abs_th, "77", 0), 0);
    ASSERT_EQ(m.write(Attr::ch_num, "3", 0), 0);
    EXPECT_EQ(read_value(m, Attr::chx_abs_th), 1234);
    // A shorter value replaces a longer one whole.
    ASSERT_EQ(m.write(Attr::chx_abs_th, "9", 0), 0);
    EXPECT_EQ(read_value(m, Attr::chx_abs_th), 9);
    // Common settings are the same whatever the selection.
    ASSERT_EQ(m.write(Attr::scan_interval, "12", 0), 0);
    ASSERT_EQ(m.write(Attr::ch_num, "0", 0), 0);
    EXPECT_EQ(read_value(m, Attr::scan_interval), 12);
}

TEST(TouchModel, RejectsWhatTheDriverRejects)
{
    TouchModel m;
    EXPECT_EQ(m.write(Attr::ch_num, "9", 0), -EINVAL);
    EXPECT_EQ(m.write(Attr::ch_num, "-1", 0), -EINVAL);
    EXPECT_EQ(m.write(Attr::ch_num, "abc", 0), -EINVAL);
    EXPECT_EQ(read_value(m, Attr::ch_num), 0);
    EXPECT_EQ(m.write(Attr::chx_mbias, "64", 0), -EINVAL);
    EXPECT_EQ(m.write(Attr::chx_mbias, "63", 0), 0);
    EXPECT_EQ(m.write(Attr::chx_enable, "2", 0), -EINVAL);
    EXPECT_EQ(m.write(Attr::chx_ave_data, "1", 0), -EACCES);
    EXPECT_EQ(m.write(Attr::snr_touch, "1", 0), -EACCES);
    // Settings without a hardware limit take what the tool warns about.
    EXPECT_EQ(m.write(Attr::sample_num, "8", 0), 0);
    EXPECT_EQ(read_value(m, Attr::sample_num), 8);
    EXPECT_EQ(m.write(Attr::etc_interval, "-1", 0), 0);
}

TEST(TouchModel, FaultsOnDemand)
{
    TouchModel m;
    m.set_read_error(Attr::chx_ave_data, EIO);
    int32_t v = 0;
    EXPECT_EQ(m.read(Attr::chx_ave_data, 0, v), -EIO);
    EXPECT_EQ(m.read(Attr::chx_baseline, 0, v), 0);
    m.set_read_error(Attr::chx_ave_data, 0);
    EXPECT_EQ(m.read(Attr::chx_ave_data, 0, v), 0);

    m.set_write_error(Attr::chx_mbias, EBUSY);
    EXPECT_EQ(m.write(Attr::chx_mbias, "5", 0), -EBUSY);
    EXPECT_EQ(read_value(m, Attr::chx_mbias), 20) << "a rejected write changes nothing";
}

TEST(TouchModel, AverageRisesWithMbiasSoATuneCanConverge)
{
    TouchModel m;
    m.set_noise(0);
    int32_t previous = -1;
    int reached = -1;
    for (int mbias = 0; mbias <= 63; ++mbias) {
        ASSERT_EQ(m.write(Attr::chx_mbias, std::to_string(mbias), 0), 0);
        const int32_t avg = read_value(m, Attr::chx_ave_data);
        EXPECT_GT(avg, previous);
        previous = avg;
        if (reached < 0 && avg > 3000 && avg < 3600)
            reached = mbias;
    }
    EXPECT_GT(reached, 0) << "some setting lands within 300 of 3300";
    EXPECT_LT(reached, 63);
}

TEST(TouchModel, NoiseStaysWithinItsAmplitude)
{
    TouchModel m(7);
    m.set_noise(0);
    const int32_t level = read_value(m, Attr::chx_ave_data);
    m.set_noise(5);
    int32_t low = level;
    int32_t high = level;
    for (int i = 0; i < 2000; ++i) {
        const int32_t v = read_value(m, Attr::chx_ave_data);
        low = std::min(low, v);
        high = std::max(high, v);
    }
    EXPECT_EQ(low, level - 5);
    EXPECT_EQ(high, level + 5);
    EXPECT_EQ(read_value(m, Attr::snr_noise), 10) << "peak to peak";
}

TEST(TouchModel, BaselineFollowsDriftSlowlyAndRecalibratesOnMbias)
{
    TouchModel m;
    m.set_noise(0);
    const int32_t before = read_value(m, Attr::chx_baseline, 10.0);
    EXPECT_EQ(before, read_value(m, Attr::chx_ave_data, 10.0));
    m.set_channel_model(0, {2000, 64}, 10.0);
    const int32_t after = read_value(m, Attr::chx_ave_data, 10.0);
    ASSERT_EQ(after, before + 1000);
    // Right after the drift the baseline has hardly moved; one time
    // constant later it has covered about 63% of the way; later all of it.
    EXPECT_LT(read_value(m, Attr::chx_baseline, 10.01), before + 30);
    const double tau = TouchModel::baseline_time_constant;
    const int32_t mid = read_value(m, Attr::chx_baseline, 10.0 + tau);
    EXPECT_NEAR(mid - before, 0.632 * (after - before), 5.0);
    EXPECT_NEAR(read_value(m, Attr::chx_baseline, 10.0 + 20 * tau), after, 1.0);

    ASSERT_EQ(m.write(Attr::chx_mbias, "40", 40.0), 0);
    EXPECT_EQ(read_value(m, Attr::chx_baseline, 40.0), read_value(m, Attr::chx_ave_data, 40.0));
}

TEST(TouchModel, ScriptedTouchLowersTheAverageAndSetsSnrTouch)
{
    TouchModel m;
    m.set_noise(0);
    ASSERT_EQ(m.write(Attr::ch_num, "2", 0), 0);
    const int32_t idle = read_value(m, Attr::chx_ave_data, 1.0);
    EXPECT_EQ(read_value(m, Attr::snr_touch, 1.0), 0);
    m.add_touch(2, 400, 2.0, 3.0);
    EXPECT_EQ(read_value(m, Attr::chx_ave_data, 1.9), idle);
    EXPECT_EQ(read_value(m, Attr::chx_ave_data, 2.5), idle - 400);
    EXPECT_EQ(read_value(m, Attr::chx_baseline, 2.5), idle) << "a touch does not drag the baseline";
    EXPECT_EQ(read_value(m, Attr::chx_ave_data, 3.0), idle);
    EXPECT_EQ(read_value(m, Attr::snr_touch, 3.5), 400);
    ASSERT_EQ(m.write(Attr::ch_num, "1", 0), 0);
    EXPECT_NE(read_value(m, Attr::chx_ave_data, 2.5), idle - 400 + 0) << "other channels untouched";
}

TEST(TouchModel, PinnedMeasurementsAreExactUntilFreed)
{
    TouchModel m;
    ASSERT_EQ(m.set(Attr::chx_ave_data, 0, 1000, 0), 0);
    ASSERT_EQ(m.set(Attr::chx_baseline, 0, 1100, 0), 0);
    ASSERT_EQ(m.set(Attr::snr_touch, 0, 5, 0), 0);
    ASSERT_EQ(m.set(Attr::snr_noise, 0, 3, 0), 0);
    for (int i = 0; i < 50; ++i)
        EXPECT_EQ(read_value(m, Attr::chx_ave_data, i), 1000);
    EXPECT_EQ(read_value(m, Attr::chx_baseline), 1100);
    EXPECT_EQ(read_value(m, Attr::snr_touch), 5);
    EXPECT_EQ(read_value(m, Attr::snr_noise), 3);
    m.free(Attr::chx_ave_data, 0);
    m.set_noise(0);
    EXPECT_EQ(read_value(m, Attr::chx_ave_data), 1000 + 64 * 20);
    // Setting a plain setting stores it, as a write would.
    ASSERT_EQ(m.set(Attr::chx_mbias, 4, 33, 0), 0);
    ASSERT_EQ(m.write(Attr::ch_num, "4", 0), 0);
    EXPECT_EQ(read_value(m, Attr::chx_mbias), 33);
}

TEST(WriteLog, LinesEscapeWhatTheToolWrote)
{
    EXPECT_EQ(write_log_line(1.5, info(Attr::chx_mbias), 4, "35", 0),
              "1.500000\tchx_config/chx_mbias\t4\t35\tok\n");
    EXPECT_EQ(write_log_line(2, info(Attr::ch_num), 4, "12\n", -EINVAL),
              "2.000000\tchx_config/ch_num\t-\t12\\n\tEINVAL\n");
    EXPECT_EQ(escape_text(std::string_view("a\tb\\\x01\xff", 6)), "a\\tb\\\\\\x01\\xff");
    EXPECT_EQ(errno_from_name("EIO"), EIO);
    EXPECT_EQ(errno_from_name("16"), 16);
    EXPECT_EQ(errno_from_name("EWHAT"), 0);
}
