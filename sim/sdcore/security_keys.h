// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// Key material of the simulated radios: proofs that two sides hold the same
// key, the keys that pairing derives, and bootstrapping method agreement.
//
// The digests only have to tell equal keys from different ones on one
// machine; they are not cryptographic and protect nothing.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string_view>

#include "mac_address.h"

namespace sdcore_sim {

using key_digest = std::array<uint8_t, 8>;

// 64-bit FNV-1a over `purpose`, then each of `parts`, each part preceded
// by its length so that ("ab","c") and ("a","bc") differ.
key_digest digest(std::string_view purpose, std::span<const std::span<const uint8_t>> parts);

// What an initiator sends to show it holds `key`, bound to a fresh nonce.
key_digest key_proof(std::string_view purpose, const key_digest &nonce,
                     std::span<const uint8_t> key);

// A key both sides of a pair derive alike from the two addresses and a
// secret: the NAN identity key (NIK) after pairing setup, and the session key
// that secures a data path after PASN.
key_digest pair_key(std::string_view purpose, const mac_address &a, const mac_address &b,
                    std::span<const uint8_t> secret);

key_digest random_nonce();

// Bootstrapping methods. A publisher numbers the methods it shows 0x02 PIN
// code, 0x04 passphrase, 0x08 QR code; a subscriber the methods that enter
// them 0x20, 0x40, 0x80; both number opportunistic bootstrapping 0x01.
// The agreed method is opportunistic when both offer it, else the first
// method the publisher shows and the subscriber can enter. Returned in the
// publisher's numbering; 0 when they share none.
uint8_t agree_bstrap_method(uint8_t publisher_methods, uint8_t subscriber_methods);
// The same method in the subscriber's numbering.
uint8_t subscriber_method(uint8_t publisher_method);

} // namespace sdcore_sim
