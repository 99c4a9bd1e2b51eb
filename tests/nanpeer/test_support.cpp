// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// Output capture, shell stand-ins, the fixture and record builders.
#include "test_support.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "config.h"
#include "event_ring.h"
#include "owner.h"
#include "process_globals.h"
#include "response_timer.h"
#include "sdcore_double.h"
#include "service_table.h"
#include "stopping.h"

namespace {

std::string stand_in_folder;

std::string commands_log()
{
    return stand_in_folder + "/commands.log";
}

std::string hold_file(const std::string &name)
{
    return stand_in_folder + "/hold-" + name;
}

// The stand-ins go first on PATH once, before any test starts a thread.
class stand_in_environment : public ::testing::Environment {
public:
    void SetUp() override
    {
        char folder[] = "/tmp/nanpeer-stand-ins-XXXXXX";
        ASSERT_NE(mkdtemp(folder), nullptr);
        stand_in_folder = folder;
        // Each logs its command line, then waits while its hold file exists.
        for (const std::string name : {"ip", "ping6", "svc"}) {
            std::string script = "#!/bin/sh\necho \"";
            script += name;
            script += " $*\" >> \"";
            script += commands_log();
            script += "\"\nwhile [ -e \"";
            script += hold_file(name);
            script += "\" ]; do sleep 0.01; done\n";
            std::string path = stand_in_folder;
            path += "/";
            path += name;
            write_file(path, script, true);
        }
        const char *path = std::getenv("PATH");
        const std::string search =
            stand_in_folder + ":" + (path == nullptr ? "/usr/bin:/bin" : path);
        setenv("PATH", search.c_str(), 1);
        ASSERT_EQ(stopping_init(), 0);
        ASSERT_EQ(event_ring_init(), 0);
    }
    void TearDown() override { std::filesystem::remove_all(stand_in_folder); }
};

const auto *const registered_environment =
    ::testing::AddGlobalTestEnvironment(new stand_in_environment);

std::string current_folder;

void free_text_blocks()
{
    for (ServiceSlot &slot : services.slot) {
        std::free(slot.mgnt.text_info);
        std::free(slot.record.textinfo);
        slot.mgnt.text_info = nullptr;
        slot.record.textinfo = nullptr;
    }
}

} // namespace

output_capture::output_capture(int fd) : fd_(fd)
{
    std::fflush(stdout);
    std::fflush(stderr);
    char name[] = "/tmp/nanpeer-capture-XXXXXX";
    file_ = mkostemp(name, O_CLOEXEC);
    unlink(name);
    saved_ = fcntl(fd_, F_DUPFD_CLOEXEC, 0);
    dup2(file_, fd_);
}

output_capture::~output_capture()
{
    if (saved_ >= 0) {
        finish();
    }
}

std::string output_capture::finish()
{
    if (saved_ < 0) {
        return {};
    }
    std::fflush(stdout);
    std::fflush(stderr);
    dup2(saved_, fd_);
    close(saved_);
    saved_ = -1;
    std::string text;
    char buffer[4096];
    ssize_t count = 0;
    off_t offset = 0;
    while ((count = pread(file_, buffer, sizeof buffer, offset)) > 0) {
        text.append(buffer, static_cast<std::size_t>(count));
        offset += count;
    }
    close(file_);
    return text;
}

std::string info(const std::string &text)
{
    return "\033[m[nanpeer] " + text + "\033[m";
}
std::string warning(const std::string &text)
{
    return "\033[1;33m[nanpeer] " + text + "\033[m";
}

std::string test_folder()
{
    return current_folder;
}

void write_file(const std::string &path, const std::string &content, bool executable)
{
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out << content;
    }
    if (executable) {
        chmod(path.c_str(), 0755);
    }
}

