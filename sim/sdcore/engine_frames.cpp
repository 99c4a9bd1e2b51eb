// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// One simulated NAN radio: what it does with each frame it hears. Every
// handler runs on the radio thread with the engine's mutex held and reports
// to the application only through queued events.
#include <cstring>

#include "../../nanpeer/dns_event_records.h"
#include "engine.h"
#include "nik_cache.h"

namespace sdcore_sim {

namespace {
// A text field received from another radio, bounded and terminated.
template <std::size_t N>
void copy_received_text(char (&to)[N], const char *from, std::size_t from_size)
{
    const std::size_t length = strnlen(from, from_size < N - 1 ? from_size : N - 1);
    std::memset(to, 0, N);
    std::memcpy(to, from, length);
}

// Identifies queued discoveries of one publication; never 0.
uint64_t discovery_key(const mac_address &peer, uint8_t publish_id)
{
    uint64_t key = 0;
    for (uint8_t byte : peer)
        key = (key << 8) | byte;
    return ((key << 8) | publish_id) | (1ull << 63);
}

bool secret_matches(std::string_view purpose, const uint8_t (&nonce)[8], const uint8_t (&proof)[8],
                    std::span<const uint8_t> secret)
{
    key_digest nonce_digest{};
    std::memcpy(nonce_digest.data(), nonce, sizeof nonce);
    key_digest expected = key_proof(purpose, nonce_digest, secret);
    return std::memcmp(expected.data(), proof, sizeof proof) == 0;
}
} // namespace

void engine::on_publish(const decoded_frame &frame)
{
    const auto body = copy_body<publish_body>(frame);
    char name[sizeof body.service_name];
    copy_received_text(name, body.service_name, sizeof body.service_name);
    for (const auto &service : services_) {
        if (!service.used || service.publisher || std::strcmp(service.service_name, name) != 0)
            continue;
        // While a data path with this publisher exists there is nothing new to
        // report; once it is gone the next announcement is reported again.
        if (has_path_with(frame.src))
            continue;
        dns_discovery_result_record record{};
        record.subscribe_id = service.local_id;
        record.publisher_id = body.publish_id;
        std::memcpy(record.peer_nmi, frame.src.data(), frame.src.size());
        std::memcpy(record.service_id, body.service_id, sizeof record.service_id);
        copy_received_text(record.service_name, body.service_name, sizeof body.service_name);
        copy_received_text(record.service_instance, body.service_instance,
                           sizeof body.service_instance);
        uint16_t text_length = get_u16(body.text_info_len);
        if (text_length > sizeof record.text_info)
            text_length = sizeof record.text_info;
        std::memcpy(record.text_info, body.text_info, text_length);
        record.text_info_len = text_length;
        record.pmk_set = body.sec_type == 1 || body.sec_type == 2 ? 1 : 0;
        record.pairing_enable = body.sec_type == 3 ? 1 : 0;
        record.paired = body.sec_type == 3 && nik_paired(frame.src) ? 1 : 0;
        emit_locked(DNS_DISCOVERY_RESULT, &record, sizeof record,
                    discovery_key(frame.src, body.publish_id));
    }
}

void engine::on_subscribe(const decoded_frame &frame)
{
    const auto body = copy_body<subscribe_body>(frame);
    char name[sizeof body.service_name];
    copy_received_text(name, body.service_name, sizeof body.service_name);
    // Answer an active subscription at once instead of at the next interval.
    announce_locked(frame.src, name);
}

void engine::on_bstrap_req(const decoded_frame &frame)
{
    const auto body = copy_body<bstrap_req_body>(frame);
    const local_service *service = publisher_by_id(body.publish_id);
    if (service == nullptr) {
        trace_.line("note", "bstrap-unknown-service", "publish_id=%u", body.publish_id);
        return;
    }
    const uint8_t agreed =
        service->sec_type == 3 ? agree_bstrap_method(service->bstrap_methods, body.methods) : 0;
    const uint8_t status = agreed != 0 ? 0 : 1;
    pairing_session *session = session_for(frame.src, true);
    session->state = session_state::idle;
    session->local_role = 2;

    bstrap_rsp_body reply{};
    reply.status = status;
    reply.subscribe_id = body.subscribe_id;
    reply.publish_id = body.publish_id;
    put_u16(reply.method, subscriber_method(agreed));
    send_locked(frame_type::bstrap_rsp, frame.src, reply);

    dns_bstrap_result_record record{};
    record.status = status;
    record.peer_id = body.subscribe_id;
    record.own_id = body.publish_id;
    record.role = 2;
    record.bstrap_method = agreed;
    std::memcpy(record.peer_nmi, frame.src.data(), frame.src.size());
    emit_locked(DNS_BSTRAP_RESULT, &record, sizeof record);
}

void engine::on_bstrap_rsp(const decoded_frame &frame)
{
    const auto body = copy_body<bstrap_rsp_body>(frame);
    pairing_session *session = session_for(frame.src, false);
    if (subscriber_by_id(body.subscribe_id) == nullptr || session == nullptr ||
        session->state != session_state::bstrap_requested) {
        return;
    }
    session->state = session_state::idle;
    dns_bstrap_result_record record{};
    record.status = body.status;
    record.peer_id = body.publish_id;
    record.own_id = body.subscribe_id;
    record.role = 1;
    record.bstrap_method = get_u16(body.method);
    std::memcpy(record.peer_nmi, frame.src.data(), frame.src.size());
    emit_locked(DNS_BSTRAP_RESULT, &record, sizeof record);
}

void engine::on_pasn_req(const decoded_frame &frame)
{
    const auto body = copy_body<pasn_req_body>(frame);
    const local_service *service = nullptr;
    for (const auto &candidate : services_) {
        if (candidate.used && candidate.publisher && candidate.sec_type == 3) {
            service = &candidate;
            break;
        }
    }
    uint8_t secret[16] = {};
    std::size_t secret_len = 0;
    bool known = false;
    if (service != nullptr && body.pairing_type == 1) {
        std::memcpy(secret, service->pw, service->pw_len);
        secret_len = service->pw_len;
        known = true;
    } else if (service != nullptr && body.pairing_type == 2) {
        key_digest nik{};
        if (nik_cache_load(config_.medium_dir, config_.mac, frame.src, nik) == 0) {
            std::memcpy(secret, nik.data(), nik.size());
            secret_len = nik.size();
            known = true;
        }
    }
    const bool matched =
        known && secret_matches(body.pairing_type == 1 ? "pasn-setup" : "pasn-verify", body.nonce,
                                body.proof, {secret, secret_len});
    const uint8_t status = matched ? DNS_PASN_STATUS_SUCCESS : kPasnStatusFailed;
    pairing_session *session = session_for(frame.src, true);
    session->local_role = 2;
    session->pairing_type = body.pairing_type;
    session->remote_nik_caching = body.nik_caching;
    session->local_nik_caching = service != nullptr ? service->nik_caching : 0;
    session->state = matched ? session_state::paired : session_state::idle;
    if (matched) {
        session->session_key =
            pair_key("pasn-session", config_.mac, frame.src, {secret, secret_len});
        if (body.pairing_type == 1 && session->local_nik_caching != 0 && body.nik_caching != 0) {
            const key_digest nik = pair_key("nik", config_.mac, frame.src, {secret, secret_len});
            if (int rc = nik_cache_store(config_.medium_dir, config_.mac, frame.src, nik);
                rc != 0) {
                trace_.line("note", "nik-cache-failed", "error=%d", -rc);
            }
        }
    }
    if (service == nullptr)
        return; // nothing published that pairs: stay silent

    const pasn_rsp_body reply{status, body.pairing_type, session->local_nik_caching};
    send_locked(frame_type::pasn_rsp, frame.src, reply);
    dns_pasn_result_record record{};
    record.status = status;
    record.local_role = 2;
    record.pairing_type = body.pairing_type;
    record.remote_nik_caching = body.nik_caching;
    std::memcpy(record.peer_nmi, frame.src.data(), frame.src.size());
    emit_locked(DNS_PASN_RESULT, &record, sizeof record);
}

void engine::on_pasn_rsp(const decoded_frame &frame)
{
    const auto body = copy_body<pasn_rsp_body>(frame);
    pairing_session *session = session_for(frame.src, false);
    if (session == nullptr || session->state != session_state::pasn_requested ||
        session->local_role != 1)
        return;
    session->remote_nik_caching = body.nik_caching;
    const std::span<const uint8_t> secret{session->secret, session->secret_len};
    if (body.status == DNS_PASN_STATUS_SUCCESS) {
        session->state = session_state::paired;
        session->session_key = pair_key("pasn-session", config_.mac, frame.src, secret);
        if (session->pairing_type == 1 && session->local_nik_caching != 0 &&
            body.nik_caching != 0) {
            const key_digest nik = pair_key("nik", config_.mac, frame.src, secret);
            if (int rc = nik_cache_store(config_.medium_dir, config_.mac, frame.src, nik);
                rc != 0) {
                trace_.line("note", "nik-cache-failed", "error=%d", -rc);
            }
        }
    } else {
        session->state = session_state::idle;
    }
    dns_pasn_result_record record{};
    record.status = body.status;
    record.local_role = 1;
    record.pairing_type = session->pairing_type;
    record.remote_nik_caching = body.nik_caching;
    std::memcpy(record.peer_nmi, frame.src.data(), frame.src.size());
    emit_locked(DNS_PASN_RESULT, &record, sizeof record);
}

void engine::on_ndp_req(const decoded_frame &frame)
{
    const auto body = copy_body<ndp_req_body>(frame);
    // A repeated request from the same initiator replaces the stale one.
    if (data_path *stale = path_by_peer(frame.src, false, body.initiator_ndp_id);
        stale != nullptr) {
        *stale = data_path{};
    }
    data_path *path = nullptr;
    for (auto &candidate : paths_) {
        if (!candidate.used) {
            path = &candidate;
            break;
        }
    }
    const uint8_t local_id = free_local_ndp_id();
    if (publisher_by_id(body.publish_id) == nullptr || path == nullptr || local_id == 0) {
        ndp_rsp_body refusal{};
        refusal.status = kNdpStatusRejected;
        refusal.initiator_ndp_id = body.initiator_ndp_id;
        send_locked(frame_type::ndp_rsp, frame.src, refusal);
        return;
    }
    *path = data_path{};
    path->used = true;
    path->initiator = false;
    path->state = ndp_state::indicated;
    path->local_id = local_id;
    path->peer_id = body.initiator_ndp_id;
    path->peer = frame.src;
    path->publish_id = body.publish_id;
    path->sec_type = body.sec_type;
    std::memcpy(path->nonce.data(), body.nonce, sizeof body.nonce);
    std::memcpy(path->proof.data(), body.proof, sizeof body.proof);
    copy_received_text(path->peer_host, body.host_name, sizeof body.host_name);
    path->peer_port = get_u16(body.port_number);

    dns_data_indication_record record{};
    record.type = 0;
    record.publish_id = body.publish_id;
    record.ndp_id = local_id;
    std::memcpy(record.initiator_ndi, frame.src.data(), frame.src.size());
    std::memcpy(record.responder_ndi, config_.mac.data(), config_.mac.size());
    record.security = body.sec_type != 0 ? 1 : 0;
    const auto peer_id = interface_id(frame.src);
    std::memcpy(record.ipv6, peer_id.data(), peer_id.size());
    emit_locked(DNS_DATA_INDICATION, &record, sizeof record);
}

void engine::on_ndp_rsp(const decoded_frame &frame)
{
    const auto body = copy_body<ndp_rsp_body>(frame);
    data_path *path = path_by_peer(frame.src, true, body.initiator_ndp_id);
    if (path == nullptr || path->state != ndp_state::requested)
        return;
    path->peer_id = body.responder_ndp_id;
    copy_received_text(path->peer_host, body.host_name, sizeof body.host_name);
    path->peer_port = get_u16(body.port_number);
    const ndp_confirm_body confirm{body.status, path->local_id, path->peer_id};
    send_locked(frame_type::ndp_confirm, frame.src, confirm);
    post_confirm_locked(*path, body.status);
    if (body.status == 0) {
        path->state = ndp_state::confirmed;
    } else {
        *path = data_path{};
    }
}

void engine::on_ndp_confirm(const decoded_frame &frame)
{
    const auto body = copy_body<ndp_confirm_body>(frame);
    data_path *path = path_by_peer(frame.src, false, body.initiator_ndp_id);
    if (path == nullptr || path->local_id != body.responder_ndp_id ||
        path->state != ndp_state::responded)
        return;
    post_confirm_locked(*path, body.status);
    if (body.status == 0) {
        path->state = ndp_state::confirmed;
    } else {
        *path = data_path{};
    }
}

void engine::on_ndp_end(const decoded_frame &frame)
{
    const auto body = copy_body<ndp_end_body>(frame);
    data_path *path = path_by_peer(frame.src, true, body.initiator_ndp_id);
    if (path == nullptr) {
        path = path_by_peer(frame.src, false, body.initiator_ndp_id);
        if (path != nullptr && path->local_id != body.responder_ndp_id)
            path = nullptr;
    }
    if (path == nullptr)
        return;
    if (path->state != ndp_state::confirmed) {
        // The peer gave up before the path was up: to this side that is a
        // set-up that failed, not the end of a path it never had.
        post_confirm_locked(*path, kNdpStatusRejected);
        *path = data_path{};
        return;
    }
    dns_data_end_record record{};
    record.type = 0;
    record.reason = body.reason;
    record.ndp_id = path->local_id;
    *path = data_path{};
    emit_locked(DNS_DATA_END, &record, sizeof record);
}

void engine::post_confirm_locked(const data_path &path, uint8_t status)
{
    dns_data_confirm_record record{};
    record.type = 0;
    record.status = status;
    record.ndp_id = path.local_id;
    record.nmsg_id = ++next_nmsg_id_;
    const mac_address &initiator = path.initiator ? config_.mac : path.peer;
    const mac_address &responder = path.initiator ? path.peer : config_.mac;
    std::memcpy(record.initiator_ndi, initiator.data(), initiator.size());
    std::memcpy(record.responder_ndi, responder.data(), responder.size());
    copy_received_text(record.host_name, path.peer_host, sizeof path.peer_host);
    record.port_number = path.peer_port;
    const auto peer_id = interface_id(path.peer);
    std::memcpy(record.peer_ipv6, peer_id.data(), peer_id.size());
    emit_locked(DNS_DATA_CONFIRM, &record, sizeof record);
    if (status != 0)
        return;
    dns_data_established_record established{};
    established.ndp_id = path.local_id;
    emit_locked(DNS_DATA_ESTABLISHED, &established, sizeof established);
}

} // namespace sdcore_sim
