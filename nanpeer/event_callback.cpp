// The event callback: the stop check, the lock and the dispatch by event id.
#include <mutex>

#include "event_lock.h"
#include "events.h"
#include "log.h"
#include "process_globals.h"
#include "service_scripts.h"

namespace {

void dispatch_event(uint32_t event_id, const void *record, int length)
{
    switch (event_id) {
    case DNS_DISCOVERY_RESULT:
        nan_log(log_severity::info, "DNS_DISCOVERY_RESULT\n");
        dns_evt_discovery_result(record, length);
        return;
    case DNS_DATA_INDICATION:
        nan_log(log_severity::info, "DNS_DATA_INDICATION\n");
        dns_evt_data_indication(record, length);
        return;
    case DNS_DATA_CONFIRM:
        nan_log(log_severity::info, "DNS_DATA_CONFIRM\n");
        dns_evt_data_confirm(record, length);
        return;
    case DNS_DATA_ESTABLISHED:
        nan_log(log_severity::info, "DNS_DATA_ESTABLISHED\n");
        exec_start_script(record, length);
        return;
    case DNS_BSTRAP_RESULT:
        nan_log(log_severity::info, "DNS_BSTRAP_RESULT\n");
        dns_evt_bstrap_result(record, length);
        return;
    case DNS_PASN_RESULT:
        nan_log(log_severity::info, "DNS_PASN_RESULT\n");
        dns_evt_pasn_result(record, length);
        return;
    case DNS_DATA_END:
        nan_log(log_severity::info, "DNS_DATA_END\n");
        dns_evt_data_end(record, length);
        return;
    default:
        nan_log(log_severity::info, "[nanpeer]unknow dns event id (%d)\n",
                static_cast<int>(event_id));
        return;
    }
}

} // namespace

void on_dns_event(uint32_t event_id, void *record, int length)
{
    // Checked before the lock so that events arriving during shutdown do not
    // queue up behind it, and again after it because shutdown may have begun
    // while this event waited.
    if (stop_flag.load() != 0) {
        return;
    }
    std::lock_guard<std::mutex> lock(event_mutex);
    if (stop_flag.load() != 0) {
        return;
    }
    dispatch_event(event_id, record, length);
}
