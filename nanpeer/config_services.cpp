// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// Configuration pass 2: the publish and subscribe sections into dns_records.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "config.h"
#include "json_access.h"
#include "log.h"
#include "process_globals.h"
#include "service_table.h"

namespace {

constexpr std::size_t kSecurityTextSize = 16;
constexpr std::size_t kBstrapMethodTextSize = 128;
constexpr std::size_t kPmkKeyLength = 32;
constexpr std::size_t kPassphraseMaxLength = 16;
constexpr std::size_t kTextInfoMaxLength = 254;
constexpr std::size_t kTextInfoBytes = 255;

uint8_t low_byte(json_object *value)
{
    return static_cast<uint8_t>(json_object_get_int(value));
}

int parse_pmk(json_object *section, dns_record &record)
{
    json_object *value = required_member(section, "pmk_key");
    if (value == nullptr) {
        return 0;
    }
    const char *text = json_object_get_string(value);
    if (std::strlen(text) != kPmkKeyLength) {
        nan_log(log_severity::info, "pmk length is invalid \n");
        return 0;
    }
    std::memcpy(record.pmk_key, text, kPmkKeyLength);
    nan_log(log_severity::info, "pmk: %s \n", record.pmk_key);
    return 1;
}

int parse_pairing(json_object *section, dns_record &record, int role)
{
    json_object *value = required_member(section, "bstrap_method");
    if (value == nullptr) {
        return 0;
    }
    char methods[kBstrapMethodTextSize];
    if (!copy_text_member(methods, sizeof methods, value, "bstrap_method")) {
        return 0;
    }
    record.bstrap_method = get_bstrap_method(methods, role);
    nan_log(log_severity::info, "bstrap_method_str: %s \n", methods);
    nan_log(log_severity::info, "bstrap_method: 0x%x \n",
            static_cast<unsigned>(record.bstrap_method));

    std::memset(record.pairing_passphrase, 0, sizeof record.pairing_passphrase);
    if (json_object *pairing_passphrase = json_member(section, "pairing_passphrase")) {
        if (!copy_text_member(record.pairing_passphrase, sizeof record.pairing_passphrase,
                              pairing_passphrase, "pairing_passphrase")) {
            return 0;
        }
        nan_log(log_severity::info, "pairing_passphrase: %s\n", record.pairing_passphrase);
    }

    json_object *nik_caching = required_member(section, "nik_caching");
    if (nik_caching == nullptr) {
        return 0;
    }
    record.nik_caching = low_byte(nik_caching);
    return 1;
}

int parse_passphrase(json_object *section, dns_record &record)
{
    json_object *value = json_member(section, "passphrase");
    if (value == nullptr) {
        value = json_member(section, "pw");
    }
    if (value == nullptr) {
        nan_log(log_severity::info, " \"passphrase\" or \"pw\" not found\n");
        return 0;
    }
    static_assert(sizeof record.passphrase == kPassphraseMaxLength + 1);
    if (!copy_text_member(record.passphrase, sizeof record.passphrase, value, "passphrase")) {
        return 0;
    }
    nan_log(log_severity::info, "passphrase: %s\n", record.passphrase);
    return 1;
}

// The security key and the keys its type needs; shared by both sections.
int parse_security(json_object *section, dns_record &record, int role)
{
    json_object *value = required_member(section, "security");
    if (value == nullptr) {
        return 0;
    }
    char name[kSecurityTextSize];
    if (!copy_text_member(name, sizeof name, value, "security")) {
        return 0;
    }
    const security_type type = get_security_type(name);
    record.security = static_cast<uint8_t>(type);
    nan_log(log_severity::info, "security type: %s \n", name);
    switch (type) {
    case security_type::open:
        return 1;
    case security_type::pmk:
        return parse_pmk(section, record);
    case security_type::pairing:
        return parse_pairing(section, record, role);
    case security_type::passphrase:
        return parse_passphrase(section, record);
    case security_type::unknown:
        nan_log(log_severity::info, "Unknow security type!\n");
        return 0;
    }
    return 0;
}

// An empty text, or one too long for the conversion buffer, is left out
// silently; the section still succeeds without text information.
int parse_textinfo(json_object *value, dns_record &record)
{
    const char *text = json_object_get_string(value);
    const std::size_t length = std::strlen(text);
    if (length == 0 || length > kTextInfoMaxLength) {
        return 1;
    }
    nan_log(log_severity::info, "textinfo str: %s\n", text);
    uint8_t converted[kTextInfoBytes] = {};
    const uint16_t count = cvert_text_info(text, converted, sizeof converted);
    record.textinfo_len = count;
    if (count == 0) {
        return 1;
    }
    auto *copy = static_cast<uint8_t *>(std::malloc(count));
    if (copy == nullptr) {
        record.textinfo_len = 0;
        nan_log(log_severity::info, "memory alloc fail!\n");
        return 0;
    }
    std::memcpy(copy, converted, count);
    record.textinfo = copy;
    nan_log(log_severity::info, "textinfo (len=%d): ", count);
    for (uint16_t index = 0; index < count; ++index) {
        std::printf("%02x ", copy[index]);
    }
    nan_log(log_severity::info, "\n");
    return 1;
}

int parse_optional_text(json_object *section, const char *key, char *field, std::size_t size)
{
    json_object *value = json_member(section, key);
    if (value == nullptr) {
        return 1;
    }
    if (!copy_text_member(field, size, value, key)) {
        return 0;
    }
    nan_log(log_severity::info, "%s: %s \n", key, field);
    return 1;
}

} // namespace

