// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// IPv6 link-local set-up on the NAN data interface with ip and ping6.
#pragma once

#include <cstddef>
#include <cstdint>

inline constexpr std::size_t kIpv6TextSize = 128;
inline constexpr std::size_t kMacTextBufferSize = 18;

// "%02x:%02x:%02x:%02x:%02x:%02x" of six bytes.
void format_mac_text(const uint8_t (&mac)[6], char (&text)[kMacTextBufferSize]);

// Modified EUI-64 link-local address of a MAC text. Returns false, with a
// message, for a text of fewer than six ':'-separated pieces; address is
// then left empty and the caller skips its set-up.
bool ipv6_link_local(const char *mac_text, char (&address)[kIpv6TextSize]);

// Each returns false when nanpeer began to stop while it waited for a
// command or its pause; it then starts no further command.
bool set_self_ipv6(const char *ifname, const char *mac_text, const char *address);
bool set_peer_ipv6(const char *ifname, const char *mac_text, const char *address);
// Pauses 2 s first.
bool ping6_peer(const char *ifname, const char *address, int count);
