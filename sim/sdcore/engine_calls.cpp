// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// One simulated NAN radio: the dns_* calls. Each reads the application's
// records only here, on the caller's thread, and never calls back.
#include <cerrno>
#include <cstring>
#include <unistd.h>

#include "engine.h"
#include "nik_cache.h"

namespace sdcore_sim {

namespace {
nan_data_mgnt *slot_from(void *pointer, std::size_t offset_in_slot)
{
    return reinterpret_cast<nan_data_mgnt *>(static_cast<uint8_t *>(pointer) - offset_in_slot);
}

// A fixed-size text field of the application, bounded and terminated.
template <std::size_t N>
void copy_text(char (&to)[N], const char *from, std::size_t from_size)
{
    const std::size_t length = strnlen(from, from_size < N - 1 ? from_size : N - 1);
    std::memset(to, 0, N);
    std::memcpy(to, from, length);
}
} // namespace

void engine::wake_radio()
{
    const uint64_t one = 1;
    [[maybe_unused]] ssize_t written = ::write(wake_.get(), &one, sizeof one);
}

int engine::add_service(bool publisher, uint16_t radio, const void *tool_paths, void *service,
                        int flag)
{
    const char *call = publisher ? "dns_publish" : "dns_subscribe";
    const int64_t entered = monotonic_us();
    if (service == nullptr)
        return -EINVAL;
    nan_data_mgnt *slot = slot_from(service, kServiceOffsetInSlot);
    pthread_mutex_lock(&mutex_);
    if (!running_) {
        pthread_mutex_unlock(&mutex_);
        return -ENOTCONN;
    }
    if (call_rejected_locked(call)) {
        pthread_mutex_unlock(&mutex_);
        return -EPERM;
    }
    local_service *entry = nullptr;
    for (auto &candidate : services_) {
        if (candidate.used && candidate.slot == slot) {
            pthread_mutex_unlock(&mutex_);
            return -EEXIST;
        }
        if (!candidate.used && entry == nullptr)
            entry = &candidate;
    }
    if (entry == nullptr) {
        pthread_mutex_unlock(&mutex_);
        return -ENOSPC;
    }
    *entry = local_service{};
    entry->used = true;
    entry->publisher = publisher;
    entry->slot = slot;
    entry->local_id = publisher ? slot->publish_id : slot->subscribe_id;
    entry->sec_type = slot->sec_type;
    copy_text(entry->service_name, slot->service_name, sizeof slot->service_name);
    copy_text(entry->service_instance, slot->service_instance, sizeof slot->service_instance);
    const uint16_t text_length = slot->text_info_len;
    const uint8_t *text = slot->text_info;
    if (text_length != 0 && text != nullptr) {
        entry->text_info_len =
            text_length < sizeof entry->text_info ? text_length : sizeof entry->text_info;
        std::memcpy(entry->text_info, text, entry->text_info_len);
    }
    const uint8_t pw_length = slot->pairing_info.pw_len;
    entry->pw_len = pw_length < sizeof entry->pw ? pw_length : sizeof entry->pw;
    std::memcpy(entry->pw, slot->pairing_info.pw, entry->pw_len);
    entry->nik_caching = slot->pairing_info.nik_caching;
    entry->bstrap_methods = slot->pairing_info.bstrap_method;
    // The application reads its own address from here.
    std::memcpy(slot->self_mac, config_.mac.data(), config_.mac.size());
    radio_ = radio;

    if (publisher) {
        next_announce_us_ = 0;
        wake_radio();
    } else {
        subscribe_body body{};
        body.subscribe_id = entry->local_id;
        std::memcpy(body.service_name, entry->service_name, sizeof body.service_name);
        send_locked(frame_type::subscribe, kBroadcastMac, body);
    }
    const char *iw_path = tool_paths != nullptr ? static_cast<const char *>(tool_paths) : "";
    trace_.line_at(entered, "call", call,
                   "radio=%u id=%u service=%s sec=%u text=%u flag=%d iw=%.255s result=0", radio,
                   entry->local_id, entry->service_name, entry->sec_type, entry->text_info_len,
                   flag, iw_path);
    pthread_mutex_unlock(&mutex_);
    return 0;
}

int engine::publish(uint16_t radio, const void *tool_paths, void *service, int flag)
{
    return add_service(true, radio, tool_paths, service, flag);
}

int engine::subscribe(uint16_t radio, const void *tool_paths, void *service, int flag)
{
    return add_service(false, radio, tool_paths, service, flag);
}

int engine::bstrap_start(void *service)
{
    const int64_t entered = monotonic_us();
    if (service == nullptr)
        return -EINVAL;
    nan_data_mgnt *slot = slot_from(service, kServiceOffsetInSlot);
    pthread_mutex_lock(&mutex_);
    int rc = 0;
    local_service *own = service_by_slot(slot);
    mac_address peer{};
    std::memcpy(peer.data(), slot->peer_nmi, peer.size());
    if (!running_) {
        rc = -ENOTCONN;
    } else if (call_rejected_locked("dns_bstrap_start")) {
        pthread_mutex_unlock(&mutex_);
        return -EPERM;
    } else if (own == nullptr) {
        rc = -ENOENT;
    } else if (is_zero_mac(peer.data())) {
        rc = -EDESTADDRREQ;
    } else {
        pairing_session *session = session_for(peer, true);
        session->state = session_state::bstrap_requested;
        session->local_role = 1;
        const bstrap_req_body body{own->local_id, slot->publish_id,
                                   slot->pairing_info.bstrap_method};
        send_locked(frame_type::bstrap_req, peer, body);
    }
    char peer_text[18];
    format_mac(peer, peer_text, sizeof peer_text);
    trace_.line_at(entered, "call", "dns_bstrap_start", "peer=%s methods=0x%02x result=%d",
                   peer_text, slot->pairing_info.bstrap_method, rc);
    pthread_mutex_unlock(&mutex_);
    return rc;
}

int engine::pairing_start(void *pairing_info)
{
    const int64_t entered = monotonic_us();
    if (pairing_info == nullptr)
        return -EINVAL;
    nan_data_mgnt *slot = slot_from(pairing_info, offsetof(nan_data_mgnt, pairing_info));
    pthread_mutex_lock(&mutex_);
    int rc = 0;
    mac_address peer{};
    std::memcpy(peer.data(), slot->pairing_info.peer_nmi, peer.size());
    const uint8_t pairing_type = slot->pairing_info.pairing_type;
    if (!running_) {
        rc = -ENOTCONN;
    } else if (call_rejected_locked("dns_pairing_start")) {
        pthread_mutex_unlock(&mutex_);
        return -EPERM;
    } else if (service_by_slot(slot) == nullptr) {
        rc = -ENOENT;
    } else if (is_zero_mac(peer.data())) {
        rc = -EDESTADDRREQ;
    } else if (pairing_type != 1 && pairing_type != 2) {
        rc = -EINVAL;
    } else {
        pairing_session *session = session_for(peer, true);
        session->state = session_state::pasn_requested;
        session->local_role = 1;
        session->pairing_type = pairing_type;
        session->local_nik_caching = slot->pairing_info.nik_caching;
        session->secret_len = 0;
        if (pairing_type == 1) {
            const uint8_t length = slot->pairing_info.pw_len;
            session->secret_len = length < sizeof session->secret ? length : sizeof session->secret;
            std::memcpy(session->secret, slot->pairing_info.pw, session->secret_len);
        } else {
            // Verification proves the NIK that pairing setup left in the cache.
            // Without one the request still goes out and fails at the responder,
            // as it would on the air.
            key_digest nik{};
            if (nik_cache_load(config_.medium_dir, config_.mac, peer, nik) == 0) {
                std::memcpy(session->secret, nik.data(), nik.size());
                session->secret_len = static_cast<uint8_t>(nik.size());
            }
        }
        pasn_req_body body{};
        body.pairing_type = pairing_type;
        body.nik_caching = session->local_nik_caching;
        const key_digest nonce = random_nonce();
        const key_digest proof = key_proof(pairing_type == 1 ? "pasn-setup" : "pasn-verify", nonce,
                                           {session->secret, session->secret_len});
        std::memcpy(body.nonce, nonce.data(), nonce.size());
        std::memcpy(body.proof, proof.data(), proof.size());
        send_locked(frame_type::pasn_req, peer, body);
    }
    char peer_text[18];
    format_mac(peer, peer_text, sizeof peer_text);
    trace_.line_at(entered, "call", "dns_pairing_start", "peer=%s type=%u nik_caching=%u result=%d",
                   peer_text, pairing_type, slot->pairing_info.nik_caching, rc);
    pthread_mutex_unlock(&mutex_);
    return rc;
}

int engine::data_path_key(const nan_data_mgnt &slot, const mac_address &peer, uint8_t sec_type,
                          uint8_t *key, std::size_t &key_len)
{
    key_len = 0;
    switch (sec_type) {
    case 0:
        return 0;
    // The configured keys of the slot, not the copies in data_path: the
    // application clears data_path's passphrase whenever a data path ends
    // or fails, and a retry would then run with an empty key on both sides.
    case 1:
        std::memcpy(key, slot.pmk, sizeof slot.pmk);
        key_len = sizeof slot.pmk;
        return 0;
    case 2: {
        const uint16_t length = slot.passphrase_len;
        key_len = length < sizeof slot.passphrase ? length : sizeof slot.passphrase;
        std::memcpy(key, slot.passphrase, key_len);
        return 0;
    }
    case 3: {
        const pairing_session *session = session_for(peer, false);
        if (session == nullptr || session->state != session_state::paired)
            return -ENOKEY;
        std::memcpy(key, session->session_key.data(), session->session_key.size());
        key_len = session->session_key.size();
        return 0;
    }
    default:
        return -EINVAL;
    }
}

int engine::datapath_req(void *data_path_record)
{
    const int64_t entered = monotonic_us();
    if (data_path_record == nullptr)
        return -EINVAL;
    nan_data_mgnt *slot = slot_from(data_path_record, offsetof(nan_data_mgnt, data_path));
    pthread_mutex_lock(&mutex_);
    int rc = 0;
    const uint8_t ndp_id = slot->data_path.ndp_id;
    const uint8_t sec_type = slot->data_path.sec_type;
    mac_address peer{};
    std::memcpy(peer.data(), slot->data_path.peer_nmi, peer.size());
    if (is_zero_mac(peer.data()))
        std::memcpy(peer.data(), slot->peer_nmi, peer.size());
    data_path *path = nullptr;
    if (!running_) {
        rc = -ENOTCONN;
    } else if (call_rejected_locked("dns_datapath_req")) {
        pthread_mutex_unlock(&mutex_);
        return -EPERM;
    } else if (service_by_slot(slot) == nullptr) {
        rc = -ENOENT;
    } else if (ndp_id == 0 || sec_type > 3) {
        rc = -EINVAL;
    } else if (path_by_local_id(ndp_id) != nullptr) {
        rc = -EBUSY;
    } else if (is_zero_mac(peer.data())) {
        rc = -EDESTADDRREQ;
    } else {
        for (auto &candidate : paths_) {
            if (!candidate.used) {
                path = &candidate;
                break;
            }
        }
        if (path == nullptr)
            rc = -ENOSPC;
    }
    if (rc == 0 && path != nullptr) {
        *path = data_path{};
        path->used = true;
        path->initiator = true;
        path->state = ndp_state::requested;
        path->local_id = ndp_id;
        path->peer = peer;
        path->publish_id = slot->publish_id;
        path->sec_type = sec_type;
        uint8_t key[32];
        std::size_t key_len = 0;
        key_digest proof{};
        const key_digest nonce = random_nonce();
        if (data_path_key(*slot, peer, sec_type, key, key_len) == 0) {
            proof = key_proof("ndp", nonce, {key, key_len});
        } else {
            // No key to prove (no pairing with this peer): a proof that cannot
            // match lets the responder refuse, as a real exchange would fail.
            proof = random_nonce();
        }
        ndp_req_body body{};
        body.initiator_ndp_id = ndp_id;
        body.publish_id = slot->publish_id;
        body.sec_type = sec_type;
        std::memcpy(body.nonce, nonce.data(), nonce.size());
        std::memcpy(body.proof, proof.data(), proof.size());
        copy_text(body.host_name, slot->data_path.hostname, sizeof slot->data_path.hostname);
        put_u16(body.port_number, slot->data_path.port_number);
        send_locked(frame_type::ndp_req, peer, body);
    }
    char peer_text[18];
    format_mac(peer, peer_text, sizeof peer_text);
    trace_.line_at(entered, "call", "dns_datapath_req",
                   "ndp_id=%u peer=%s publish_id=%u sec=%u result=%d", ndp_id, peer_text,
                   slot->publish_id, sec_type, rc);
    pthread_mutex_unlock(&mutex_);
    return rc;
}

int engine::datapath_rsp(void *data_path_record)
{
    const int64_t entered = monotonic_us();
    if (data_path_record == nullptr)
        return -EINVAL;
    nan_data_mgnt *slot = slot_from(data_path_record, offsetof(nan_data_mgnt, data_path));
    pthread_mutex_lock(&mutex_);
    int rc = 0;
    uint8_t status = 0;
    const uint8_t ndp_id = slot->data_path.ndp_id;
    const uint8_t sec_type = slot->data_path.sec_type;
    data_path *path = path_by_local_id(ndp_id);
    if (!running_) {
        rc = -ENOTCONN;
    } else if (call_rejected_locked("dns_datapath_rsp")) {
        pthread_mutex_unlock(&mutex_);
        return -EPERM;
    } else if (service_by_slot(slot) == nullptr || path == nullptr || path->initiator ||
               path->state != ndp_state::indicated) {
        rc = -ENOENT;
    } else {
        if (sec_type != path->sec_type) {
            status = kNdpStatusRejected;
        } else if (sec_type != 0) {
            uint8_t key[32];
            std::size_t key_len = 0;
            if (data_path_key(*slot, path->peer, sec_type, key, key_len) != 0 ||
                key_proof("ndp", path->nonce, {key, key_len}) != path->proof) {
                status = kNdpStatusRejected;
            }
        }
        ndp_rsp_body body{};
        body.status = status;
        body.initiator_ndp_id = path->peer_id;
        body.responder_ndp_id = path->local_id;
        copy_text(body.host_name, slot->data_path.hostname, sizeof slot->data_path.hostname);
        put_u16(body.port_number, slot->data_path.port_number);
        send_locked(frame_type::ndp_rsp, path->peer, body);
        path->state = ndp_state::responded;
    }
    trace_.line_at(entered, "call", "dns_datapath_rsp", "ndp_id=%u sec=%u status=%u result=%d",
                   ndp_id, sec_type, status, rc);
    pthread_mutex_unlock(&mutex_);
    return rc;
}

int engine::datapath_end(uint8_t ndp_id)
{
    const int64_t entered = monotonic_us();
    pthread_mutex_lock(&mutex_);
    int rc = 0;
    data_path *path = path_by_local_id(ndp_id);
    if (!running_) {
        rc = -ENOTCONN;
    } else if (call_rejected_locked("dns_datapath_end")) {
        pthread_mutex_unlock(&mutex_);
        return -EPERM;
    } else if (path == nullptr) {
        rc = -ENOENT;
    } else {
        const ndp_end_body body{path->initiator ? path->local_id : path->peer_id,
                                path->initiator ? path->peer_id : path->local_id, 0};
        send_locked(frame_type::ndp_end, path->peer, body);
        *path = data_path{};
    }
    trace_.line_at(entered, "call", "dns_datapath_end", "ndp_id=%u result=%d", ndp_id, rc);
    pthread_mutex_unlock(&mutex_);
    return rc;
}

} // namespace sdcore_sim
