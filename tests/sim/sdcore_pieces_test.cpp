// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// The simulated NAN library's pieces on their own: frames, faults, keys,
// the NIK cache and the settings.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <map>
#include <string>
#include <unistd.h>

#include "fault_plan.h"
#include "mac_address.h"
#include "nik_cache.h"
#include "security_keys.h"
#include "sim_settings.h"
#include "wire_frames.h"

using namespace sdcore_sim;

namespace {
constexpr mac_address kA{0x02, 0, 0, 0, 0, 0x0a};
constexpr mac_address kB{0x02, 0, 0, 0, 0, 0x0b};

std::span<const uint8_t> bytes(std::string_view text)
{
    return {reinterpret_cast<const uint8_t *>(text.data()), text.size()};
}
} // namespace

TEST(MacAddress, TextAndInterfaceIdentifier)
{
    mac_address mac{};
    ASSERT_EQ(parse_mac("00:1A:2b:3c:4d:5e", mac), 1);
    char text[18];
    format_mac(mac, text, sizeof text);
    EXPECT_STREQ(text, "00:1a:2b:3c:4d:5e");
    // The universal/local bit is inverted and ff:fe goes in the middle.
    const std::array<uint8_t, 8> expected{0x02, 0x1a, 0x2b, 0xff, 0xfe, 0x3c, 0x4d, 0x5e};
    EXPECT_EQ(interface_id(mac), expected);
    for (const char *bad :
         {"00:1a:2b:3c:4d", "00:1a:2b:3c:4d:5e:", "00-1a-2b-3c-4d-5e", "00:1a:2b:3c:4d:5g", ""}) {
        EXPECT_EQ(parse_mac(bad, mac), 0) << bad;
    }
    EXPECT_EQ(read_interface_mac("no-such-if0", mac), -ENODEV);
    EXPECT_EQ(read_interface_mac("a-name-far-too-long-for-an-interface", mac), -ENAMETOOLONG);
}

TEST(WireFrames, RoundTripAndRejection)
{
    ndp_req_body body{};
    body.initiator_ndp_id = 1;
    body.publish_id = 7;
    body.sec_type = 2;
    std::strcpy(body.host_name, "nanhost");
    put_u16(body.port_number, 8080);
    uint8_t buffer[kMaxFrameSize];
    const std::size_t length = encode_frame(frame_type::ndp_req, kA, kB, body, buffer);
    ASSERT_EQ(length, sizeof(frame_header) + sizeof body);
    // Byte order on the wire is fixed, whatever the host's.
    EXPECT_EQ(buffer[sizeof(frame_header) + offsetof(ndp_req_body, port_number)], 8080 & 0xff);
    EXPECT_EQ(buffer[sizeof(frame_header) + offsetof(ndp_req_body, port_number) + 1], 8080 >> 8);

    decoded_frame frame{};
    ASSERT_EQ(decode_frame({buffer, length}, frame), 0);
    EXPECT_EQ(frame.type, frame_type::ndp_req);
    EXPECT_EQ(frame.src, kA);
    EXPECT_EQ(frame.dst, kB);
    const auto copy = copy_body<ndp_req_body>(frame);
    EXPECT_EQ(copy.publish_id, 7);
    EXPECT_EQ(get_u16(copy.port_number), 8080);
    EXPECT_STREQ(copy.host_name, "nanhost");

    // Truncated, padded, foreign or unknown frames are refused.
    EXPECT_EQ(decode_frame({buffer, length - 1}, frame), -EBADMSG);
    uint8_t longer[kMaxFrameSize + 1] = {};
    std::memcpy(longer, buffer, length);
    EXPECT_EQ(decode_frame({longer, length + 1}, frame), -EBADMSG);
    EXPECT_EQ(decode_frame({buffer, 10}, frame), -EBADMSG);
    uint8_t altered[kMaxFrameSize];
    std::memcpy(altered, buffer, length);
    altered[0] = 'X';
    EXPECT_EQ(decode_frame({altered, length}, frame), -EBADMSG);
    std::memcpy(altered, buffer, length);
    altered[offsetof(frame_header, version)] = kFrameVersion + 1;
    EXPECT_EQ(decode_frame({altered, length}, frame), -EBADMSG);
    std::memcpy(altered, buffer, length);
    altered[offsetof(frame_header, type)] = 99;
    EXPECT_EQ(decode_frame({altered, length}, frame), -EBADMSG);

    // A body of the wrong type's size, or no room, encodes nothing.
    const ndp_end_body end{1, 2, 0};
    EXPECT_EQ(encode_frame(frame_type::ndp_req, kA, kB, end, buffer), 0u);
    EXPECT_EQ(encode_frame(frame_type::ndp_end, kA, kB, end, std::span<uint8_t>(buffer, 22)), 0u);
}

