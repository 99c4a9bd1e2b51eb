// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// Names of the event ids and of the library calls.
#include "event_names.h"

#include <array>

#include "../../nanpeer/dns_event_records.h"

namespace sdcore_sim {

namespace {
struct named_event {
    uint32_t id;
    const char *name;
};
constexpr std::array<named_event, 7> kEvents{{
    {DNS_DISCOVERY_RESULT, "DNS_DISCOVERY_RESULT"},
    {DNS_DATA_INDICATION, "DNS_DATA_INDICATION"},
    {DNS_DATA_CONFIRM, "DNS_DATA_CONFIRM"},
    {DNS_DATA_ESTABLISHED, "DNS_DATA_ESTABLISHED"},
    {DNS_BSTRAP_RESULT, "DNS_BSTRAP_RESULT"},
    {DNS_PASN_RESULT, "DNS_PASN_RESULT"},
    {DNS_DATA_END, "DNS_DATA_END"},
}};
constexpr std::array<std::string_view, 9> kCalls{
    "dns_register_evt_cb", "dns_publish",       "dns_subscribe",
    "dns_bstrap_start",    "dns_pairing_start", "dns_datapath_req",
    "dns_datapath_rsp",    "dns_datapath_end",  "dns_stop_service"};
} // namespace

const char *event_name(uint32_t event_id)
{
    for (const auto &event : kEvents) {
        if (event.id == event_id)
            return event.name;
    }
    return nullptr;
}

int event_id_by_name(std::string_view name)
{
    for (const auto &event : kEvents) {
        if (name == event.name)
            return static_cast<int>(event.id);
    }
    return -1;
}

bool is_call_name(std::string_view name)
{
    for (auto call : kCalls) {
        if (name == call)
            return true;
    }
    return false;
}

} // namespace sdcore_sim
