// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// nanpeer's event callback and the owner's handling of what it queued, fed
// event ids, lengths and record bytes against slots prepared as start-up
// prepares them, with library results and timer ticks in between, and the
// real shutdown at the end. The fuzzer's thread is the owner.
//
// Input, read front to back (missing bytes read as zero):
//   header  flags (bit 0 subscriber; the other bits modulo 3 are the
//           service count), then
//           for each of the two slots: local id, security (modulo 4), flags
//           (bit 0 NIK caching, bit 1 own address known, bits 2-5 length of
//           the configured text information), own address (6 bytes)
//   steps   op modulo 8: 0-3 an event, handled at once; 4 an event left
//           queued (handled with the next step that handles); 5 a mask of
//           failing library calls (one byte); 6 a response-timer tick, if
//           one is armed; 7 stop: the rest of the input is events without op
//           bytes, each of which must leave the service table as it was
//   event   id choice (below 0xf0: one of the known ids and 6 and 7;
//           else a 32-bit id follows), length choice (below 0xe0: the
//           record's size; 0xe0-0xfe: a 16-bit signed length follows;
//           0xff: no record), then the record's bytes
#include "config.h"
#include "dns_event_records.h"
#include "event_ring.h"
#include "events.h"
#include "fuzz_support.h"
#include "lifecycle.h"
#include "nanpeer_stand_ins.h"
#include "owner.h"
#include "process_globals.h"
#include "response_timer.h"
#include "service_table.h"
#include "stopping.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