TEST(FaultPlan, ParsesItemsAndCountsOccurrences)
{
    fault_plan plan;
    char error[128] = {};
    ASSERT_EQ(
        plan.parse("drop:DNS_DATA_CONFIRM@2, delay:DNS_PASN_RESULT=1500;reject:dns_datapath_rsp "
                   "vanish:dns_bstrap_start@1",
                   error, sizeof error),
        0)
        << error;
    EXPECT_EQ(plan.size(), 4u);
    EXPECT_FALSE(plan.on_event("DNS_DATA_CONFIRM").drop);
    EXPECT_TRUE(plan.on_event("DNS_DATA_CONFIRM").drop);
    EXPECT_FALSE(plan.on_event("DNS_DATA_CONFIRM").drop);
    EXPECT_EQ(plan.on_event("DNS_PASN_RESULT").delay_ms, 1500u);
    EXPECT_EQ(plan.on_event("DNS_PASN_RESULT").delay_ms, 1500u);
    EXPECT_TRUE(plan.on_call("dns_datapath_rsp").reject);
    EXPECT_TRUE(plan.on_call("dns_datapath_rsp").reject);
    EXPECT_TRUE(plan.on_call("dns_bstrap_start").vanish);
    EXPECT_FALSE(plan.on_call("dns_bstrap_start").vanish);
    const fault_verdict nothing = plan.on_event("DNS_DATA_END");
    EXPECT_FALSE(nothing.drop || nothing.reject || nothing.vanish || nothing.delay_ms != 0);

    EXPECT_EQ(plan.parse("", error, sizeof error), 0);
    EXPECT_EQ(plan.size(), 0u);
}

TEST(FaultPlan, RefusesBadItemsAndNamesThem)
{
    fault_plan plan;
    char error[128] = {};
    for (const char *bad :
         {"drop", "drop:", "drop:dns_datapath_req", "reject:DNS_DATA_CONFIRM",
          "delay:DNS_DATA_CONFIRM", "drop:DNS_DATA_CONFIRM=5", "drop:DNS_DATA_CONFIRM@0",
          "drop:DNS_DATA_CONFIRM@x", "explode:DNS_DATA_CONFIRM", "vanish:DNS_NOTHING",
          "delay:DNS_DATA_CONFIRM=12345678901"}) {
        EXPECT_EQ(plan.parse(std::string("drop:DNS_DATA_END ") + bad, error, sizeof error), -EINVAL)
            << bad;
        EXPECT_EQ(std::string(error), std::string("bad fault item '") + bad + "'");
        EXPECT_EQ(plan.size(), 0u) << "a plan that fails is left empty";
    }
    EXPECT_EQ(plan.parse("drop:DNS_DATA_END,drop:DNS_DATA_END,drop:DNS_DATA_END,drop:DNS_DATA_END,"
                         "drop:DNS_DATA_END,drop:DNS_DATA_END,drop:DNS_DATA_END,drop:DNS_DATA_END,"
                         "drop:DNS_DATA_END",
                         error, sizeof error),
              -EINVAL);
    EXPECT_STREQ(error, "more than 8 fault items");
}

