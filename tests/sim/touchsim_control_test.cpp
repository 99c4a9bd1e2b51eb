// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// The simulated touch controller's control language.
#include <gtest/gtest.h>

#include <cerrno>

#include "control.h"

using namespace touchsim;

namespace {

std::string run(TouchModel &m, std::string_view line, double now = 0.0)
{
    return run_control_line(m, line, now).reply;
}

} // namespace

TEST(Control, SetGetAndFreeByKey)
{
    TouchModel m;
    EXPECT_EQ(run(m, "set chx_ave_data:2 2000"), "ok\n");
    EXPECT_EQ(run(m, "get chx_ave_data:2"), "2000\n");
    EXPECT_EQ(run(m, "set chx_config/chx_baseline:2 1990"), "ok\n");
    EXPECT_EQ(run(m, "get chx_baseline:2"), "1990\n");
    EXPECT_EQ(run(m, "set snr_touch 5"), "ok\n");
    EXPECT_EQ(run(m, "set common_config/scan_interval 0"), "ok\n");
    EXPECT_EQ(run(m, "get scan_interval"), "0\n");
    EXPECT_EQ(run(m, "noise 0"), "ok\n");
    EXPECT_EQ(run(m, "free chx_ave_data:2"), "ok\n");
    EXPECT_EQ(run(m, "get chx_ave_data:2"), std::to_string(1000 + 80 + 64 * 20) + "\n");
    // `get` reports without changing the selection the tool made.
    EXPECT_EQ(run(m, "get chx_mbias:7"), "20\n");
    EXPECT_EQ(m.selected_channel(), 0);
}

TEST(Control, RejectsMalformedLines)
{
    TouchModel m;
    for (const char *bad :
         {"set chx_mbias 3", "set chx_mbias:9 3", "set scan_interval:1 3", "set nosuch 1",
          "set scan_interval x", "get", "model 1 2", "noise -1", "touch 1 100", "touch 9 1 1",
          "fail-read nosuch", "fail-write chx_mbias EWHAT", "missing", "launch", "a b c d e f g"})
        EXPECT_EQ(run(m, bad).rfind("error: ", 0), 0u) << bad;
    EXPECT_EQ(run(m, ""), "ok\n");
    EXPECT_EQ(run(m, "  # a comment"), "ok\n");
}

TEST(Control, ModelTouchAndFaultCommands)
{
    TouchModel m;
    EXPECT_EQ(run(m, "noise 0"), "ok\n");
    EXPECT_EQ(run(m, "model 3 4000 0"), "ok\n");
    EXPECT_EQ(run(m, "get chx_ave_data:3"), "4000\n");
    EXPECT_EQ(run(m, "touch 3 500 1000 2000", 10.0), "ok\n");
    EXPECT_EQ(run(m, "get chx_ave_data:3", 11.9), "4000\n");
    EXPECT_EQ(run(m, "get chx_ave_data:3", 12.5), "3500\n");
    EXPECT_EQ(run(m, "get chx_ave_data:3", 13.0), "4000\n");

    EXPECT_EQ(run(m, "fail-read snr_noise"), "ok\n");
    int32_t v = 0;
    EXPECT_EQ(m.read(Attr::snr_noise, 0, v), -EIO);
    EXPECT_EQ(run(m, "fail-write chx_config/chx_diff_th EBUSY"), "ok\n");
    EXPECT_EQ(m.write(Attr::chx_diff_th, "1", 0), -EBUSY);

    const ControlResult gone = run_control_line(m, "missing snr_touch", 0);
    EXPECT_EQ(gone.reply, "ok\n");
    ASSERT_NE(gone.visibility_changed, nullptr);
    EXPECT_EQ(gone.visibility_changed->id, Attr::snr_touch);
    EXPECT_TRUE(m.is_missing(Attr::snr_touch));
    EXPECT_EQ(run(m, "restore snr_touch"), "ok\n");
    EXPECT_FALSE(m.is_missing(Attr::snr_touch));
    EXPECT_EQ(run(m, "restore snr_noise"), "ok\n");
    EXPECT_EQ(m.read(Attr::snr_noise, 0, v), 0) << "restore also heals";
}
