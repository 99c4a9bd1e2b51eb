// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// Every request through the UART: framing, the request table, answers and log lines.
#include "server_fixture.h"

#include <chrono>
#include <string>
#include <sys/resource.h>
#include <thread>

using namespace padprobe_test;
using padprobe::kRequestCapacity;
using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

namespace {

const std::string kAck = status_answer("ack");
const std::string kError = status_answer("error");

} // namespace

TEST_F(ServerTest, QueriesAnswerWithTheControllerSettings)
{
    EXPECT_EQ(host.greeting(), "start uart OK!\n");
    dir.set(AttrGroup::common, "scan_interval", "16\n");
    dir.set(AttrGroup::common, "sample_num", "3\n");
    dir.set(AttrGroup::etc, "etc_enable", "1\n");
    dir.set(AttrGroup::etc, "etc_step", "2\n");
    dir.set(AttrGroup::etc, "etc_interval", "40\n");
    dir.set(AttrGroup::etc, "etc_factor", "6\n");
    dir.set(AttrGroup::common, "debounce_en", "0\n");
    dir.set(AttrGroup::common, "debounce_times", "2\n");
    const std::string query = ask(R"({"type":"query"})");
    EXPECT_EQ(query,
              "{\n\t\"type\":\t\"query\",\n\t\"version\":\t\"1.0\",\n\t\"status\":\t\"idle\",\n"
              "\t\"scan_int\":\t16,\n\t\"avg_samp\":\t3,\n\t\"etc_en\":\t1,\n\t\"step\":\t2,\n"
              "\t\"etc_int\":\t40,\n\t\"etc_factor\":\t6,\n\t\"deb_en\":\t0,\n\t\"deb_cnt\":\t2,\n"
              "\t\"chip_name\":\t\"NimbusChip\"\n}");

    dir.set(AttrGroup::channel, "chx_enable", "1\n");
    dir.set(AttrGroup::channel, "chx_mbias", "21\n");
    dir.set(AttrGroup::channel, "chx_diff_th", "50\n");
    dir.set(AttrGroup::channel, "chx_abs_th", "2000\n");
    dir.set(AttrGroup::channel, "chx_n_noise_th", "7\n");
    dir.set(AttrGroup::channel, "chx_p_noise_th", "8\n");
    EXPECT_EQ(ask(R"({"type":"query_ch","ch":4})"),
              "{\n\t\"type\":\t\"query_ch\",\n\t\"ch\":\t4,\n\t\"enable\":\t1,\n\t\"mbias\":\t21,\n"
              "\t\"diff_th\":\t50,\n\t\"abs_th\":\t2000,\n\t\"nn_th\":\t7,\n\t\"pn_th\":\t8\n}");
    EXPECT_EQ(dir.get(AttrGroup::channel, "ch_num"), "4");

    // A tune already within tolerance: "mbias" is the result, "baseline" the MBias read back.
    dir.set(AttrGroup::channel, "chx_ave_data", "3250\n");
    EXPECT_EQ(ask(R"({"type":"tune_mbias_ch","ch":2})"),
              "{\n\t\"type\":\t\"tune_mbias_ch\",\n\t\"ch\":\t2,\n\t\"mbias\":\t21,"
              "\n\t\"baseline\":\t21\n}");
}

TEST_F(ServerTest, ConfigurationRequestsWriteTheControllerAndAck)
{
    CaptureStdout();
    EXPECT_EQ(ask(R"({"type":"config","scan_int":10,"step":4,"avg_samp":8,"etc_en":1,"etc_int":-1,)"
                  R"("etc_factor":3,"deb_en":5,"deb_cnt":2})"),
              kAck);
    EXPECT_TRUE(contains(GetCapturedStdout(), "Error: illegal parameter.\n"));
    EXPECT_EQ(dir.get(AttrGroup::common, "scan_interval"), "10");
    EXPECT_EQ(dir.get(AttrGroup::common, "sample_num"), "8");
    EXPECT_EQ(dir.get(AttrGroup::common, "debounce_en"), "1");
    EXPECT_EQ(dir.get(AttrGroup::etc, "etc_interval"), "-1");
    EXPECT_EQ(dir.get(AttrGroup::etc, "etc_step"), "4");

    EXPECT_EQ(ask(R"({"type":"config_ch","ch":3,"enable":0,"mbias":12,"diff_th":30,"abs_th":4095,)"
                  R"("nn_th":5,"pn_th":6})"),
              kAck);
    EXPECT_EQ(dir.get(AttrGroup::channel, "ch_num"), "3");
    EXPECT_EQ(dir.get(AttrGroup::channel, "chx_mbias"), "12");
    EXPECT_EQ(dir.get(AttrGroup::channel, "chx_enable"), "0");
    EXPECT_EQ(dir.get(AttrGroup::channel, "chx_n_noise_th"), "5");
    EXPECT_EQ(dir.get(AttrGroup::channel, "chx_p_noise_th"), "6");

    EXPECT_EQ(ask(R"({"type":"reset"})"), kAck);
    EXPECT_EQ(dir.get(AttrGroup::common, "ctc_enable"), "1");
}