TEST(SecurityKeys, ProofsPairKeysAndBootstrapping)
{
    const key_digest nonce{1, 2, 3, 4, 5, 6, 7, 8};
    const key_digest other_nonce{8, 7, 6, 5, 4, 3, 2, 1};
    EXPECT_EQ(key_proof("ndp", nonce, bytes("secret")), key_proof("ndp", nonce, bytes("secret")));
    EXPECT_NE(key_proof("ndp", nonce, bytes("secret")), key_proof("ndp", nonce, bytes("secreT")));
    EXPECT_NE(key_proof("ndp", nonce, bytes("secret")),
              key_proof("ndp", other_nonce, bytes("secret")));
    EXPECT_NE(key_proof("ndp", nonce, bytes("secret")),
              key_proof("pasn-setup", nonce, bytes("secret")));
    // Parts are length-prefixed: moving a byte between them changes the digest.
    const std::span<const uint8_t> ab_c[] = {bytes("ab"), bytes("c")};
    const std::span<const uint8_t> a_bc[] = {bytes("a"), bytes("bc")};
    EXPECT_NE(digest("x", ab_c), digest("x", a_bc));
    // Both sides of a pair derive the same key.
    EXPECT_EQ(pair_key("nik", kA, kB, bytes("pw")), pair_key("nik", kB, kA, bytes("pw")));
    EXPECT_NE(pair_key("nik", kA, kB, bytes("pw")), pair_key("nik", kA, kB, bytes("pw2")));
    EXPECT_NE(random_nonce(), random_nonce());

    EXPECT_EQ(agree_bstrap_method(0x01, 0x01), 0x01);
    EXPECT_EQ(agree_bstrap_method(0x0b, 0xa1), 0x01) << "opportunistic wins when both offer it";
    EXPECT_EQ(agree_bstrap_method(0x0a, 0xa0), 0x02)
        << "the first shown method the subscriber can enter";
    EXPECT_EQ(agree_bstrap_method(0x08, 0xa0), 0x08);
    EXPECT_EQ(agree_bstrap_method(0x02, 0x40), 0x00);
    EXPECT_EQ(agree_bstrap_method(0x01, 0x20), 0x00);
    EXPECT_EQ(subscriber_method(0x01), 0x01);
    EXPECT_EQ(subscriber_method(0x02), 0x20);
    EXPECT_EQ(subscriber_method(0x08), 0x80);
    EXPECT_EQ(subscriber_method(0x00), 0x00);
}

class TempFolder : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::strcpy(folder_, "/tmp/sdcore-test-XXXXXX");
        ASSERT_NE(::mkdtemp(folder_), nullptr);
    }
    void TearDown() override
    {
        std::error_code error;
        std::filesystem::remove_all(folder_, error);
        ASSERT_FALSE(error) << error.message();
    }
    char folder_[64];
};

using NikCache = TempFolder;

TEST_F(NikCache, StoresLoadsAndRefusesDamagedEntries)
{
    key_digest nik{};
    EXPECT_EQ(nik_cache_load(folder_, kA, kB, nik), -ENOENT);
    const key_digest stored{0xde, 0xad, 0xbe, 0xef, 0x00, 0x01, 0x02, 0x03};
    ASSERT_EQ(nik_cache_store(folder_, kA, kB, stored), 0);
    ASSERT_EQ(nik_cache_load(folder_, kA, kB, nik), 0);
    EXPECT_EQ(nik, stored);
    EXPECT_EQ(nik_cache_load(folder_, kB, kA, nik), -ENOENT) << "entries are per direction";

    const std::string path = std::string(folder_) + "/nik/02000000000a-02000000000b";
    const int fd = ::open(path.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::write(fd, "zz", 2), 2);
    ::close(fd);
    EXPECT_EQ(nik_cache_load(folder_, kA, kB, nik), -EBADMSG);
    EXPECT_EQ(nik_cache_store("/nonexistent-folder", kA, kB, stored), -ENOENT);
}

using Settings = TempFolder;

