// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// Configuration passes: the worked example, every failure message, limits.
#include <cstring>
#include <functional>
#include <string>

#include "config.h"
#include "config_file.h"
#include "process_globals.h"
#include "service_table.h"
#include "test_support.h"

namespace {

using config_test = nanpeer_test;

struct pass_result {
    int result;
    std::string output;
};

pass_result run_pass1(const std::string &path, tool_paths &paths, char (&mac)[kMacTextSize])
{
    output_capture capture;
    const int result = parse_basic_config(path.c_str(), paths, mac);
    return {result, capture.finish()};
}

pass_result run_pass2(const std::string &path, int role, uint32_t count)
{
    service_count = count;
    output_capture capture;
    const int result = parse_dns_sd_record(path.c_str(), role);
    return {result, capture.finish()};
}

bool ends_with(const std::string &text, const std::string &tail)
{
    return text.size() >= tail.size() &&
           text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

std::string repeated(char c, std::size_t count)
{
    return std::string(count, c);
}

} // namespace

TEST_F(config_test, worked_example_fills_tool_paths_mac_and_both_records_exactly)
{
    json_document document = example_config();
    const std::string path = write_config(document.get());
    tool_paths paths{};
    char mac[kMacTextSize] = {};
    const pass_result pass1 = run_pass1(path, paths, mac);
    ASSERT_EQ(pass1.result, 1);
    EXPECT_EQ(pass1.output, info("filename: " + path + " \n") + info("iw_path: /usr/sbin/iw \n") +
                                info("nan_r3_path: /opt/nan/r3 \n") +
                                info("wpa_supplicant_path: /usr/sbin/wpa_supplicant \n") +
                                info("wpa_supplicant_conf_path: /etc/wpa_supplicant.conf \n") +
                                info("wpa_supplicant_log_file: /tmp/wpa_supplicant.log \n") +
                                info("wpa_supplicant_dbg_para: -d \n") +
                                info("mac_addr : 02:00:00:00:00:01 \n"));
    EXPECT_STREQ(mac, "02:00:00:00:00:01");
    EXPECT_EQ(qvx_iw, paths.iw_path);
    EXPECT_EQ(qvx_nan_r3, paths.nan_r3_path);
    EXPECT_STREQ(paths.wpa_supplicant_dbg_para, "-d");
    EXPECT_EQ(paths.iw_path[sizeof "/usr/sbin/iw"], '\0');

    const pass_result pass2 = run_pass2(path, kRolePublish, 2);
    ASSERT_EQ(pass2.result, 1) << pass2.output;

    const uint8_t text_bytes[] = {9,   't', 'x', 't', 'v', 'e', 'r', 's', '=',
                                  '1', 6,   'p', 'a', 't', 'h', '=', '/'};
    EXPECT_NE(pass2.output.find(info("textinfo (len=17): ") +
                                "09 74 78 74 76 65 72 73 3d 31 06 70 61 74 68 3d 2f " + info("\n")),
              std::string::npos);

    dns_record first{};
    first.local_id = 1;
    std::strcpy(first.service_name, "demo");
    std::strcpy(first.name_of_service_instance, "demo-1");
    first.textinfo_len = sizeof text_bytes;
    first.textinfo = services.slot[0].record.textinfo;
    std::strcpy(first.hostname, "nanhost");
    first.port_number = 8080;
    std::strcpy(first.start_cmd, "/etc/nan/up.sh");
    std::strcpy(first.end_cmd, "/etc/nan/down.sh");
    first.security = 0;
    EXPECT_EQ(std::memcmp(&first, &services.slot[0].record, sizeof first), 0);
    ASSERT_NE(+first.textinfo, nullptr);
    EXPECT_EQ(std::memcmp(first.textinfo, text_bytes, sizeof text_bytes), 0);

    dns_record second{};
    second.local_id = 2;
    std::strcpy(second.service_name, "demo2");
    std::strcpy(second.name_of_service_instance, "demo-2");
    std::strcpy(second.hostname, "nanhost");
    second.port_number = 8081;
    second.security = 2;
    second.bstrap_method = 0x03;
    second.nik_caching = 1;
    second.gtk_enable = 1;
    EXPECT_EQ(std::memcmp(&second, &services.slot[1].record, sizeof second), 0);
}

TEST_F(config_test, one_service_reads_only_publish1)
{
    json_document document = example_config();
    remove_member(document.get(), "dns_sd_record.publish2");
    const pass_result pass2 = run_pass2(write_config(document.get()), kRolePublish, 1);
    EXPECT_EQ(pass2.result, 1);
    EXPECT_EQ(services.slot[1].record.local_id, 0);

    // With no service to publish no section is read at all.
    remove_member(document.get(), "dns_sd_record");
    EXPECT_EQ(run_pass2(write_config(document.get()), kRolePublish, 0).result, 1);
}

// Without dns_sd_record a publisher finds no publish1 section, and a missing
// section is reported by its first key; a subscriber names the section.
TEST_F(config_test, a_file_without_dns_sd_record_fails_on_the_first_key_a_role_looks_up)
{
    json_document document = example_config();
    remove_member(document.get(), "dns_sd_record");
    const std::string path = write_config(document.get());
    const std::string opened = info("filename: " + path + " \n");
    for (uint32_t count : {1u, 2u}) {
        SCOPED_TRACE(count);
        const pass_result publisher = run_pass2(path, kRolePublish, count);
        EXPECT_EQ(publisher.result, 0);
        EXPECT_EQ(publisher.output,
                  opened + info("role: Publish \n") + info(" \"publish_id\" not found\n"));
    }
    const pass_result subscriber = run_pass2(path, kRoleSubscribe, 1);
    EXPECT_EQ(subscriber.result, 0);
    EXPECT_EQ(subscriber.output,
              opened + info("role: Subscribe \n") + info(" \"dns_sd_record\" not found\n"));
}

struct failure_case {
    const char *name;
    std::function<void(json_object *)> edit;
    int role;
    uint32_t count;
    std::string message; // the pass's last line
};

TEST_F(config_test, each_failure_ends_its_pass_with_its_own_message)
{
    const auto text = [](const char *value) { return json_object_new_string(value); };
    const auto set = [](const std::string &path, json_object *value) {
        return [path, value](json_object *document) { set_member(document, path, value); };
    };
    const auto drop = [](const std::string &path) {
        return [path](json_object *document) { remove_member(document, path); };
    };
    const std::string p1 = "dns_sd_record.publish1.";
    const std::string sub = "dns_sd_record.subscribe.";
    const failure_case cases[] = {
        {"bin_path missing", drop("bin_path"), kRolePublish, 1, info("Cannot find bin path \n")},
        {"basic missing", drop("basic"), kRolePublish, 1, info("Cannot find basic \n")},
        {"iw object missing", drop("bin_path.iw"), kRolePublish, 1, info(" \"iw\" not found\n")},
        {"path null", set("bin_path.wpa_supplicant.wpa_supplicant_log_file", nullptr), kRolePublish,
         1, info(" \"wpa_supplicant_log_file\" not found\n")},
        {"path too long", set("bin_path.iw.iw_path", text(repeated('i', 256).c_str())),
         kRolePublish, 1, info("iw_path length is bigger than 255! \n")},
        {"mac missing", drop("basic.mac_addr"), kRolePublish, 1, info(" \"mac_addr\" not found\n")},
        {"mac short", set("basic.mac_addr", text("02:00:00:00:00:1")), kRolePublish, 1,
         info("wrong mac address 02:00:00:00:00:1 \n")},
        {"publish_id", drop(p1 + "publish_id"), kRolePublish, 1,
         info(" \"publish_id\" not found\n")},
        {"publish2 missing", drop("dns_sd_record.publish2"), kRolePublish, 2,
         info(" \"publish_id\" not found\n")},
        {"service_name", drop(p1 + "service_name"), kRolePublish, 1,
         info(" \"service_name\" not found\n")},
        {"service_name long", set(p1 + "service_name", text(repeated('s', 256).c_str())),
         kRolePublish, 1, info("service_name length is bigger than 255! \n")},
        {"instance", drop(p1 + "name_of_service_instance"), kRolePublish, 1,
         info(" \"name_of_service_instance\" not found\n")},
        {"instance long", set(p1 + "name_of_service_instance", text(repeated('n', 64).c_str())),
         kRolePublish, 1, info("name_of_service_instance length is bigger than 63! \n")},
        {"textinfo", drop(p1 + "textinfo"), kRolePublish, 1, info(" \"textinfo\" not found\n")},
        {"hostname", drop(p1 + "hostname"), kRolePublish, 1, info(" \"hostname\" not found\n")},
        {"hostname long", set(p1 + "hostname", text(repeated('h', 256).c_str())), kRolePublish, 1,
         info("hostname length is bigger than 255! \n")},
        {"port", drop(p1 + "port_number"), kRolePublish, 1, info(" \"port_number\" not found\n")},
        {"security", drop(p1 + "security"), kRolePublish, 1, info(" \"security\" not found\n")},
        {"security PW", set(p1 + "security", text("PW")), kRolePublish, 1,
         info("Unknow security type!\n")},
        {"security Open", set(p1 + "security", text("Open")), kRolePublish, 1,
         info("Unknow security type!\n")},
        {"security long", set(p1 + "security", text("passphrase-and-more")), kRolePublish, 1,
         info("security length is bigger than 15! \n")},
        {"pmk missing", set(p1 + "security", text("pmk")), kRolePublish, 1,
         info(" \"pmk_key\" not found\n")},
        {"pmk 31",
         [&](json_object *d) {
             set_member(d, p1 + "security", text("pmk"));
             set_member(d, p1 + "pmk_key", text(repeated('k', 31).c_str()));
         },
         kRolePublish, 1, info("pmk length is invalid \n")},
        {"pmk 33",
         [&](json_object *d) {
             set_member(d, p1 + "security", text("pmk"));
             set_member(d, p1 + "pmk_key", text(repeated('k', 33).c_str()));
         },
         kRolePublish, 1, info("pmk length is invalid \n")},
        {"bstrap missing", set(p1 + "security", text("pairing")), kRolePublish, 1,
         info(" \"bstrap_method\" not found\n")},
        {"bstrap long",
         [&](json_object *d) {
             set_member(d, p1 + "security", text("pairing"));
             set_member(d, p1 + "bstrap_method", text(repeated('o', 128).c_str()));
         },
         kRolePublish, 1, info("bstrap_method length is bigger than 127! \n")},
        {"pairing passphrase 17",
         [&](json_object *d) {
             set_member(d, p1 + "security", text("pairing"));
             set_member(d, p1 + "bstrap_method", text("opp"));
             set_member(d, p1 + "pairing_passphrase", text(repeated('p', 17).c_str()));
         },
         kRolePublish, 1, info("pairing_passphrase length is bigger than 16! \n")},
        {"nik_caching",
         [&](json_object *d) {
             set_member(d, p1 + "security", text("pairing"));
             set_member(d, p1 + "bstrap_method", text("opp"));
         },
         kRolePublish, 1, info(" \"nik_caching\" not found\n")},
        {"passphrase missing", set(p1 + "security", text("passphrase")), kRolePublish, 1,
         info(" \"passphrase\" or \"pw\" not found\n")},
        {"passphrase 17",
         [&](json_object *d) {
             set_member(d, p1 + "security", text("pw"));
             set_member(d, p1 + "pw", text(repeated('w', 17).c_str()));
         },
         kRolePublish, 1, info("passphrase length is bigger than 16! \n")},
        {"start_cmd long", set(p1 + "start_cmd", text(repeated('c', 1024).c_str())), kRolePublish,
         1, info("start_cmd length is bigger than 1023! \n")},
        {"subscriber without section", drop("dns_sd_record.subscribe"), kRoleSubscribe, 1,
         info(" \"subscribe\" not found\n")},
        {"subscriber without records", drop("dns_sd_record"), kRoleSubscribe, 1,
         info(" \"dns_sd_record\" not found\n")},
        {"subscriber service_name", drop(sub + "service_name"), kRoleSubscribe, 1,
         info(" \"service_name\" not found\n")},
        {"subscriber pairing without nik_caching",
         [&](json_object *d) {
             set_member(d, sub + "security", text("pairing"));
             set_member(d, sub + "bstrap_method", text("opp"));
         },
         kRoleSubscribe, 1, info(" \"nik_caching\" not found\n")},
    };
    for (const failure_case &c : cases) {
        SCOPED_TRACE(c.name);
        json_document document = example_config();
        c.edit(document.get());
        const std::string path = write_config(document.get());
        tool_paths paths{};
        char mac[kMacTextSize] = {};
        pass_result result = run_pass1(path, paths, mac);
        if (result.result == 1) {
            result = run_pass2(path, c.role, c.count);
        }
        EXPECT_EQ(result.result, 0);
        EXPECT_TRUE(ends_with(result.output, c.message)) << result.output;
        std::free(services.slot[0].record.textinfo);
        services = service_table{};
    }
}

TEST_F(config_test, unreadable_or_invalid_files_cannot_be_opened)
{
    const std::string missing = test_folder() + "/none.json";
    const std::string broken = test_folder() + "/broken.json";
    write_file(broken, "{ \"bin_path\": ");
    for (const std::string &path : {missing, broken}) {
        tool_paths paths{};
        char mac[kMacTextSize] = {};
        const pass_result pass1 = run_pass1(path, paths, mac);
        EXPECT_EQ(pass1.result, 0);
        EXPECT_EQ(pass1.output,
                  info("filename: " + path + " \n") + info("Cannot open " + path + "\n"));
        const pass_result pass2 = run_pass2(path, kRolePublish, 1);
        EXPECT_EQ(pass2.result, 0);
        EXPECT_EQ(pass2.output,
                  info("filename: " + path + " \n") + info("Cannot open " + path + "\n"));
    }
}

TEST_F(config_test, a_failure_in_publish1_leaves_publish2_unread)
{
    json_document document = example_config();
    remove_member(document.get(), "dns_sd_record.publish1.hostname");
    EXPECT_EQ(run_pass2(write_config(document.get()), kRolePublish, 2).result, 0);
    EXPECT_EQ(services.slot[1].record.local_id, 0);
}

TEST_F(config_test, accepted_values_at_their_limits_and_conversions)
{
    json_document document = example_config();
    const std::string p1 = "dns_sd_record.publish1.";
    set_member(document.get(), p1 + "security", json_object_new_string("passphrase"));
    set_member(document.get(), p1 + "passphrase", json_object_new_string("0123456789abcdef"));
    set_member(document.get(), p1 + "pw", json_object_new_string("other"));
    set_member(document.get(), p1 + "service_name",
               json_object_new_string(repeated('s', 255).c_str()));
    set_member(document.get(), p1 + "port_number", json_object_new_int(65537));
    set_member(document.get(), p1 + "textinfo", json_object_new_string(repeated('t', 255).c_str()));
    const pass_result pass2 = run_pass2(write_config(document.get()), kRolePublish, 1);
    ASSERT_EQ(pass2.result, 1) << pass2.output;
    const dns_record &record = services.slot[0].record;
    EXPECT_STREQ(record.passphrase, "0123456789abcdef");
    EXPECT_EQ(std::strlen(record.service_name), 255u);
    EXPECT_EQ(+record.port_number, 1);
    // A 255-character text information is dropped without a word.
    EXPECT_EQ(+record.textinfo_len, 0);
    EXPECT_EQ(pass2.output.find("textinfo"), std::string::npos);
}

TEST_F(config_test, subscriber_needs_only_name_and_security_and_gets_subscriber_bits)
{
    json_document document = example_config();
    remove_member(document.get(), "dns_sd_record.subscribe.subscribe_id");
    pass_result pass2 = run_pass2(write_config(document.get()), kRoleSubscribe, 1);
    ASSERT_EQ(pass2.result, 1) << pass2.output;
    EXPECT_EQ(services.slot[0].record.local_id, 0);
    EXPECT_EQ(pass2.output, info("filename: " + test_folder() + "/nanpeer.json \n") +
                                info("role: Subscribe \n") + info("subscribe_id: 0 \n") +
                                info("service_name: demo \n") + info("security type: open \n"));

    const std::string sub = "dns_sd_record.subscribe.";
    set_member(document.get(), sub + "security", json_object_new_string("pairing"));
    set_member(document.get(), sub + "bstrap_method", json_object_new_string("pin_code|qr_code"));
    set_member(document.get(), sub + "nik_caching", json_object_new_int(1));
    pass2 = run_pass2(write_config(document.get()), kRoleSubscribe, 1);
    ASSERT_EQ(pass2.result, 1) << pass2.output;
    EXPECT_EQ(+services.slot[0].record.bstrap_method, 0xA0);
}

TEST(config_values, cvert_text_info_examples_and_overflow)
{
    struct example {
        const char *text;
        std::vector<uint8_t> bytes;
    };
    const example examples[] = {
        {"3 abc|0x2 de", {0x03, 'a', 'b', 'c', 0x02, 'd', 'e'}},
        {"300 a", {0x2C, 'a'}},
        {"0X1F a", {0x00, 'a'}},
        {"0x1ff a", {0xFF, 'a'}},
        {"0x a", {0x00, 'a'}},
        {"abc", {0x00}},
        {"  ||  ", {}},
    };
    for (const example &e : examples) {
        SCOPED_TRACE(e.text);
        uint8_t out[255] = {};
        output_capture quiet;
        const uint16_t count = cvert_text_info(e.text, out, sizeof out);
        ASSERT_EQ(count, e.bytes.size());
        EXPECT_EQ(std::vector<uint8_t>(out, out + count), e.bytes);
    }

    std::string pairs;
    for (int i = 0; i < 50; ++i) {
        pairs += "1 a ";
    }
    ASSERT_EQ(pairs.size(), 200u);
    uint8_t out[255] = {};
    {
        output_capture quiet;
        EXPECT_EQ(cvert_text_info(pairs.c_str(), out, sizeof out), 100);
    }

    output_capture capture;
    EXPECT_EQ(cvert_text_info("3 abc", out, 3), 1);
    EXPECT_EQ(cvert_text_info("1 a 1 a", out, 2), 2);
    EXPECT_EQ(cvert_text_info(nullptr, out, 2), 0);
    EXPECT_EQ(capture.finish(),
              debug("length:3\n") + debug("data:abc\n") +
                  info("cvert text info err! str is too long, len(4) > out_buf_len(3)\n") +
                  debug("length:1\n") + debug("data:a\n") + debug("length:1\n") +
                  info("cvert text info err! str is too long, len(3) > out_buf_len(2)\n") +
                  info("cvert text info err! input error\n"));
}

TEST(config_values, names_of_security_roles_and_bootstrapping_methods)
{
    EXPECT_EQ(get_security_type("open"), security_type::open);
    EXPECT_EQ(get_security_type("pmk"), security_type::pmk);
    EXPECT_EQ(get_security_type("pairing"), security_type::pairing);
    EXPECT_EQ(get_security_type("passphrase"), security_type::passphrase);
    EXPECT_EQ(get_security_type("pw"), security_type::passphrase);
    EXPECT_EQ(get_security_type("pwd"), security_type::unknown);
    EXPECT_EQ(get_role("publish"), kRolePublish);
    EXPECT_EQ(get_role("subscribe"), kRoleSubscribe);
    EXPECT_EQ(get_role("Publish"), kRoleUnknown);
    EXPECT_EQ(get_bstrap_method("opp", kRolePublish), 0x01);
    EXPECT_EQ(get_bstrap_method("opp", kRoleSubscribe), 0x01);
    EXPECT_EQ(get_bstrap_method("pin_code|qr_code", kRolePublish), 0x0A);
    EXPECT_EQ(get_bstrap_method("pin_code|qr_code", kRoleSubscribe), 0xA0);
    EXPECT_EQ(get_bstrap_method("passphraseopp", kRolePublish), 0x05);
    output_capture capture;
    EXPECT_EQ(get_bstrap_method("opp", 2), 0);
    EXPECT_EQ(capture.finish(), info("Unknow role: 2 \n"));
}

TEST_F(config_test, prepare_service_slot_copies_by_security_type)
{
    dns_record record{};
    record.local_id = 4;
    std::strcpy(record.service_name, "svc");
    std::strcpy(record.name_of_service_instance, "svc-1");
    std::strcpy(record.hostname, "host");
    record.port_number = 9000;
    record.gtk_enable = 1;
    uint8_t text[3] = {2, 'h', 'i'};
    record.textinfo = text;
    record.textinfo_len = sizeof text;

    nan_data_mgnt &mgnt = services.slot[1].mgnt;
    output_capture capture;
    record.security = static_cast<uint8_t>(security_type::open);
    prepare_service_slot(kRolePublish, record, mgnt);
    EXPECT_EQ(mgnt.publish_id, 4);
    EXPECT_EQ(mgnt.subscribe_id, 0);
    EXPECT_STREQ(mgnt.service_instance, "svc-1");
    EXPECT_EQ(mgnt.sec_type, 0);
    EXPECT_EQ(mgnt.pairing_info.gtk_enable, 0);
    EXPECT_EQ(+mgnt.data_path.service, reinterpret_cast<uint8_t *>(&services.slot[1]) + 4);
    EXPECT_STREQ(mgnt.data_path.hostname, "host");
    EXPECT_EQ(+mgnt.data_path.port_number, 9000);
    ASSERT_EQ(+mgnt.text_info_len, 3);
    EXPECT_NE(+mgnt.text_info, text); // a block of its own
    EXPECT_EQ(std::memcmp(mgnt.text_info, text, sizeof text), 0);
    std::free(mgnt.text_info);
    record.textinfo_len = 0;

    record.security = static_cast<uint8_t>(security_type::pmk);
    std::memcpy(record.pmk_key, "0123456789abcdef0123456789abcdef", 32);
    prepare_service_slot(kRoleSubscribe, record, mgnt);
    EXPECT_EQ(mgnt.subscribe_id, 4);
    EXPECT_EQ(mgnt.publish_id, 0);
    EXPECT_EQ(mgnt.sec_type, 1);
    EXPECT_EQ(mgnt.pairing_info.gtk_enable, 1);
    EXPECT_EQ(std::memcmp(mgnt.pmk, record.pmk_key, 32), 0);
    EXPECT_EQ(std::memcmp(mgnt.data_path.pmk, record.pmk_key, 32), 0);

    record.security = static_cast<uint8_t>(security_type::passphrase);
    std::strcpy(record.passphrase, "secret");
    prepare_service_slot(kRolePublish, record, mgnt);
    EXPECT_EQ(mgnt.sec_type, 2);
    EXPECT_STREQ(mgnt.passphrase, "secret");
    EXPECT_EQ(+mgnt.passphrase_len, 6);
    EXPECT_STREQ(mgnt.data_path.passphrase, "secret");
    EXPECT_EQ(+mgnt.data_path.passphrase_len, 6);

    record.security = static_cast<uint8_t>(security_type::pairing);
    std::strcpy(record.pairing_passphrase, "pairpw");
    record.nik_caching = 1;
    record.bstrap_method = 0x0109;
    capture.finish();
    output_capture pairing_capture;
    prepare_service_slot(kRolePublish, record, mgnt);
    EXPECT_EQ(pairing_capture.finish(), debug("pw: pairpw\n") + debug("pw_len: 6\n"));
    EXPECT_EQ(mgnt.sec_type, 3);
    EXPECT_STREQ(mgnt.pairing_info.pw, "pairpw");
    EXPECT_EQ(mgnt.pairing_info.pw_len, 6);
    EXPECT_EQ(mgnt.pairing_info.nik_caching, 1);
    EXPECT_EQ(+mgnt.pairing_info.bstrap_method, 0x09);
    EXPECT_EQ(+mgnt.passphrase_len, 0);
}