int parse_publish_record(json_object *section, dns_record &record)
{
    std::memset(record.pmk_key, 0, sizeof record.pmk_key);

    json_object *value = required_member(section, "publish_id");
    if (value == nullptr) {
        return 0;
    }
    record.local_id = low_byte(value);
    nan_log(log_severity::info, "publish_id: %d \n", record.local_id);

    value = required_member(section, "service_name");
    if (value == nullptr ||
        !copy_text_member(record.service_name, sizeof record.service_name, value, "service_name")) {
        return 0;
    }
    nan_log(log_severity::info, "service_name: %s \n", record.service_name);

    value = required_member(section, "name_of_service_instance");
    if (value == nullptr ||
        !copy_text_member(record.name_of_service_instance, sizeof record.name_of_service_instance,
                          value, "name_of_service_instance")) {
        return 0;
    }
    nan_log(log_severity::info, "name_of_service_instance: %s \n", record.name_of_service_instance);

    value = required_member(section, "textinfo");
    if (value == nullptr || !parse_textinfo(value, record)) {
        return 0;
    }

    value = required_member(section, "hostname");
    if (value == nullptr ||
        !copy_text_member(record.hostname, sizeof record.hostname, value, "hostname")) {
        return 0;
    }
    nan_log(log_severity::info, "hostname: %s \n", record.hostname);

    value = required_member(section, "port_number");
    if (value == nullptr) {
        return 0;
    }
    record.port_number = static_cast<uint16_t>(json_object_get_int(value));
    nan_log(log_severity::info, "port_number: %u \n", static_cast<unsigned>(record.port_number));

    if (!parse_security(section, record, kRolePublish)) {
        return 0;
    }
    if (!parse_optional_text(section, "start_cmd", record.start_cmd, sizeof record.start_cmd) ||
        !parse_optional_text(section, "end_cmd", record.end_cmd, sizeof record.end_cmd)) {
        return 0;
    }
    if (json_object *gtk_enable = json_member(section, "gtk_enable")) {
        record.gtk_enable = low_byte(gtk_enable);
        nan_log(log_severity::info, "gtk_enable: %d \n", record.gtk_enable);
    }
    return 1;
}

int parse_subscribe_record(json_object *section, dns_record &record)
{
    std::memset(record.pmk_key, 0, sizeof record.pmk_key);
    // A subscriber without an id subscribes with id 0.
    record.local_id = low_byte(json_member(section, "subscribe_id"));
    nan_log(log_severity::info, "subscribe_id: %d \n", record.local_id);

    json_object *value = required_member(section, "service_name");
    if (value == nullptr ||
        !copy_text_member(record.service_name, sizeof record.service_name, value, "service_name")) {
        return 0;
    }
    nan_log(log_severity::info, "service_name: %s \n", record.service_name);
    return parse_security(section, record, kRoleSubscribe);
}

int parse_dns_sd_record(const char *path, int role)
{
    nan_log(log_severity::info, "filename: %s \n", printable_path(path));
    const json_document document = read_json_file(path);
    if (!document) {
        nan_log(log_severity::info, "Cannot open %s\n", printable_path(path));
        return 0;
    }
    json_object *records = json_member(document.get(), "dns_sd_record");

    if (role == kRolePublish) {
        nan_log(log_severity::info, "role: Publish \n");
        if (service_count == 0) {
            return 1;
        }
        // Without the dns_sd_record section no publishN section is found
        // either, so the run fails, like a missing publishN, on publish_id.
        int result = 0;
        for (uint32_t number = 1; number <= service_count && number <= 2; ++number) {
            char section_name[16];
            std::snprintf(section_name, sizeof section_name, "publish%u",
                          static_cast<unsigned>(number));
            // A missing section fails on its first key, publish_id.
            result = parse_publish_record(json_member(records, section_name),
                                          services.slot[number - 1].record);
            if (!result) {
                break;
            }
        }
        return result;
    }
    if (role == kRoleSubscribe) {
        nan_log(log_severity::info, "role: Subscribe \n");
        if (records == nullptr) {
            log_not_found("dns_sd_record");
            return 0;
        }
        json_object *section = required_member(records, "subscribe");
        if (section == nullptr) {
            return 0;
        }
        return parse_subscribe_record(section, services.slot[0].record);
    }
    return 1;
}
