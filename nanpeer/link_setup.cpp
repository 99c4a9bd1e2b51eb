// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// Link-local addresses, routes and neighbour entries through ip and ping6.
// Every command line holds only addresses formatted here from bytes and the
// interface name: nothing a peer sends reaches the shell as text.
#include "link_setup.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "log.h"
#include "pause.h"
#include "shell_command.h"

namespace {

constexpr std::size_t kCommandSize = 100;
constexpr int kMacPieces = 6;
constexpr unsigned kPauseBeforePingSeconds = 2;

} // namespace

void format_mac_text(const uint8_t (&mac)[6], char (&text)[kMacTextBufferSize])
{
    std::snprintf(text, sizeof text, "%02x:%02x:%02x:%02x:%02x:%02x", mac[0], mac[1], mac[2],
                  mac[3], mac[4], mac[5]);
}

bool ipv6_link_local(const char *mac_text, char (&address)[kIpv6TextSize])
{
    address[0] = '\0';
    char work[kIpv6TextSize] = {};
    std::snprintf(work, sizeof work, "%s", mac_text);
    unsigned mac[kMacPieces] = {};
    int pieces = 0;
    char *position = nullptr;
    for (char *piece = strtok_r(work, ":", &position); piece != nullptr && pieces < kMacPieces;
         piece = strtok_r(nullptr, ":", &position)) {
        mac[pieces++] = static_cast<unsigned>(std::strtol(piece, nullptr, 16)) & 0xffu;
    }
    if (pieces < kMacPieces) {
        nan_log(log_severity::info, "%s: invalid mac address %s, skip\n", __func__, mac_text);
        return false;
    }
    // The universal/local bit is inverted and ff:fe goes in the middle.
    const unsigned group1 = ((mac[0] ^ 0x02u) << 8) + mac[1];
    const unsigned group2 = (mac[2] << 8) + 0xffu;
    const unsigned group3 = 0xfe00u + mac[3];
    const unsigned group4 = (mac[4] << 8) + mac[5];
    std::snprintf(address, sizeof address, "%x::%x:%x:%x:%x", 0xfe80u, group1, group2, group3,
                  group4);
    nan_log(log_severity::info, "%s: %s\n", __func__, address);
    return true;
}

bool set_self_ipv6(const char *ifname, const char *mac_text, const char *address)
{
    nan_log(log_severity::info, "%s[%s], mac[%s]\n", __func__, address, mac_text);
    char command[kCommandSize];
    std::snprintf(command, sizeof command, "%s %s/64 %s %s", "ip -6 address add", address, "dev",
                  ifname);
    if (!run_shell_command(command)) {
        return false;
    }
    std::snprintf(command, sizeof command, "%s %s/64 %s %s", "ip -6 route add", address, "dev",
                  ifname);
    return run_shell_command(command);
}

bool set_peer_ipv6(const char *ifname, const char *mac_text, const char *address)
{
    nan_log(log_severity::info, "%s[%s], mac[%s]\n", __func__, address, mac_text);
    char command[kCommandSize];
    // Replace, not add: an entry left from an earlier data path may be stale.
    std::snprintf(command, sizeof command, "%s %s %s %s %s %s", "ip -6 neigh del", address,
                  "lladdr", mac_text, "dev", ifname);
    if (!run_shell_command(command)) {
        return false;
    }
    std::snprintf(command, sizeof command, "%s %s %s %s %s %s", "ip -6 neigh add", address,
                  "lladdr", mac_text, "dev", ifname);
    return run_shell_command(command);
}

bool ping6_peer(const char *ifname, const char *address, int count)
{
    if (!pause_unless_stopping(kPauseBeforePingSeconds)) {
        return false;
    }
    char command[kCommandSize];
    std::snprintf(command, sizeof command, "%s %s %s %d %s", "ping6 -I", ifname, "-c", count,
                  address);
    nan_log(log_severity::info, "%s\n", command);
    return run_shell_command(command);
}
