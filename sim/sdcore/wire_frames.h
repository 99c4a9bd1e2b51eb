// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// The frames that simulated NAN radios exchange over the medium.
//
// Every frame is a 20-byte header followed by the body of its type. Bodies
// hold only bytes and byte arrays (16-bit values are two bytes, little-endian
// first), so a frame means the same on every host and is copied, never cast.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>

#include "mac_address.h"

namespace sdcore_sim {

enum class frame_type : uint8_t {
    publish = 1,     // a publisher's announcement of one service
    subscribe = 2,   // a subscriber asks publishers of a name to announce now
    bstrap_req = 3,  // subscriber -> publisher: the methods it can bootstrap with
    bstrap_rsp = 4,  // publisher -> subscriber: the agreed method, or a failure
    pasn_req = 5,    // initiator -> responder: pairing setup or verification
    pasn_rsp = 6,    // responder -> initiator: the PASN outcome
    ndp_req = 7,     // initiator -> responder: data path request
    ndp_rsp = 8,     // responder -> initiator: data path response
    ndp_confirm = 9, // initiator -> responder: data path confirm
    ndp_end = 10,    // either side: the data path is gone
};

const char *to_string(frame_type type);

inline constexpr uint8_t kFrameMagic[4] = {'N', 'S', 'I', 'M'};
inline constexpr uint8_t kFrameVersion = 1;

#pragma pack(push, 1)

struct frame_header {
    uint8_t magic[4];
    uint8_t version;
    uint8_t type;
    uint8_t src[6];
    uint8_t dst[6]; // ff:ff:ff:ff:ff:ff for every radio on the medium
    uint8_t spare[2];
};
static_assert(sizeof(frame_header) == 20);
static_assert(offsetof(frame_header, type) == 5);
static_assert(offsetof(frame_header, src) == 6);
static_assert(offsetof(frame_header, dst) == 12);

struct publish_body {
    uint8_t publish_id;
    uint8_t sec_type; // the library's numbering: 0 open, 1 pmk, 2 passphrase, 3 pairing
    uint8_t service_id[6];
    char service_name[256];
    char service_instance[64];
    uint8_t text_info_len[2];
    uint8_t text_info[256];
};
static_assert(sizeof(publish_body) == 586);
static_assert(offsetof(publish_body, service_name) == 8);
static_assert(offsetof(publish_body, text_info_len) == 328);

struct subscribe_body {
    uint8_t subscribe_id;
    char service_name[256];
};
static_assert(sizeof(subscribe_body) == 257);

struct bstrap_req_body {
    uint8_t subscribe_id;
    uint8_t publish_id;
    uint8_t methods; // the subscriber's bitmap
};
static_assert(sizeof(bstrap_req_body) == 3);

struct bstrap_rsp_body {
    uint8_t status; // 0: agreed
    uint8_t subscribe_id;
    uint8_t publish_id;
    uint8_t method[2]; // the agreed method in the subscriber's numbering; 0 when none
};
static_assert(sizeof(bstrap_rsp_body) == 5);

struct pasn_req_body {
    uint8_t pairing_type; // 1 setup, 2 verification
    uint8_t nik_caching;
    uint8_t nonce[8];
    uint8_t proof[8];
};
static_assert(sizeof(pasn_req_body) == 18);

struct pasn_rsp_body {
    uint8_t status; // 4: success
    uint8_t pairing_type;
    uint8_t nik_caching;
};
static_assert(sizeof(pasn_rsp_body) == 3);

struct ndp_req_body {
    uint8_t initiator_ndp_id;
    uint8_t publish_id;
    uint8_t sec_type;
    uint8_t nonce[8];
    uint8_t proof[8];
    char host_name[256];
    uint8_t port_number[2];
};
static_assert(sizeof(ndp_req_body) == 277);
static_assert(offsetof(ndp_req_body, host_name) == 19);

struct ndp_rsp_body {
    uint8_t status; // 0: accepted
    uint8_t initiator_ndp_id;
    uint8_t responder_ndp_id;
    char host_name[256];
    uint8_t port_number[2];
};
static_assert(sizeof(ndp_rsp_body) == 261);

struct ndp_confirm_body {
    uint8_t status;
    uint8_t initiator_ndp_id;
    uint8_t responder_ndp_id;
};
static_assert(sizeof(ndp_confirm_body) == 3);

struct ndp_end_body {
    uint8_t initiator_ndp_id;
    uint8_t responder_ndp_id;
    uint8_t reason;
};
static_assert(sizeof(ndp_end_body) == 3);

#pragma pack(pop)

// Largest frame: the header and a publish body.
inline constexpr std::size_t kMaxFrameSize = sizeof(frame_header) + sizeof(publish_body);

// The body length a frame of `type` must have; 0 for an unknown type.
std::size_t body_size(uint8_t type);

// Header and body into `out`; the frame's length, or 0 when `out` is too small
// or the body's length is not the one of its type.
std::size_t encode_frame(frame_type type, const mac_address &src, const mac_address &dst,
                         std::span<const uint8_t> body, std::span<uint8_t> out);

template <typename Body>
std::size_t encode_frame(frame_type type, const mac_address &src, const mac_address &dst,
                         const Body &body, std::span<uint8_t> out)
{
    return encode_frame(
        type, src, dst,
        std::span<const uint8_t>(reinterpret_cast<const uint8_t *>(&body), sizeof body), out);
}

// A received frame, checked: magic, version, known type, exact length.
struct decoded_frame {
    frame_type type;
    mac_address src;
    mac_address dst;
    std::span<const uint8_t> body;
};

// 0 when `in` is a well-formed frame, -EBADMSG otherwise.
int decode_frame(std::span<const uint8_t> in, decoded_frame &frame);

template <typename Body>
Body copy_body(const decoded_frame &frame)
{
    Body body{};
    std::memcpy(&body, frame.body.data(),
                sizeof body < frame.body.size() ? sizeof body : frame.body.size());
    return body;
}

inline void put_u16(uint8_t out[2], uint16_t value)
{
    out[0] = static_cast<uint8_t>(value & 0xff);
    out[1] = static_cast<uint8_t>(value >> 8);
}
inline uint16_t get_u16(const uint8_t in[2])
{
    return static_cast<uint16_t>(in[0] | (in[1] << 8));
}

} // namespace sdcore_sim
