// The event callback registered with libsdcore and the handler of each event.
#pragma once

#include <cstdint>
#include <cstring>

#include "dns_event_records.h"
#include "service_slot.h"

// The callback: drops everything once stop_flag is set, otherwise handles
// the event under the event lock.
void on_dns_event(uint32_t event_id, void *record, int length);

// Handlers, called with the event lock held. Each checks the record's
// length first and reads the record only during the call.
void dns_evt_discovery_result(const void *record, int length);
void dns_evt_data_indication(const void *record, int length);
void dns_evt_data_confirm(const void *record, int length);
void dns_evt_bstrap_result(const void *record, int length);
void dns_evt_pasn_result(const void *record, int length);
void dns_evt_data_end(const void *record, int length);

void parse_discovery_result(nan_data_mgnt &mgnt, const dns_discovery_result_record &record);
void parse_data_indication(nan_data_mgnt &mgnt, const dns_data_indication_record &record);

// Copies the record when it is there and exactly the size of Record.
template <typename Record>
bool read_event_record(const void *record, int length, Record &copy)
{
    if (record == nullptr || length != static_cast<int>(sizeof(Record))) {
        return false;
    }
    std::memcpy(&copy, record, sizeof copy);
    return true;
}
