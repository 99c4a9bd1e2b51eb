// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// Checks on nanpeer's service table after each step of a fuzz input, and
// the reset between inputs.
#include "nanpeer_stand_ins.h"

#include "fuzz_support.h"
#include "process_globals.h"
#include "service_table.h"

#include <cstdlib>
#include <cstring>

namespace {

template <size_t N>
bool terminated(const char (&field)[N])
{
    return std::memchr(field, '\0', N) != nullptr;
}

// Touches every byte of a heap block, so a length above its size is caught.
void read_block(const uint8_t *block, size_t length)
{
    volatile uint8_t sum = 0;
    for (size_t i = 0; i < length; ++i)
        sum = static_cast<uint8_t>(sum + block[i]);
}

void require_sound_record(const dns_record &record)
{
    fuzz_require(terminated(record.service_name) && terminated(record.name_of_service_instance) &&
                     terminated(record.hostname) && terminated(record.start_cmd) &&
                     terminated(record.end_cmd) && terminated(record.pmk_key) &&
                     terminated(record.passphrase) && terminated(record.pairing_passphrase),
                 "a configured text without its terminator");
    fuzz_require(record.security <= static_cast<uint8_t>(security_type::unknown),
                 "an unknown security value");
    fuzz_require(record.textinfo_len <= 255,
                 "more text information than the conversion buffer holds");
    fuzz_require((record.textinfo == nullptr) == (record.textinfo_len == 0),
                 "configured text information and its length disagree");
    read_block(record.textinfo, record.textinfo_len);
}

void require_sound_mgnt(nan_data_mgnt &mgnt, bool prepared)
{
    fuzz_require(std::strcmp(to_string(mgnt.nan_status), "?") != 0, "a slot in no known state");
    fuzz_require(mgnt.sec_type <= static_cast<uint8_t>(sec_type::pairing), "an unknown sec_type");
    fuzz_require(terminated(mgnt.service_name) && terminated(mgnt.service_instance),
                 "a saved service name without its terminator");
    fuzz_require(mgnt.text_info_len <= 256, "more saved text information than a record carries");
    fuzz_require((mgnt.text_info == nullptr) == (mgnt.text_info_len == 0),
                 "saved text information and its length disagree");
    read_block(mgnt.text_info, mgnt.text_info_len);
    fuzz_require(mgnt.passphrase_len <= 16 && mgnt.data_path.passphrase_len <= 16 &&
                     mgnt.pairing_info.pw_len <= 16,
                 "a passphrase length above 16");
    if (prepared)
        fuzz_require(mgnt.data_path.service == service_pointer(mgnt),
                     "a data path that lost its service pointer");
}

} // namespace

void require_sound_service_table(uint32_t prepared_slots)
{
    for (uint32_t index = 0; index < 2; ++index) {
        ServiceSlot &slot = services.slot[index];
        require_sound_record(slot.record);
        require_sound_mgnt(slot.mgnt, index < prepared_slots);
    }
}

void reset_service_table()
{
    for (ServiceSlot &slot : services.slot) {
        std::free(slot.mgnt.text_info);
        std::free(slot.record.textinfo);
    }
    services = service_table{};
    service_count = 1;
    stop_flag.store(0);
    qvx_iw = nullptr;
    qvx_nan_r3 = nullptr;
}