TEST_F(ServerTest, MissingOrMistypedMembersWriteNothing)
{
    CaptureStdout();
    EXPECT_EQ(
        ask(R"({"type":"config","scan_int":10,"step":4,"avg_samp":1,"etc_en":1,"etc_int":1,"etc_factor":3,"deb_en":1})"),
        kError);
    EXPECT_EQ(
        ask(R"({"type":"config_ch","ch":3,"enable":1,"mbias":"12","diff_th":30,"abs_th":1,"nn_th":5,"pn_th":6})"),
        kError);
    EXPECT_EQ(ask(R"({"type":"query_ch"})"), kError);
    EXPECT_EQ(
        ask(R"({"type":"start","samp_int":5,"ch0":1,"ch1":1,"ch2":1,"ch3":1,"ch4":1,"ch5":1,"ch6":1,"ch7":1})"),
        kError);
    const std::string log = GetCapturedStdout();
    EXPECT_TRUE(contains(log, "[CAP][WARN] Missing or non-numeric member: deb_cnt\n\n"));
    EXPECT_TRUE(contains(log, "[CAP][WARN] Missing or non-numeric member: mbias\n\n"));
    EXPECT_TRUE(contains(log, "[CAP][WARN] Missing or non-numeric member: ch8\n\n"));
    for (const char *name : {"scan_interval", "sample_num", "ctc_enable"})
        EXPECT_EQ(dir.get(AttrGroup::common, name), "") << name;
    for (const char *name : {"ch_num", "chx_enable", "chx_mbias"})
        EXPECT_EQ(dir.get(AttrGroup::channel, name), "") << name;
    EXPECT_EQ(stream().frames.size(), 0u);
}

TEST_F(ServerTest, UnsupportedTypesGetTheErrorAnswer)
{
    CaptureStdout();
    EXPECT_EQ(ask(R"({"type":"ack"})"), kError);
    EXPECT_EQ(GetCapturedStdout(), "[CAP][INFO] Got request: {\"type\":\"ack\"}\n\n"
                                   "[CAP][WARN] Unsupport cmd type: 0\n\n"
                                   "[CAP][INFO] Query response: " +
                                       kError + " (20)\n\n");
    CaptureStdout();
    EXPECT_EQ(ask(R"({"type":"error"})"), kError);
    EXPECT_EQ(ask(R"({"type":"Query"})"), kError);
    EXPECT_EQ(ask("{x}"), kError);
    EXPECT_EQ(ask(R"({"type":5})"), kError);
    EXPECT_EQ(ask(R"({"kind":"query"})"), kError);
    const std::string log = GetCapturedStdout();
    EXPECT_TRUE(contains(log, "[CAP][WARN] Unsupport cmd type: 1\n\n"));
    EXPECT_TRUE(
        contains(log, "[CAP][INFO] Got request: {x}\n\n[CAP][WARN] Unsupport cmd type: 255\n\n"));

    // Member names match whatever their letter case.
    EXPECT_EQ(ask(R"({"TYPE":"stop"})"), kAck);
    EXPECT_TRUE(contains(ask(R"({"Type":"query_ch","CH":1})"),
                         "{\n\t\"type\":\t\"query_ch\",\n\t\"ch\":\t1,"));
}

TEST_F(ServerTest, RequestsAreFramedAtTheirBalancingBrace)
{
    // Two requests in one write: both are served, in order.
    CaptureStdout();
    host.send(R"({"type":"stop"} {"type":"reset"})");
    EXPECT_EQ(next_answer(), kAck);
    EXPECT_EQ(next_answer(), kAck);
    // A request split over several writes.
    host.send(R"({"ty)");
    host.send(R"(pe":"st)");
    EXPECT_EQ(ask(R"(op"})"), kAck);
    // A brace inside a string does not end the request, nor unbalance later ones.
    EXPECT_EQ(ask(R"({"type":"}"})"), kError);
    EXPECT_EQ(ask(R"({"type":"stop"})"), kAck);
    const std::string log = GetCapturedStdout();
    EXPECT_TRUE(contains(
        log,
        "[CAP][INFO] Got request: {\"type\":\"stop\"}\n\n[CAP][INFO] Monitor already stopped"));
    EXPECT_TRUE(contains(log, "[CAP][INFO] Got request: {\"type\":\"reset\"}\n\n"));
    EXPECT_TRUE(contains(log, "[CAP][INFO] Got request: {\"type\":\"}\"}\n\n"));

    // An oversized request is dropped with an error answer; serving goes on.
    CaptureStdout();
    host.send(R"({"type":"query","pad":")" + std::string(kRequestCapacity, 'x') + R"("})");
    EXPECT_EQ(next_answer(), kError);
    EXPECT_EQ(ask(R"({"type":"reset"})"), kAck);
    EXPECT_TRUE(
        contains(GetCapturedStdout(), "[CAP][WARN] Request longer than 1024 bytes dropped\n\n"));
}

TEST_F(ServerTest, StopBeforeStartAndTwice)
{
    CaptureStdout();
    EXPECT_EQ(ask(R"({"type":"stop"})"), kAck);
    EXPECT_EQ(ask(R"({"type":"stop"})"), kAck);
    const std::string log = GetCapturedStdout();
    EXPECT_TRUE(contains(
        log, "[CAP][INFO] Got request: {\"type\":\"stop\"}\n\n[CAP][INFO] Monitor stopped\n\n"));
    EXPECT_TRUE(contains(
        log,
        "[CAP][INFO] Got request: {\"type\":\"stop\"}\n\n[CAP][INFO] Monitor already stopped\n\n"));
}

TEST_F(ServerTest, AHungUpLineIsWaitedForWithoutSpinning)
{
    // Once the host's end is closed the UART reads as EIO at once, for ever.
    host.hang_up();
    const auto cpu_seconds = [] {
        rusage used{};
        getrusage(RUSAGE_SELF, &used);
        return static_cast<double>(used.ru_utime.tv_sec + used.ru_stime.tv_sec) +
               static_cast<double>(used.ru_utime.tv_usec + used.ru_stime.tv_usec) / 1e6;
    };
    const double before = cpu_seconds();
    std::this_thread::sleep_for(std::chrono::seconds{1});
    // A spinning receiver burns the whole second; a resting one next to nothing.
    EXPECT_LT(cpu_seconds() - before, 0.25);
}
