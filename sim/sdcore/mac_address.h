// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// Six-byte NAN addresses: text form, the interface identifier, and the
// address of a network interface.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace sdcore_sim {

using mac_address = std::array<uint8_t, 6>;

inline constexpr mac_address kBroadcastMac{0xff, 0xff, 0xff, 0xff, 0xff, 0xff};

// "%02x:%02x:%02x:%02x:%02x:%02x" into `text` (at least 18 bytes).
void format_mac(const mac_address &mac, char *text, std::size_t size);

// Six two-digit hexadecimal groups separated by ':'; 1 on success, 0 otherwise.
int parse_mac(std::string_view text, mac_address &mac);

// The modified EUI-64 interface identifier of a link-local IPv6 address.
std::array<uint8_t, 8> interface_id(const mac_address &mac);

// The hardware address of `ifname` in the caller's network namespace:
// 0 or -errno.
int read_interface_mac(const char *ifname, mac_address &mac);

bool is_zero_mac(const uint8_t *bytes);

} // namespace sdcore_sim