namespace {
std::map<std::string, std::string> fake_environment;
const char *fake_lookup(const char *name)
{
    const auto found = fake_environment.find(name);
    return found == fake_environment.end() ? nullptr : found->second.c_str();
}
} // namespace

TEST_F(Settings, FromTheEnvironment)
{
    engine_config config;
    char error[256] = {};
    const std::string medium = std::string(folder_) + "/medium";
    fake_environment = {{"SDCORE_SIM_MEDIUM", medium},
                        {"SDCORE_SIM_TRACE", "/tmp/trace"},
                        {"SDCORE_SIM_FAULTS", "drop:DNS_DATA_END"},
                        {"SDCORE_SIM_MAC", "02:00:00:00:00:0A"},
                        {"SDCORE_SIM_ANNOUNCE_MS", "250"}};
    ASSERT_EQ(load_settings(&fake_lookup, "nan0", config, error, sizeof error), 0) << error;
    EXPECT_STREQ(config.medium_dir, medium.c_str());
    EXPECT_EQ(::access(medium.c_str(), F_OK), 0) << "the medium folder is created";
    EXPECT_STREQ(config.trace_path, "/tmp/trace");
    EXPECT_STREQ(config.faults, "drop:DNS_DATA_END");
    EXPECT_EQ(config.mac, kA);
    EXPECT_EQ(config.announce_ms, 250u);
    EXPECT_EQ(config.stop_wait_ms, 2000u);

    fake_environment = {{"SDCORE_SIM_MAC", "02:00:00:00:00:0b"}, {"SDCORE_SIM_MEDIUM", medium}};
    ASSERT_EQ(load_settings(&fake_lookup, "nan0", config, error, sizeof error), 0) << error;
    EXPECT_EQ(config.announce_ms, 1000u);
    EXPECT_STREQ(config.trace_path, "");

    const struct {
        const char *name;
        const char *value;
        const char *message;
    } bad[] = {
        {"SDCORE_SIM_MAC", "02:00:00:00:00",
         "SDCORE_SIM_MAC is not an address like 02:00:00:00:00:01: '02:00:00:00:00'"},
        {"SDCORE_SIM_MAC", "00:00:00:00:00:00", "the address of nan0 is 00:00:00:00:00:00"},
        {"SDCORE_SIM_ANNOUNCE_MS", "0",
         "SDCORE_SIM_ANNOUNCE_MS must be a positive number of milliseconds, not '0'"},
        {"SDCORE_SIM_ANNOUNCE_MS", "1s",
         "SDCORE_SIM_ANNOUNCE_MS must be a number of milliseconds below 10000000, not '1s'"},
        {"SDCORE_SIM_STOP_WAIT_MS", "99999999",
         "SDCORE_SIM_STOP_WAIT_MS must be a number of milliseconds below 10000000, not '99999999'"},
    };
    for (const auto &item : bad) {
        fake_environment = {{"SDCORE_SIM_MAC", "02:00:00:00:00:0b"}, {"SDCORE_SIM_MEDIUM", medium}};
        fake_environment[item.name] = item.value;
        EXPECT_NE(load_settings(&fake_lookup, "nan0", config, error, sizeof error), 0)
            << item.value;
        EXPECT_STREQ(error, item.message);
    }
    fake_environment = {{"SDCORE_SIM_MEDIUM", medium}, {"SDCORE_SIM_TRACE", std::string(300, 't')}};
    EXPECT_EQ(load_settings(&fake_lookup, "nan0", config, error, sizeof error), -ENAMETOOLONG);
    EXPECT_STREQ(error, "SDCORE_SIM_TRACE is longer than 255 characters");
    // Without an override the address is the interface's.
    fake_environment = {{"SDCORE_SIM_MEDIUM", medium}};
    EXPECT_EQ(load_settings(&fake_lookup, "no-such-if0", config, error, sizeof error), -ENODEV);
    EXPECT_STREQ(error, "cannot read the address of no-such-if0: No such device");
}
