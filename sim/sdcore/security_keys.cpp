// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// Key material of the simulated radios.
#include "security_keys.h"

#include <sys/random.h>

#include <chrono>

namespace sdcore_sim {

namespace {
constexpr uint64_t kFnvOffset = 0xcbf29ce484222325ull;
constexpr uint64_t kFnvPrime = 0x100000001b3ull;

uint64_t fnv_bytes(uint64_t hash, std::span<const uint8_t> bytes)
{
    for (uint8_t byte : bytes) {
        hash ^= byte;
        hash *= kFnvPrime;
    }
    return hash;
}

key_digest to_digest(uint64_t hash)
{
    key_digest out{};
    for (std::size_t i = 0; i < out.size(); ++i)
        out[i] = static_cast<uint8_t>(hash >> (8 * i));
    return out;
}

std::span<const uint8_t> bytes_of(std::string_view text)
{
    return {reinterpret_cast<const uint8_t *>(text.data()), text.size()};
}
} // namespace

key_digest digest(std::string_view purpose, std::span<const std::span<const uint8_t>> parts)
{
    uint64_t hash = fnv_bytes(kFnvOffset, bytes_of(purpose));
    for (const auto &part : parts) {
        const uint8_t length[2] = {static_cast<uint8_t>(part.size() & 0xff),
                                   static_cast<uint8_t>(part.size() >> 8)};
        hash = fnv_bytes(hash, length);
        hash = fnv_bytes(hash, part);
    }
    return to_digest(hash);
}

key_digest key_proof(std::string_view purpose, const key_digest &nonce,
                     std::span<const uint8_t> key)
{
    const std::span<const uint8_t> parts[] = {nonce, key};
    return digest(purpose, parts);
}

key_digest pair_key(std::string_view purpose, const mac_address &a, const mac_address &b,
                    std::span<const uint8_t> secret)
{
    // Order the addresses so that both sides of the pair compute the same key.
    const bool a_first = a <= b;
    const std::span<const uint8_t> parts[] = {a_first ? a : b, a_first ? b : a, secret};
    return digest(purpose, parts);
}

key_digest random_nonce()
{
    key_digest nonce{};
    if (::getrandom(nonce.data(), nonce.size(), GRND_NONBLOCK) !=
        static_cast<ssize_t>(nonce.size())) {
        // Without entropy a clock reading still makes each nonce differ.
        const auto now = std::chrono::steady_clock::now().time_since_epoch().count();
        nonce = to_digest(static_cast<uint64_t>(now) * kFnvPrime);
    }
    return nonce;
}

uint8_t agree_bstrap_method(uint8_t publisher_methods, uint8_t subscriber_methods)
{
    if ((publisher_methods & 0x01) != 0 && (subscriber_methods & 0x01) != 0)
        return 0x01;
    const uint8_t shared =
        static_cast<uint8_t>(publisher_methods & (subscriber_methods >> 4) & 0x0e);
    for (uint8_t bit = 0x02; bit <= 0x08; bit = static_cast<uint8_t>(bit << 1)) {
        if ((shared & bit) != 0)
            return bit;
    }
    return 0;
}

uint8_t subscriber_method(uint8_t publisher_method)
{
    if (publisher_method == 0x01)
        return 0x01;
    return static_cast<uint8_t>((publisher_method & 0x0e) << 4);
}

} // namespace sdcore_sim
