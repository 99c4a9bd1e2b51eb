// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// Preparing a slot's run-time record from its configured service.
#include <cstdlib>
#include <cstring>

#include "config.h"
#include "log.h"
#include "service_table.h"

void prepare_service_slot(int role, dns_record &record, nan_data_mgnt &mgnt)
{
    std::memset(&mgnt, 0, sizeof mgnt);
    mgnt.role = static_cast<uint8_t>(role);
    if (role == kRolePublish) {
        mgnt.publish_id = record.local_id;
    } else if (role == kRoleSubscribe) {
        mgnt.subscribe_id = record.local_id;
    }
    static_assert(sizeof mgnt.service_name == sizeof record.service_name);
    static_assert(sizeof mgnt.service_instance == sizeof record.name_of_service_instance);
    std::memcpy(mgnt.service_name, record.service_name, sizeof mgnt.service_name);
    std::memcpy(mgnt.service_instance, record.name_of_service_instance,
                sizeof mgnt.service_instance);

    // The library gets its own copy of the text information; the slot owns
    // both blocks and shutdown frees both.
    if (record.textinfo_len != 0) {
        auto *copy = static_cast<uint8_t *>(std::calloc(record.textinfo_len, 1));
        if (copy != nullptr) {
            std::memcpy(copy, record.textinfo, record.textinfo_len);
            mgnt.text_info = copy;
            mgnt.text_info_len = record.textinfo_len;
        } else {
            nan_log(log_severity::info, "memory alloc fail!\n");
        }
    }

    data_path_record &path = mgnt.data_path;
    path.service = service_pointer(mgnt);
    static_assert(sizeof path.hostname == sizeof record.hostname);
    std::memcpy(path.hostname, record.hostname, sizeof path.hostname);
    path.port_number = record.port_number;

    switch (static_cast<security_type>(record.security)) {
    case security_type::pmk:
        mgnt.sec_type = static_cast<uint8_t>(sec_type::pmk);
        mgnt.pairing_info.gtk_enable = record.gtk_enable;
        // The key is handed over as the 32 characters configured, not decoded.
        static_assert(sizeof mgnt.pmk == 32 && sizeof path.pmk == 32);
        std::memcpy(mgnt.pmk, record.pmk_key, sizeof mgnt.pmk);
        std::memcpy(path.pmk, record.pmk_key, sizeof path.pmk);
        break;
    case security_type::passphrase: {
        mgnt.sec_type = static_cast<uint8_t>(sec_type::passphrase);
        mgnt.pairing_info.gtk_enable = record.gtk_enable;
        const std::size_t length = strnlen(record.passphrase, sizeof record.passphrase - 1);
        mgnt.passphrase_len = static_cast<uint16_t>(length);
        std::memcpy(mgnt.passphrase, record.passphrase, length);
        path.passphrase_len = static_cast<uint16_t>(length);
        std::memcpy(path.passphrase, record.passphrase, length);
        break;
    }
    case security_type::pairing: {
        mgnt.sec_type = static_cast<uint8_t>(sec_type::pairing);
        pairing_info_record &pairing = mgnt.pairing_info;
        pairing.gtk_enable = record.gtk_enable;
        std::memset(pairing.pw, 0, sizeof pairing.pw);
        const std::size_t length =
            strnlen(record.pairing_passphrase, sizeof record.pairing_passphrase - 1);
        std::memcpy(pairing.pw, record.pairing_passphrase, length);
        pairing.pw_len = static_cast<uint8_t>(length);
        nan_log(log_severity::debug, "pw: %s\n", pairing.pw);
        nan_log(log_severity::debug, "pw_len: %d\n", pairing.pw_len);
        pairing.nik_caching = record.nik_caching;
        pairing.bstrap_method = static_cast<uint8_t>(record.bstrap_method);
        break;
    }
    case security_type::open:
    case security_type::unknown:
        break;
    }
}
