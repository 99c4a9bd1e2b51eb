// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// One simulated NAN radio: lifecycle, the radio thread and shared helpers.
#include "engine.h"

#include <cerrno>
#include <cstring>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include "event_names.h"
#include "nik_cache.h"

namespace sdcore_sim {

const char *engine::to_string(session_state state)
{
    switch (state) {
    case session_state::idle:
        return "idle";
    case session_state::bstrap_requested:
        return "bstrap_requested";
    case session_state::pasn_requested:
        return "pasn_requested";
    case session_state::paired:
        return "paired";
    }
    return "unknown";
}

const char *engine::to_string(ndp_state state)
{
    switch (state) {
    case ndp_state::requested:
        return "requested";
    case ndp_state::indicated:
        return "indicated";
    case ndp_state::responded:
        return "responded";
    case ndp_state::confirmed:
        return "confirmed";
    }
    return "unknown";
}

engine::engine()
{
    pthread_mutex_init(&mutex_, nullptr);
}

engine::~engine()
{
    stop_service(radio_);
    // The mutex stays: a radio thread is always joined, but the event pump's
    // thread may outlive a stop while it is inside the callback.
}

bool engine::running() const
{
    pthread_mutex_lock(&mutex_);
    const bool result = running_;
    pthread_mutex_unlock(&mutex_);
    return result;
}

int engine::start(const engine_config &config)
{
    pthread_mutex_lock(&mutex_);
    if (running_) {
        pthread_mutex_unlock(&mutex_);
        return -EALREADY;
    }
    if (pump_.busy()) {
        // The event thread of the last run is still inside the callback and
        // still traces; nothing may be replaced under it.
        pthread_mutex_unlock(&mutex_);
        return -EBUSY;
    }
    config_ = config;
    config_.medium_dir[sizeof config_.medium_dir - 1] = '\0';
    config_.trace_path[sizeof config_.trace_path - 1] = '\0';
    config_.faults[sizeof config_.faults - 1] = '\0';
    if (config_.announce_ms == 0)
        config_.announce_ms = 1000;
    char error[128] = {};
    int rc = faults_.parse(config_.faults, error, sizeof error);
    if (rc != 0) {
        sim_log("%s", error);
        pthread_mutex_unlock(&mutex_);
        return rc;
    }
    rc = trace_.open(config_.trace_path);
    if (rc != 0) {
        sim_log("cannot open the trace %s: %s", config_.trace_path, std::strerror(-rc));
        pthread_mutex_unlock(&mutex_);
        return rc;
    }
    rc = medium_.open(config_.medium_dir, config_.mac);
    if (rc != 0) {
        sim_log("cannot join the medium in %s: %s", config_.medium_dir, std::strerror(-rc));
        pthread_mutex_unlock(&mutex_);
        return rc;
    }
    wake_.reset(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
    if (!wake_.valid()) {
        rc = -errno;
        medium_.close();
        pthread_mutex_unlock(&mutex_);
        return rc;
    }
    rc = pump_.start(&trace_);
    if (rc != 0) {
        medium_.close();
        pthread_mutex_unlock(&mutex_);
        return rc;
    }
    vanished_ = false;
    for (auto &service : services_)
        service = local_service{};
    for (auto &session : sessions_)
        session = pairing_session{};
    for (auto &path : paths_)
        path = data_path{};
    next_announce_us_ = 0;
    running_ = true;
    rc = -pthread_create(&radio_thread_, nullptr, &engine::radio_main, this);
    if (rc != 0) {
        running_ = false;
        pthread_mutex_unlock(&mutex_);
        pump_.stop(0);
        pthread_mutex_lock(&mutex_);
        medium_.close();
        pthread_mutex_unlock(&mutex_);
        return rc;
    }
    radio_joinable_ = true;
    char mac_text[18];
    format_mac(config_.mac, mac_text, sizeof mac_text);
    trace_.line("note", "start", "mac=%s medium=%s socket=%s faults=%zu", mac_text,
                config_.medium_dir, medium_.path(), faults_.size());
    pthread_mutex_unlock(&mutex_);
    return 0;
}

int engine::register_callback(dns_evt_cb callback)
{
    pump_.set_callback(callback);
    trace_.line("call", "dns_register_evt_cb", "callback=%s result=0",
                callback != nullptr ? "set" : "none");
    return 0;
}

int engine::stop_service(uint16_t radio)
{
    const int64_t entered = monotonic_us();
    pthread_mutex_lock(&mutex_);
    if (!running_) {
        pthread_mutex_unlock(&mutex_);
        return -ENOTCONN;
    }
    if (call_rejected_locked("dns_stop_service")) {
        pthread_mutex_unlock(&mutex_);
        return -EPERM;
    }
    // Data paths the application left up end with the service; the peer
    // hears of it, the application does not (it asked for the stop).
    for (auto &path : paths_) {
        if (!path.used)
            continue;
        const ndp_end_body end{path.initiator ? path.local_id : path.peer_id,
                               path.initiator ? path.peer_id : path.local_id, 0};
        send_locked(frame_type::ndp_end, path.peer, end);
        path = data_path{};
    }
    running_ = false;
    pthread_mutex_unlock(&mutex_);

    const uint64_t one = 1;
    [[maybe_unused]] ssize_t woken = ::write(wake_.get(), &one, sizeof one);
    if (radio_joinable_) {
        pthread_join(radio_thread_, nullptr);
        radio_joinable_ = false;
    }
    const int pump_rc = pump_.stop(config_.stop_wait_ms);

    pthread_mutex_lock(&mutex_);
    medium_.close();
    wake_.reset();
    for (auto &service : services_)
        service = local_service{};
    for (auto &session : sessions_)
        session = pairing_session{};
    trace_.line_at(entered, "call", "dns_stop_service", "radio=%u expected=%u events=%s result=0",
                   radio, radio_, pump_rc == 0 ? "stopped" : "left-in-callback");
    pthread_mutex_unlock(&mutex_);
    return 0;
}

void *engine::radio_main(void *self)
{
    static_cast<engine *>(self)->radio_loop();
    return nullptr;
}

void engine::radio_loop()
{
    for (;;) {
        pthread_mutex_lock(&mutex_);
        if (!running_) {
            pthread_mutex_unlock(&mutex_);
            return;
        }
        const int64_t now = monotonic_us();
        bool announcing = false;
        for (const auto &service : services_)
            announcing = announcing || (service.used && service.publisher);
        if (announcing && !vanished_ && now >= next_announce_us_) {
            announce_locked(kBroadcastMac, nullptr);
            next_announce_us_ = now + static_cast<int64_t>(config_.announce_ms) * 1000;
        }
        int timeout_ms = -1;
        if (announcing && !vanished_) {
            const int64_t wait_us = next_announce_us_ - monotonic_us();
            timeout_ms = wait_us > 0 ? static_cast<int>((wait_us + 999) / 1000) : 0;
        }
        const int socket_fd = medium_.fd();
        pthread_mutex_unlock(&mutex_);

        pollfd watched[2] = {{wake_.get(), POLLIN, 0}, {socket_fd, POLLIN, 0}};
        // Without a publication there is nothing to time; a publish call wakes
        // the thread through wake_ so the first announcement goes out at once.
        const int ready = ::poll(watched, 2, timeout_ms);
        if (ready < 0 && errno != EINTR)
            return;
        if ((watched[0].revents & POLLIN) != 0) {
            uint64_t count = 0;
            [[maybe_unused]] ssize_t got = ::read(wake_.get(), &count, sizeof count);
        }
        if ((watched[1].revents & POLLIN) != 0) {
            for (;;) {
                const ssize_t got = medium_.receive(rx_buffer_);
                if (got < 0)
                    break;
                pthread_mutex_lock(&mutex_);
                if (running_ && !vanished_)
                    handle_frame({rx_buffer_, static_cast<std::size_t>(got)});
                pthread_mutex_unlock(&mutex_);
            }
        }
    }
}

void engine::handle_frame(std::span<const uint8_t> bytes)
{
    decoded_frame frame{};
    if (decode_frame(bytes, frame) != 0) {
        trace_.line("rx", "malformed", "len=%zu", bytes.size());
        return;
    }
    if (frame.src == config_.mac)
        return; // our own address: nothing for us
    if (frame.dst != config_.mac && frame.dst != kBroadcastMac)
        return;
    if (frame.type != frame_type::publish && frame.type != frame_type::subscribe) {
        char src[18];
        format_mac(frame.src, src, sizeof src);
        trace_.line("rx", sdcore_sim::to_string(frame.type), "src=%s", src);
    }
    switch (frame.type) {
    case frame_type::publish:
        on_publish(frame);
        break;
    case frame_type::subscribe:
        on_subscribe(frame);
        break;
    case frame_type::bstrap_req:
        on_bstrap_req(frame);
        break;
    case frame_type::bstrap_rsp:
        on_bstrap_rsp(frame);
        break;
    case frame_type::pasn_req:
        on_pasn_req(frame);
        break;
    case frame_type::pasn_rsp:
        on_pasn_rsp(frame);
        break;
    case frame_type::ndp_req:
        on_ndp_req(frame);
        break;
    case frame_type::ndp_rsp:
        on_ndp_rsp(frame);
        break;
    case frame_type::ndp_confirm:
        on_ndp_confirm(frame);
        break;
    case frame_type::ndp_end:
        on_ndp_end(frame);
        break;
    }
}

template <typename Body>
void engine::send_locked(frame_type type, const mac_address &dst, const Body &body)
{
    if (vanished_ || !medium_.is_open())
        return;
    const std::size_t length = encode_frame(type, config_.mac, dst, body, tx_buffer_);
    if (length == 0)
        return;
    const int reached = medium_.broadcast({tx_buffer_, length});
    if (type != frame_type::publish && type != frame_type::subscribe) {
        char dst_text[18];
        format_mac(dst, dst_text, sizeof dst_text);
        trace_.line("tx", sdcore_sim::to_string(type), "dst=%s reached=%d", dst_text, reached);
    }
}

// Every frame type is sent from the handlers in engine_frames.cpp and
// engine_calls.cpp; instantiate them once here.
template void engine::send_locked(frame_type, const mac_address &, const publish_body &);
template void engine::send_locked(frame_type, const mac_address &, const subscribe_body &);
template void engine::send_locked(frame_type, const mac_address &, const bstrap_req_body &);
template void engine::send_locked(frame_type, const mac_address &, const bstrap_rsp_body &);
template void engine::send_locked(frame_type, const mac_address &, const pasn_req_body &);
template void engine::send_locked(frame_type, const mac_address &, const pasn_rsp_body &);
template void engine::send_locked(frame_type, const mac_address &, const ndp_req_body &);
template void engine::send_locked(frame_type, const mac_address &, const ndp_rsp_body &);
template void engine::send_locked(frame_type, const mac_address &, const ndp_confirm_body &);
template void engine::send_locked(frame_type, const mac_address &, const ndp_end_body &);

void engine::announce_locked(const mac_address &dst, const char *only_name)
{
    for (const auto &service : services_) {
        if (!service.used || !service.publisher)
            continue;
        if (only_name != nullptr && std::strcmp(only_name, service.service_name) != 0)
            continue;
        publish_body body{};
        body.publish_id = service.local_id;
        body.sec_type = service.sec_type;
        const std::span<const uint8_t> name[] = {
            {reinterpret_cast<const uint8_t *>(service.service_name),
             std::strlen(service.service_name)}};
        const key_digest service_id = digest("service-id", name);
        std::memcpy(body.service_id, service_id.data(), sizeof body.service_id);
        std::memcpy(body.service_name, service.service_name, sizeof body.service_name);
        std::memcpy(body.service_instance, service.service_instance, sizeof body.service_instance);
        put_u16(body.text_info_len, service.text_info_len);
        std::memcpy(body.text_info, service.text_info, service.text_info_len);
        send_locked(frame_type::publish, dst, body);
    }
}

void engine::emit_locked(uint32_t event_id, const void *record, std::size_t length,
                         uint64_t replace_key)
{
    const char *name = event_name(event_id);
    const fault_verdict verdict = faults_.on_event(name);
    if (verdict.drop) {
        trace_.line("fault", "drop", "event=%s", name);
    } else {
        if (verdict.delay_ms != 0)
            trace_.line("fault", "delay", "event=%s ms=%u", name, verdict.delay_ms);
        const int rc = pump_.post(event_id, record, length, verdict.delay_ms, replace_key);
        if (rc != 0)
            trace_.line("note", "event-lost", "event=%s error=%d", name, -rc);
    }
    if (verdict.vanish)
        vanish_locked(name);
}

bool engine::call_rejected_locked(const char *call)
{
    const fault_verdict verdict = faults_.on_call(call);
    if (verdict.vanish)
        vanish_locked(call);
    if (!verdict.reject)
        return false;
    trace_.line("fault", "reject", "call=%s", call);
    trace_.line("call", call, "result=-1");
    return true;
}

void engine::vanish_locked(const char *after)
{
    if (vanished_)
        return;
    vanished_ = true;
    trace_.line("fault", "vanish", "after=%s", after);
}

engine::local_service *engine::service_by_slot(const void *slot)
{
    for (auto &service : services_) {
        if (service.used && static_cast<const void *>(service.slot) == slot)
            return &service;
    }
    return nullptr;
}

engine::local_service *engine::publisher_by_id(uint8_t publish_id)
{
    for (auto &service : services_) {
        if (service.used && service.publisher && service.local_id == publish_id)
            return &service;
    }
    return nullptr;
}

engine::local_service *engine::subscriber_by_id(uint8_t subscribe_id)
{
    for (auto &service : services_) {
        if (service.used && !service.publisher && service.local_id == subscribe_id)
            return &service;
    }
    return nullptr;
}

engine::pairing_session *engine::session_for(const mac_address &peer, bool create)
{
    pairing_session *unused = nullptr;
    for (auto &session : sessions_) {
        if (session.used && session.peer == peer)
            return &session;
        if (!session.used && unused == nullptr)
            unused = &session;
    }
    if (!create)
        return nullptr;
    if (unused == nullptr) {
        // Forget the oldest peer rather than refuse a new one.
        unused = &sessions_[0];
    }
    *unused = pairing_session{};
    unused->used = true;
    unused->peer = peer;
    return unused;
}

engine::data_path *engine::path_by_local_id(uint8_t local_id)
{
    if (local_id == 0)
        return nullptr;
    for (auto &path : paths_) {
        if (path.used && path.local_id == local_id)
            return &path;
    }
    return nullptr;
}

engine::data_path *engine::path_by_peer(const mac_address &peer, bool initiator,
                                        uint8_t initiator_ndp_id)
{
    for (auto &path : paths_) {
        if (!path.used || path.peer != peer || path.initiator != initiator)
            continue;
        const uint8_t id = initiator ? path.local_id : path.peer_id;
        if (id == initiator_ndp_id)
            return &path;
    }
    return nullptr;
}

uint8_t engine::free_local_ndp_id() const
{
    for (unsigned id = 1; id <= 255; ++id) {
        bool taken = false;
        for (const auto &path : paths_)
            taken = taken || (path.used && path.local_id == id);
        if (!taken)
            return static_cast<uint8_t>(id);
    }
    return 0;
}

bool engine::has_path_with(const mac_address &peer) const
{
    for (const auto &path : paths_) {
        if (path.used && path.peer == peer)
            return true;
    }
    return false;
}

bool engine::nik_paired(const mac_address &peer) const
{
    key_digest own{};
    key_digest theirs{};
    return nik_cache_load(config_.medium_dir, config_.mac, peer, own) == 0 &&
           nik_cache_load(config_.medium_dir, peer, config_.mac, theirs) == 0 && own == theirs;
}

} // namespace sdcore_sim
