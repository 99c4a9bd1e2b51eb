// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// Link-local addresses and the ip / ping6 command lines.
#include "events.h"
#include "link_setup.h"
#include "sdcore_double.h"
#include "test_support.h"

namespace {

using link_setup_test = nanpeer_test;
using names = std::vector<std::string>;

std::string address_of(const char *mac)
{
    char address[kIpv6TextSize];
    output_capture quiet;
    return ipv6_link_local(mac, address) ? std::string(address) : std::string("-");
}

} // namespace

TEST_F(link_setup_test, link_local_addresses_follow_modified_eui64)
{
    EXPECT_EQ(address_of("00:1a:2b:3c:4d:5e"), "fe80::21a:2bff:fe3c:4d5e");
    EXPECT_EQ(address_of("00:1A:2B:3C:4D:5E"), "fe80::21a:2bff:fe3c:4d5e");
    EXPECT_EQ(address_of("02:00:00:00:00:01"), "fe80::0:ff:fe00:1");
    EXPECT_EQ(address_of("ff:ff:ff:ff:ff:ff"), "fe80::fdff:ffff:feff:ffff");

    char address[kIpv6TextSize] = "x";
    output_capture capture;
    EXPECT_FALSE(ipv6_link_local("02:00:00:00:01", address));
    EXPECT_EQ(address[0], '\0');
    EXPECT_EQ(capture.finish(),
              info("ipv6_link_local: invalid mac address 02:00:00:00:01, skip\n"));
}

TEST_F(link_setup_test, commands_are_built_exactly)
{
    {
        output_capture capture;
        set_self_ipv6("nan0", "00:aa:bb:cc:dd:ee", "fe80::2aa:bbff:fecc:ddee");
        set_peer_ipv6("nan0", "00:11:22:33:44:55", "fe80::211:22ff:fe33:4455");
        EXPECT_EQ(capture.finish(),
                  info("set_self_ipv6[fe80::2aa:bbff:fecc:ddee], mac[00:aa:bb:cc:dd:ee]\n") +
                      info("set_peer_ipv6[fe80::211:22ff:fe33:4455], mac[00:11:22:33:44:55]\n"));
    }
    EXPECT_EQ(
        shell_commands(),
        (names{"ip -6 address add fe80::2aa:bbff:fecc:ddee/64 dev nan0",
               "ip -6 route add fe80::2aa:bbff:fecc:ddee/64 dev nan0",
               "ip -6 neigh del fe80::211:22ff:fe33:4455 lladdr 00:11:22:33:44:55 dev nan0",
               "ip -6 neigh add fe80::211:22ff:fe33:4455 lladdr 00:11:22:33:44:55 dev nan0"}));
}

// The subscriber's confirm: neighbour entry, then about 5 s later the ping.
TEST_F(link_setup_test, subscriber_confirm_replaces_neighbour_and_pings_after_a_pause)
{
    nan_data_mgnt &mgnt = prepare_subscriber(sec_type::open);
    mgnt.data_path.ndp_id = 1;
    mgnt.nan_status = nan_status::NAN_DATA_REQ_SENT;
    const auto start = std::chrono::steady_clock::now();
    output_capture capture;
    deliver_and_handle(DNS_DATA_CONFIRM, confirm(1, 0));
    const std::string out = capture.finish();
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(4900));
    EXPECT_NE(out.find(info("set_peer_ipv6[fe80::2aa:bbff:fecc:ddee], mac[00:aa:bb:cc:dd:ee]\n") +
                       info("ping6 -I nan0 -c 10 fe80::2aa:bbff:fecc:ddee\n")),
              std::string::npos)
        << out;
    EXPECT_EQ(shell_commands(),
              (names{"ip -6 neigh del fe80::2aa:bbff:fecc:ddee lladdr 00:aa:bb:cc:dd:ee dev nan0",
                     "ip -6 neigh add fe80::2aa:bbff:fecc:ddee lladdr 00:aa:bb:cc:dd:ee dev nan0",
                     "ping6 -I nan0 -c 10 fe80::2aa:bbff:fecc:ddee"}));
    EXPECT_EQ(mgnt.nan_status, nan_status::NAN_DATA_CONFIRMED);
}
