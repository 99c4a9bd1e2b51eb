// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// Six-byte NAN addresses: text form, the interface identifier, and the
// address of a network interface.
#include "mac_address.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <net/if.h>
#include <sys/ioctl.h>
#include <sys/socket.h>

#include "unique_fd.h"

namespace sdcore_sim {

void format_mac(const mac_address &mac, char *text, std::size_t size)
{
    std::snprintf(text, size, "%02x:%02x:%02x:%02x:%02x:%02x", mac[0], mac[1], mac[2], mac[3],
                  mac[4], mac[5]);
}

namespace {
int hex_digit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}
} // namespace

int parse_mac(std::string_view text, mac_address &mac)
{
    if (text.size() != 17)
        return 0;
    mac_address parsed{};
    for (std::size_t i = 0; i < 6; ++i) {
        int high = hex_digit(text[i * 3]);
        int low = hex_digit(text[i * 3 + 1]);
        if (high < 0 || low < 0)
            return 0;
        if (i < 5 && text[i * 3 + 2] != ':')
            return 0;
        parsed[i] = static_cast<uint8_t>(high * 16 + low);
    }
    mac = parsed;
    return 1;
}

std::array<uint8_t, 8> interface_id(const mac_address &mac)
{
    return {
        static_cast<uint8_t>(mac[0] ^ 0x02), mac[1], mac[2], 0xff, 0xfe, mac[3], mac[4], mac[5]};
}

int read_interface_mac(const char *ifname, mac_address &mac)
{
    if (std::strlen(ifname) >= IFNAMSIZ)
        return -ENAMETOOLONG;
    unique_fd sock(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
    if (!sock.valid())
        return -errno;
    ifreq request{};
    std::memcpy(request.ifr_name, ifname, std::strlen(ifname));
    if (::ioctl(sock.get(), SIOCGIFHWADDR, &request) != 0)
        return -errno;
    std::memcpy(mac.data(), request.ifr_hwaddr.sa_data, mac.size());
    return 0;
}

bool is_zero_mac(const uint8_t *bytes)
{
    for (std::size_t i = 0; i < 6; ++i) {
        if (bytes[i] != 0)
            return false;
    }
    return true;
}

} // namespace sdcore_sim
