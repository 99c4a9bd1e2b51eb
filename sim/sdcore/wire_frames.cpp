// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// The frames that simulated NAN radios exchange over the medium.
#include "wire_frames.h"

#include <cerrno>

namespace sdcore_sim {

const char *to_string(frame_type type)
{
    switch (type) {
    case frame_type::publish:
        return "publish";
    case frame_type::subscribe:
        return "subscribe";
    case frame_type::bstrap_req:
        return "bstrap_req";
    case frame_type::bstrap_rsp:
        return "bstrap_rsp";
    case frame_type::pasn_req:
        return "pasn_req";
    case frame_type::pasn_rsp:
        return "pasn_rsp";
    case frame_type::ndp_req:
        return "ndp_req";
    case frame_type::ndp_rsp:
        return "ndp_rsp";
    case frame_type::ndp_confirm:
        return "ndp_confirm";
    case frame_type::ndp_end:
        return "ndp_end";
    }
    return "unknown";
}

std::size_t body_size(uint8_t type)
{
    switch (type) {
    case static_cast<uint8_t>(frame_type::publish):
        return sizeof(publish_body);
    case static_cast<uint8_t>(frame_type::subscribe):
        return sizeof(subscribe_body);
    case static_cast<uint8_t>(frame_type::bstrap_req):
        return sizeof(bstrap_req_body);
    case static_cast<uint8_t>(frame_type::bstrap_rsp):
        return sizeof(bstrap_rsp_body);
    case static_cast<uint8_t>(frame_type::pasn_req):
        return sizeof(pasn_req_body);
    case static_cast<uint8_t>(frame_type::pasn_rsp):
        return sizeof(pasn_rsp_body);
    case static_cast<uint8_t>(frame_type::ndp_req):
        return sizeof(ndp_req_body);
    case static_cast<uint8_t>(frame_type::ndp_rsp):
        return sizeof(ndp_rsp_body);
    case static_cast<uint8_t>(frame_type::ndp_confirm):
        return sizeof(ndp_confirm_body);
    case static_cast<uint8_t>(frame_type::ndp_end):
        return sizeof(ndp_end_body);
    default:
        return 0;
    }
}

std::size_t encode_frame(frame_type type, const mac_address &src, const mac_address &dst,
                         std::span<const uint8_t> body, std::span<uint8_t> out)
{
    const std::size_t expected = body_size(static_cast<uint8_t>(type));
    if (expected == 0 || body.size() != expected)
        return 0;
    if (out.size() < sizeof(frame_header) + body.size())
        return 0;
    frame_header header{};
    std::memcpy(header.magic, kFrameMagic, sizeof header.magic);
    header.version = kFrameVersion;
    header.type = static_cast<uint8_t>(type);
    std::memcpy(header.src, src.data(), src.size());
    std::memcpy(header.dst, dst.data(), dst.size());
    std::memcpy(out.data(), &header, sizeof header);
    std::memcpy(out.data() + sizeof header, body.data(), body.size());
    return sizeof header + body.size();
}

int decode_frame(std::span<const uint8_t> in, decoded_frame &frame)
{
    if (in.size() < sizeof(frame_header))
        return -EBADMSG;
    frame_header header{};
    std::memcpy(&header, in.data(), sizeof header);
    if (std::memcmp(header.magic, kFrameMagic, sizeof header.magic) != 0)
        return -EBADMSG;
    if (header.version != kFrameVersion)
        return -EBADMSG;
    const std::size_t expected = body_size(header.type);
    if (expected == 0 || in.size() != sizeof header + expected)
        return -EBADMSG;
    frame.type = static_cast<frame_type>(header.type);
    std::memcpy(frame.src.data(), header.src, frame.src.size());
    std::memcpy(frame.dst.data(), header.dst, frame.dst.size());
    frame.body = in.subspan(sizeof header);
    return 0;
}

} // namespace sdcore_sim
