// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// One simulated NAN radio: the state behind the dns_* calls, the radio thread
// that announces services and answers frames, and the event thread that
// reports to the application.
//
// The library keeps one engine; tests may run several in one process, each
// with its own callback. Every public call returns 0 or -errno and never
// calls the callback itself: events go through the event pump.
#pragma once

#include <cstddef>
#include <cstdint>
#include <pthread.h>

#include "../../nanpeer/service_slot.h"
#include "event_pump.h"
#include "fault_plan.h"
#include "mac_address.h"
#include "medium.h"
#include "security_keys.h"
#include "trace_log.h"
#include "unique_fd.h"
#include "wire_frames.h"

namespace sdcore_sim {

struct engine_config {
    char medium_dir[256] = {};
    mac_address mac{};
    char trace_path[256] = {};
    char faults[512] = {};
    uint32_t announce_ms = 1000;  // a publisher's announcement interval
    uint32_t stop_wait_ms = 2000; // how long stopping waits for a busy callback
};

// Status of a data path response or confirm whose security does not match.
inline constexpr uint8_t kNdpStatusRejected = 1;
// Status of a PASN exchange that failed; 4 is success.
inline constexpr uint8_t kPasnStatusFailed = 1;

class engine {
public:
    engine();
    ~engine();
    engine(const engine &) = delete;
    engine &operator=(const engine &) = delete;

    // Opens the medium and the trace and starts both threads.
    int start(const engine_config &config);
    [[nodiscard]] bool running() const;
    [[nodiscard]] const mac_address &mac() const { return config_.mac; }

    int register_callback(dns_evt_cb callback);
    int publish(uint16_t radio, const void *tool_paths, void *service, int flag);
    int subscribe(uint16_t radio, const void *tool_paths, void *service, int flag);
    int bstrap_start(void *service);
    int pairing_start(void *pairing_info);
    int datapath_req(void *data_path);
    int datapath_rsp(void *data_path);
    int datapath_end(uint8_t ndp_id);
    int stop_service(uint16_t radio);

private:
    static constexpr std::size_t kMaxServices = 2;
    static constexpr std::size_t kMaxSessions = 4;
    static constexpr std::size_t kMaxDataPaths = 8;

    // What the library took from a service slot when it was published or
    // subscribed. The radio thread works from this copy; the application's
    // slot is only touched inside the calls that hand it over.
    struct local_service {
        bool used;
        bool publisher;
        nan_data_mgnt *slot;
        uint8_t local_id;
        uint8_t sec_type;
        char service_name[256];
        char service_instance[64];
        uint8_t text_info[256];
        uint16_t text_info_len;
        uint8_t pw[16];
        uint8_t pw_len;
        uint8_t nik_caching;
        uint8_t bstrap_methods;
    };

    enum class session_state : uint8_t {
        idle = 0,
        bstrap_requested = 1,
        pasn_requested = 2,
        paired = 3
    };
    static const char *to_string(session_state state);

    // Bootstrapping and PASN with one peer.
    struct pairing_session {
        bool used;
        mac_address peer;
        session_state state;
        uint8_t local_role; // 1 initiator, 2 responder
        uint8_t pairing_type;
        uint8_t local_nik_caching;
        uint8_t remote_nik_caching;
        uint8_t secret[16]; // the pairing passphrase, or the NIK for verification
        uint8_t secret_len;
        key_digest session_key; // secures data paths with this peer once paired
    };

    enum class ndp_state : uint8_t {
        requested = 1,
        indicated = 2,
        responded = 3,
        confirmed = 4
    };
    static const char *to_string(ndp_state state);

    struct data_path {
        bool used;
        bool initiator;
        ndp_state state;
        uint8_t local_id;
        uint8_t peer_id;
        mac_address peer;
        uint8_t publish_id;
        uint8_t sec_type;
        key_digest nonce; // the request's, checked by the responder
        key_digest proof;
        char peer_host[256];
        uint16_t peer_port;
    };

    // Radio thread.
    static void *radio_main(void *self);
    void radio_loop();
    void handle_frame(std::span<const uint8_t> bytes);
    // Publish frames for our publications (only those named `only_name` when given).
    void announce_locked(const mac_address &dst, const char *only_name);
    int64_t next_announce_us_ = 0;

    // Frame handlers (engine_frames.cpp); all run with mutex_ held.
    void on_publish(const decoded_frame &frame);
    void on_subscribe(const decoded_frame &frame);
    void on_bstrap_req(const decoded_frame &frame);
    void on_bstrap_rsp(const decoded_frame &frame);
    void on_pasn_req(const decoded_frame &frame);
    void on_pasn_rsp(const decoded_frame &frame);
    void on_ndp_req(const decoded_frame &frame);
    void on_ndp_rsp(const decoded_frame &frame);
    void on_ndp_confirm(const decoded_frame &frame);
    void on_ndp_end(const decoded_frame &frame);

    // Helpers; all with mutex_ held.
    template <typename Body>
    void send_locked(frame_type type, const mac_address &dst, const Body &body);
    void emit_locked(uint32_t event_id, const void *record, std::size_t length,
                     uint64_t replace_key = 0);
    bool call_rejected_locked(const char *call);
    void vanish_locked(const char *after);
    local_service *service_by_slot(const void *slot);
    local_service *publisher_by_id(uint8_t publish_id);
    local_service *subscriber_by_id(uint8_t subscribe_id);
    pairing_session *session_for(const mac_address &peer, bool create);
    data_path *path_by_local_id(uint8_t local_id);
    data_path *path_by_peer(const mac_address &peer, bool initiator, uint8_t initiator_ndp_id);
    uint8_t free_local_ndp_id() const;
    bool has_path_with(const mac_address &peer) const;
    bool nik_paired(const mac_address &peer) const;
    void post_confirm_locked(const data_path &path, uint8_t status);
    void wake_radio();
    int add_service(bool publisher, uint16_t radio, const void *tool_paths, void *service,
                    int flag);
    int data_path_key(const nan_data_mgnt &slot, const mac_address &peer, uint8_t sec_type,
                      uint8_t *key, std::size_t &key_len);

    mutable pthread_mutex_t mutex_;
    engine_config config_{};
    bool running_ = false;
    bool vanished_ = false;
    uint16_t radio_ = 0;
    uint8_t next_nmsg_id_ = 0;
    fault_plan faults_;
    trace_log trace_;
    medium medium_;
    event_pump pump_;
    unique_fd wake_; // eventfd that ends the radio thread
    pthread_t radio_thread_{};
    bool radio_joinable_ = false;
    local_service services_[kMaxServices]{};
    pairing_session sessions_[kMaxSessions]{};
    data_path paths_[kMaxDataPaths]{};
    alignas(8) uint8_t tx_buffer_[kMaxFrameSize];
    alignas(8) uint8_t rx_buffer_[kMaxFrameSize + 1];
};

} // namespace sdcore_sim
