// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// The response timer's due time and the tick that gives up unanswered
// requests.
#include "response_timer.h"

#include "clock.h"
#include "log.h"
#include "process_globals.h"
#include "sdcore.h"
#include "service_table.h"

namespace {

constexpr int64_t kTickNanoseconds = 5 * kNanosecondsPerSecond;
constexpr uint8_t kLastRetry = 3; // the fourth tick gives up

bool timer_armed = false;
int64_t tick_due_ns = 0;

void tick_slots()
{
    if (service_count == 0) {
        return;
    }
    for (uint32_t index = 0; index < service_count && index < 2; ++index) {
        nan_data_mgnt &mgnt = services.slot[index].mgnt;
        mgnt.retry = static_cast<uint8_t>(mgnt.retry + 1);
        const uint8_t ndp_id = mgnt.data_path.ndp_id;
        const int status = static_cast<int>(mgnt.nan_status);
        switch (mgnt.nan_status) {
        case nan_status::NAN_DATA_REQ_SENT:
            if (ndp_id != 0 && mgnt.retry > kLastRetry) {
                nan_log(log_severity::info,
                        "Data rsp not receive! nan_status[%d],retry[%d],send data path end[%d]\n",
                        status, mgnt.retry, ndp_id);
                dns_datapath_end(ndp_id);
                clear_data_path(&mgnt);
                delete_response_timer();
            }
            break;
        case nan_status::NAN_DATA_RSP_SENT:
            // An open data path is never given up: the responder armed nothing.
            if (mgnt.data_path.sec_type != 0 && ndp_id != 0 && mgnt.retry > kLastRetry) {
                nan_log(
                    log_severity::info,
                    "Data confirm not receive! nan_status[%d],retry[%d],send data path end[%d]\n",
                    status, mgnt.retry, ndp_id);
                dns_datapath_end(ndp_id);
                clear_data_path(&mgnt);
                delete_response_timer();
            }
            break;
        case nan_status::NAN_BSTRAP_REQ_SENT:
            if (mgnt.retry > kLastRetry) {
                nan_log(log_severity::info,
                        "Boostrapping method result not receive! nan_status[%d], retry[%d]\n",
                        status, mgnt.retry);
                clear_pairing_info(&mgnt);
                clear_data_path(&mgnt);
                delete_response_timer();
            }
            break;
        case nan_status::NAN_PASN_STARTED:
            if (mgnt.retry > kLastRetry) {
                nan_log(log_severity::info, "PASN result not receive! nan_status[%d],retry[%d]\n",
                        status, mgnt.retry);
                clear_pairing_info(&mgnt);
                clear_data_path(&mgnt);
                delete_response_timer();
            }
            break;
        case nan_status::NAN_IDLE:
        case nan_status::NAN_DATA_RSP_SENDING:
        case nan_status::NAN_DATA_CONFIRMED:
        case nan_status::NAN_BSTRAP_DONE:
        case nan_status::NAN_PASN_DONE:
            break;
        }
        // A slot that stopped waiting still counts, so the timer ends at the
        // latest when some used slot has seen four ticks.
        if (mgnt.retry > kLastRetry) {
            delete_response_timer();
        }
    }
}

} // namespace

void arm_response_timer(nan_data_mgnt &mgnt)
{
    mgnt.retry = 0;
    start_response_timer();
}

void start_response_timer()
{
    timer_armed = true;
    tick_due_ns = monotonic_ns() + kTickNanoseconds;
}

void delete_response_timer()
{
    timer_armed = false;
}

bool response_timer_armed()
{
    return timer_armed;
}

bool next_tick_due(int64_t &due_ns)
{
    due_ns = tick_due_ns;
    return timer_armed;
}

void on_response_timer()
{
    if (!timer_armed) {
        return;
    }
    // From the due time, not from now: a tick handled late does not push
    // the later ones back, as with an interval timer.
    tick_due_ns += kTickNanoseconds;
    tick_slots();
}
