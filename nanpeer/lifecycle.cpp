// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// Waiting for the stop, and the shutdown sequence.
#include "lifecycle.h"

#include <signal.h>
#include <unistd.h>

#include <cstdlib>
#include <ctime>

#include "log.h"
#include "process_globals.h"
#include "response_timer.h"
#include "sdcore.h"
#include "service_scripts.h"
#include "service_table.h"
#include "stopping.h"

namespace {

void on_stop_signal(int)
{
    request_stop();
}

// One wait step: returns once the timeout has passed (requesting the stop)
// or stop_flag is set, sleeping a second between checks.
void wait_timeout(uint32_t timeout_seconds)
{
    const time_t start = time(nullptr);
    for (;;) {
        if (timeout_seconds != 0 &&
            difftime(time(nullptr), start) > static_cast<double>(timeout_seconds)) {
            request_stop();
            return;
        }
        if (stop_flag.load() != 0) {
            return;
        }
        sleep(1);
    }
}

void free_text_info(ServiceSlot &slot)
{
    if (slot.mgnt.text_info_len != 0 && slot.mgnt.text_info != nullptr) {
        std::free(slot.mgnt.text_info);
        slot.mgnt.text_info = nullptr;
        slot.mgnt.text_info_len = 0;
    }
    if (slot.record.textinfo_len != 0 && slot.record.textinfo != nullptr) {
        std::free(slot.record.textinfo);
        slot.record.textinfo = nullptr;
        slot.record.textinfo_len = 0;
    }
}

} // namespace

void install_stop_signals()
{
    struct sigaction action { };
    action.sa_handler = on_stop_signal;
    // The signal may land on a thread of the library: its blocking calls go
    // on after the handler instead of failing with EINTR, as with signal().
    action.sa_flags = SA_RESTART;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

void wait_for_stop(uint32_t timeout_seconds)
{
    while (stop_flag.load() == 0) {
        wait_timeout(timeout_seconds);
    }
}

void shut_down(uint16_t radio)
{
    nan_log(log_severity::info, "\n!!!!!! Terminated !!!!!!\n");
    for (uint32_t index = 0; index < service_count && index < 2; ++index) {
        nan_data_mgnt &mgnt = services.slot[index].mgnt;
        if (mgnt.nan_status != nan_status::NAN_DATA_CONFIRMED) {
            continue;
        }
        const uint8_t ndp_id = mgnt.data_path.ndp_id;
        exec_stop_script_ex(ndp_id);
        nan_log(log_severity::info, "send data path end[%d], \n", ndp_id);
        dns_datapath_end(ndp_id);
        clear_pairing_info(&mgnt);
        clear_data_path(&mgnt);
    }
    sleep(1);
    dns_stop_service(radio);
    delete_response_timer();

    // Both slots: a subscriber run with -n 0 still saves a discovered
    // service in slot 0.
    for (ServiceSlot &slot : services.slot) {
        free_text_info(slot);
    }
}