std::string read_file(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

std::vector<std::string> shell_commands()
{
    std::vector<std::string> lines;
    std::ifstream in(commands_log());
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

void clear_shell_commands()
{
    std::filesystem::remove(commands_log());
}

void hold_stand_in(const std::string &name)
{
    write_file(hold_file(name), "");
}

void release_stand_in(const std::string &name)
{
    std::filesystem::remove(hold_file(name));
}

void nanpeer_test::SetUp()
{
    char folder[] = "/tmp/nanpeer-test-XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    current_folder = folder;
    free_text_blocks();
    services = service_table{};
    service_count = 1;
    qvx_iw = nullptr;
    qvx_nan_r3 = nullptr;
    // A stop of the test before, and what it left queued, are forgotten.
    stop_flag.store(0);
    uint64_t count = 0;
    [[maybe_unused]] const ssize_t drained = read(stopping_fd(), &count, sizeof count);
    queued_event left{};
    while (event_ring_pop(left)) {
    }
    event_ring_drain_wake();
    delete_response_timer();
    sdcore_double::reset();
    dns_register_evt_cb(on_dns_event);
    sdcore_double::reset();
    clear_shell_commands();
}

void nanpeer_test::TearDown()
{
    for (const char *name : {"ip", "ping6", "svc"}) {
        release_stand_in(name);
    }
    free_text_blocks();
    std::filesystem::remove_all(current_folder);
}

void deliver_and_handle(uint32_t event_id, const void *record, int length)
{
    sdcore_double::deliver(event_id, record, length);
    handle_pending_messages();
}

namespace {

constexpr uint8_t kSelfMac[6] = {0x02, 0x00, 0x00, 0x00, 0x00, 0x01};

nan_data_mgnt &prepare(int slot, int role, uint8_t local_id, sec_type security)
{
    ServiceSlot &target = services.slot[slot];
    dns_record &record = target.record;
    record.local_id = local_id;
    std::snprintf(record.service_name, sizeof record.service_name, "demo%d", slot);
    std::snprintf(record.hostname, sizeof record.hostname, "host%d", slot);
    record.port_number = static_cast<uint16_t>(8080 + slot);
    std::snprintf(record.start_cmd, sizeof record.start_cmd, "svc start %d", slot);
    std::snprintf(record.end_cmd, sizeof record.end_cmd, "svc end %d", slot);
    switch (security) {
    case sec_type::open:
        record.security = static_cast<uint8_t>(security_type::open);
        break;
    case sec_type::pmk:
        record.security = static_cast<uint8_t>(security_type::pmk);
        std::memcpy(record.pmk_key, "0123456789abcdef0123456789abcdef", 32);
        break;
    case sec_type::passphrase:
        record.security = static_cast<uint8_t>(security_type::passphrase);
        std::snprintf(record.passphrase, sizeof record.passphrase, "secret");
        break;
    case sec_type::pairing:
        record.security = static_cast<uint8_t>(security_type::pairing);
        record.bstrap_method = 0x01;
        record.nik_caching = 1;
        std::snprintf(record.pairing_passphrase, sizeof record.pairing_passphrase, "pairpw");
        break;
    }
    output_capture quiet;
    prepare_service_slot(role, record, target.mgnt);
    if (role == kRoleSubscribe) {
        std::memcpy(target.mgnt.self_mac, kSelfMac, sizeof kSelfMac);
    }
    return target.mgnt;
}

} // namespace

nan_data_mgnt &prepare_subscriber(sec_type security)
{
    service_count = 1;
    return prepare(0, kRoleSubscribe, 7, security);
}

nan_data_mgnt &prepare_publisher(int slot, uint8_t publish_id, sec_type security)
{
    return prepare(slot, kRolePublish, publish_id, security);
}

bool timer_armed()
{
    return response_timer_armed();
}

void disarm_timer()
{
    delete_response_timer();
}

dns_discovery_result_record discovery(uint8_t publisher_id, uint8_t pmk_set, uint8_t pairing_enable,
                                      uint8_t paired)
{
    dns_discovery_result_record record{};
    record.subscribe_id = 7;
    record.publisher_id = publisher_id;
    const uint8_t peer[6] = {0x02, 0x00, 0x00, 0x00, 0x00, 0x02};
    std::memcpy(record.peer_nmi, peer, sizeof peer);
    const uint8_t service_id[6] = {0xaa, 0xbb, 0xcc, 0xdd, 0xee, 0xff};
    std::memcpy(record.service_id, service_id, sizeof service_id);
    std::snprintf(record.service_name, sizeof record.service_name, "peer-service");
    std::snprintf(record.service_instance, sizeof record.service_instance, "peer-1");
    record.pmk_set = pmk_set;
    record.pairing_enable = pairing_enable;
    record.paired = paired;
    return record;
}

dns_data_indication_record indication(uint8_t publish_id, uint8_t ndp_id, uint8_t security)
{
    dns_data_indication_record record{};
    record.type = 1;
    record.publish_id = publish_id;
    record.ndp_id = ndp_id;
    const uint8_t initiator[6] = {0x00, 0x11, 0x22, 0x33, 0x44, 0x55};
    const uint8_t responder[6] = {0x00, 0xaa, 0xbb, 0xcc, 0xdd, 0xee};
    std::memcpy(record.initiator_ndi, initiator, 6);
    std::memcpy(record.responder_ndi, responder, 6);
    record.security = security;
    return record;
}

dns_data_confirm_record confirm(uint8_t ndp_id, uint8_t status)
{
    dns_data_confirm_record record{};
    record.type = 2;
    record.status = status;
    record.ndp_id = ndp_id;
    const uint8_t initiator[6] = {0x00, 0x11, 0x22, 0x33, 0x44, 0x55};
    const uint8_t responder[6] = {0x00, 0xaa, 0xbb, 0xcc, 0xdd, 0xee};
    std::memcpy(record.initiator_ndi, initiator, 6);
    std::memcpy(record.responder_ndi, responder, 6);
    std::snprintf(record.host_name, sizeof record.host_name, "peerhost");
    record.port_number = 8080;
    return record;
}

dns_bstrap_result_record bstrap_result(uint8_t status, uint8_t peer_id, uint8_t own_id,
                                       uint8_t role, uint16_t method)
{
    dns_bstrap_result_record record{};
    record.status = status;
    record.peer_id = peer_id;
    record.own_id = own_id;
    record.role = role;
    record.bstrap_method = method;
    const uint8_t peer[6] = {0x02, 0x00, 0x00, 0x00, 0x00, 0x03};
    std::memcpy(record.peer_nmi, peer, 6);
    return record;
}

dns_pasn_result_record pasn_result(uint8_t status, uint8_t local_role)
{
    dns_pasn_result_record record{};
    record.status = status;
    record.local_role = local_role;
    record.pairing_type = 1;
    record.remote_nik_caching = 1;
    const uint8_t peer[6] = {0x02, 0x00, 0x00, 0x00, 0x00, 0x04};
    std::memcpy(record.peer_nmi, peer, 6);
    return record;
}

dns_data_end_record data_end(uint8_t ndp_id)
{
    dns_data_end_record record{};
    record.ndp_id = ndp_id;
    return record;
}

dns_data_established_record established(uint8_t ndp_id)
{
    dns_data_established_record record{};
    record.ndp_id = ndp_id;
    return record;
}
