// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// libsdcore for the fuzz targets: results chosen by the input, and a check
// of every pointer nanpeer hands over.
#include "nanpeer_stand_ins.h"

#include "fuzz_support.h"
#include "sdcore.h"
#include "service_table.h"

#include <cstring>

namespace {

uint8_t failing = 0;

// Reads the whole field, so that a pointer to anything smaller is caught.
template <typename Field>
void read_whole(const void *pointer)
{
    unsigned char copy[sizeof(Field)];
    std::memcpy(copy, pointer, sizeof copy);
}

// The slot whose member the pointer is, or none.
template <typename Member>
bool points_into_a_slot(const void *pointer, Member member)
{
    for (ServiceSlot &slot : services.slot) {
        if (pointer == member(slot))
            return true;
    }
    return false;
}

int result(uint8_t bit)
{
    return (failing & bit) != 0 ? -1 : 0;
}

} // namespace

void sdcore_stand_in_fail(uint8_t failing_calls)
{
    failing = failing_calls;
}

extern "C" {

int dns_register_evt_cb(dns_evt_cb)
{
    return 0;
}

int dns_publish(uint16_t, void *, void *, int)
{
    return 0;
}

int dns_subscribe(uint16_t, void *, void *, int)
{
    return 0;
}

int dns_bstrap_start(void *service)
{
    fuzz_require(
        points_into_a_slot(service, [](ServiceSlot &slot) { return service_pointer(slot.mgnt); }),
        "dns_bstrap_start given something other than byte 4 of a slot");
    return result(kFailBstrapStart);
}

int dns_pairing_start(void *pairing_info)
{
    fuzz_require(
        points_into_a_slot(pairing_info, [](ServiceSlot &slot) { return &slot.mgnt.pairing_info; }),
        "dns_pairing_start given something other than a slot's pairing_info");
    read_whole<pairing_info_record>(pairing_info);
    return result(kFailPairingStart);
}

int dns_datapath_req(void *data_path)
{
    fuzz_require(
        points_into_a_slot(data_path, [](ServiceSlot &slot) { return &slot.mgnt.data_path; }),
        "dns_datapath_req given something other than a slot's data_path");
    read_whole<data_path_record>(data_path);
    return result(kFailDatapathReq);
}

int dns_datapath_rsp(void *data_path)
{
    fuzz_require(
        points_into_a_slot(data_path, [](ServiceSlot &slot) { return &slot.mgnt.data_path; }),
        "dns_datapath_rsp given something other than a slot's data_path");
    read_whole<data_path_record>(data_path);
    return result(kFailDatapathRsp);
}

int dns_datapath_end(uint8_t)
{
    return result(kFailDatapathEnd);
}

int dns_stop_service(uint16_t)
{
    return 0;
}

} // extern "C"
