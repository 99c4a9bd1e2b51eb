// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// The monitor: start and stop, the sampling thread, the sample banks and the TX task.
#pragma once

#include "padprobe/controller.h"
#include "padprobe/frame.h"
#include "padprobe/semaphore.h"
#include "padprobe/serial_writer.h"
#include "padprobe/tick_latch.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <pthread.h>

namespace padprobe {

struct MonitorConfig {
    uint16_t samp_int = 0;
    ChannelFlags channel_flags{};
};

enum class MonitorState : uint8_t {
    idle = 0,
    running = 1,
    stopped = 2,
};
const char *to_string(MonitorState state);

class Monitor {
public:
    explicit Monitor(SerialWriter &out) : out_(out) { }
    Monitor(const Monitor &) = delete;
    Monitor &operator=(const Monitor &) = delete;
    // Ends the TX task and the sampling thread; the tool itself never gets here.
    ~Monitor();

    // Creates the TX semaphore; 0 or -errno.
    int init();

    // Serves a "start": sends its ack, arms the timer and starts the TX task.
    // A TX task left from an earlier start is ended first.
    void start(const MonitorConfig &config);

    // Serves a "stop"; the caller sends the ack. No frame follows its return.
    void stop();

    MonitorState state() const { return state_.load(std::memory_order_acquire); }
    bool busy() const { return state() == MonitorState::running; }

private:
    static void *sampler_main(void *self);
    static void *tx_main(void *self);

    void ensure_sampler();
    // Ends sampling and the TX task; afterwards no pass and no frame runs.
    void quiesce();
    void start_tx_task();
    void run_pass();
    void send_next_frame();

    SerialWriter &out_;

    // Written by the serving thread only while sampling and the TX task are quiet.
    MonitorConfig config_{};
    uint8_t channel_count_ = 0;
    std::atomic<MonitorState> state_{MonitorState::idle};

    // The SIGALRM handler signals tick_; the sampling thread runs one pass
    // per tick it takes.
    TickLatch tick_;
    pthread_t sampler_{};
    bool sampler_started_ = false;
    std::atomic<bool> sampler_quit_{false};
    // Held for a whole pass; clearing sampling_ under it means no pass runs after.
    std::mutex pass_mutex_;
    bool sampling_ = false;

    // The pass fills bank samples_taken % 2 under bank_mutex_; the TX task
    // copies bank samples_sent % 2 under it.
    std::mutex bank_mutex_;
    std::byte banks_[2][kBankSize] = {};
    std::atomic<uint32_t> samples_taken_{0};
    std::atomic<uint32_t> samples_sent_{0};

    Semaphore tx_wake_;
    pthread_t tx_task_{};
    bool tx_running_ = false;
    std::atomic<bool> tx_quit_{false};
    // The TX task's own buffers: nothing is allocated per frame.
    std::byte payload_[kBankSize] = {};
    std::byte header_[kHeaderSize] = {};
};

} // namespace padprobe