namespace {

constexpr char kStartScript[] = "svc-up";
constexpr char kEndScript[] = "svc-down";

class InputReader {
public:
    InputReader(const uint8_t *data, size_t size) : data_(data), size_(size) { }
    bool done() const { return position_ >= size_; }
    uint8_t u8() { return position_ < size_ ? data_[position_++] : 0; }
    uint16_t u16() { return static_cast<uint16_t>(u8() | (u8() << 8)); }
    uint32_t u32() { return static_cast<uint32_t>(u16() | (static_cast<uint32_t>(u16()) << 16)); }
    void bytes(uint8_t *out, size_t count)
    {
        for (size_t i = 0; i < count; ++i)
            out[i] = u8();
    }

private:
    const uint8_t *data_;
    size_t size_;
    size_t position_ = 0;
};

constexpr uint32_t kEventIds[] = {
    DNS_DISCOVERY_RESULT,
    DNS_DATA_INDICATION,
    DNS_DATA_CONFIRM,
    DNS_DATA_ESTABLISHED,
    DNS_BSTRAP_RESULT,
    DNS_PASN_RESULT,
    DNS_DATA_END,
    6,
    7,
};

int record_size(uint32_t id)
{
    switch (id) {
    case DNS_DISCOVERY_RESULT:
        return sizeof(dns_discovery_result_record);
    case DNS_DATA_INDICATION:
        return sizeof(dns_data_indication_record);
    case DNS_DATA_CONFIRM:
        return sizeof(dns_data_confirm_record);
    case DNS_DATA_ESTABLISHED:
        return sizeof(dns_data_established_record);
    case DNS_BSTRAP_RESULT:
        return sizeof(dns_bstrap_result_record);
    case DNS_PASN_RESULT:
        return sizeof(dns_pasn_result_record);
    case DNS_DATA_END:
        return sizeof(dns_data_end_record);
    default:
        return 16;
    }
}

void prepare_slot(InputReader &in, ServiceSlot &slot, int role)
{
    dns_record &record = slot.record;
    record.local_id = in.u8();
    record.security = static_cast<uint8_t>(in.u8() % 4);
    const uint8_t flags = in.u8();
    std::snprintf(record.service_name, sizeof record.service_name, "fuzz-service");
    std::snprintf(record.name_of_service_instance, sizeof record.name_of_service_instance,
                  "fuzz-1");
    std::snprintf(record.hostname, sizeof record.hostname, "fuzzhost");
    record.port_number = 8080;
    std::memcpy(record.pmk_key, "0123456789abcdef0123456789abcdef", 32);
    std::snprintf(record.passphrase, sizeof record.passphrase, "passphrase-1");
    std::snprintf(record.pairing_passphrase, sizeof record.pairing_passphrase, "pairing-pw");
    record.bstrap_method = 0x03;
    record.nik_caching = flags & 1;
    std::snprintf(record.start_cmd, sizeof record.start_cmd, "%s", kStartScript);
    std::snprintf(record.end_cmd, sizeof record.end_cmd, "%s", kEndScript);
    const uint16_t text_length = static_cast<uint16_t>((flags >> 2) & 0x0f);
    if (text_length != 0) {
        record.textinfo = static_cast<uint8_t *>(std::malloc(text_length));
        std::memset(record.textinfo, 'x', text_length);
        record.textinfo_len = text_length;
    }
    prepare_service_slot(role, record, slot.mgnt);
    uint8_t own_address[6];
    in.bytes(own_address, sizeof own_address);
    if ((flags & 2) != 0)
        std::memcpy(slot.mgnt.self_mac, own_address, sizeof own_address);
}

// Queues one event as the library would hand it over.
void queue_event(InputReader &in)
{
    const uint8_t id_choice = in.u8();
    const uint32_t id = id_choice < 0xf0 ? kEventIds[id_choice % std::size(kEventIds)] : in.u32();
    const uint8_t length_choice = in.u8();
    int length = record_size(id);
    bool no_record = false;
    if (length_choice == 0xff)
        no_record = true;
    else if (length_choice >= 0xe0)
        length = static_cast<int16_t>(in.u16());
    // A block of exactly the length given, so reading past it is caught.
    const size_t block_size = static_cast<size_t>(std::max(length, 0));
    auto block = std::make_unique<uint8_t[]>(block_size);
    in.bytes(block.get(), block_size);
    on_dns_event(id, no_record ? nullptr : block.get(), length);
}

// After stop_flag is set, events must leave no trace at all.
void deliver_after_stop(InputReader &in)
{
    std::vector<uint8_t> before(sizeof services);
    std::memcpy(before.data(), &services, sizeof services);
    queue_event(in);
    handle_pending_messages();
    fuzz_require(std::memcmp(before.data(), &services, sizeof services) == 0,
                 "an event handled after the stop");
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    // No owner thread: the fuzzer's thread handles what is queued, and the
    // ticks come only from the input.
    if (stopping_init() != 0 || event_ring_init() != 0)
        std::abort();
    shell_stand_in_allow_scripts(kStartScript, kEndScript);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    InputReader in(data, size);
    const uint8_t header = in.u8();
    const int role = header & 1;
    service_count = static_cast<uint32_t>((header >> 1) % 3);
    for (ServiceSlot &slot : services.slot)
        prepare_slot(in, slot, role);
    sdcore_stand_in_fail(0);

    bool stopped = false;
    while (!in.done()) {
        if (stopped) {
            deliver_after_stop(in);
            continue;
        }
        switch (in.u8() % 8) {
        case 4:
            queue_event(in);
            break;
        case 5:
            sdcore_stand_in_fail(in.u8());
            break;
        case 6:
            handle_pending_messages();
            on_response_timer();
            break;
        case 7:
            request_stop();
            // What was queued before the stop is settled (a data end is
            // still handled); from then on nothing may change the table.
            handle_pending_messages();
            stopped = true;
            break;
        default:
            queue_event(in);
            handle_pending_messages();
            break;
        }
        require_sound_service_table(2);
    }

    handle_pending_messages();
    shut_down(0);
    for (const ServiceSlot &slot : services.slot) {
        fuzz_require(slot.mgnt.text_info == nullptr && slot.record.textinfo == nullptr,
                     "text information left after shutdown");
    }
    for (uint32_t index = 0; index < service_count; ++index) {
        fuzz_require(services.slot[index].mgnt.nan_status != nan_status::NAN_DATA_CONFIRMED,
                     "a data path left confirmed after shutdown");
    }
    reset_service_table();
    // The next input starts afresh: not stopping, no timer armed.
    stop_flag.store(0);
    uint64_t count = 0;
    [[maybe_unused]] const ssize_t drained = read(stopping_fd(), &count, sizeof count);
    delete_response_timer();
    return 0;
}
