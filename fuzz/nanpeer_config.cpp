// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// nanpeer's configuration file, both passes, from the file's bytes. The
// first input byte picks the role and the number of services, the rest is
// the file. After the passes the slots are prepared as start-up prepares
// them, and the table is checked.
#include "config.h"
#include "fuzz_support.h"
#include "nanpeer_stand_ins.h"
#include "process_globals.h"
#include "service_table.h"
#include "tool_paths.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

namespace {

// The file lives in memory; json-c opens it by its /proc path.
struct ConfigFile {
    int fd = -1;
    char path[64] = {};
};

ConfigFile &config_file()
{
    static ConfigFile file = [] {
        ConfigFile made;
        made.fd = memfd_create("nanpeer-config", MFD_CLOEXEC);
        fuzz_require(made.fd >= 0, "no memory file for the configuration");
        std::snprintf(made.path, sizeof made.path, "/proc/self/fd/%d", made.fd);
        return made;
    }();
    return file;
}

void write_config(const uint8_t *data, size_t size)
{
    const ConfigFile &file = config_file();
    fuzz_require(ftruncate(file.fd, 0) == 0, "cannot empty the configuration file");
    fuzz_require(pwrite(file.fd, data, size, 0) == static_cast<ssize_t>(size),
                 "cannot write the configuration file");
}

template <size_t N>
bool terminated(const char (&field)[N])
{
    return std::memchr(field, '\0', N) != nullptr;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    // -r and -n as the command line would give them.
    const int role = (data[0] & 1) != 0 ? kRoleSubscribe : kRolePublish;
    service_count = static_cast<uint32_t>((data[0] >> 1) % 3);
    write_config(data + 1, size - 1);

    tool_paths paths{};
    char mac_text[kMacTextSize] = {};
    const int basic = parse_basic_config(config_file().path, paths, mac_text);
    const int services_read = parse_dns_sd_record(config_file().path, role);

    fuzz_require(
        terminated(paths.iw_path) && terminated(paths.nan_r3_path) &&
            terminated(paths.wpa_supplicant_path) && terminated(paths.wpa_supplicant_conf_path) &&
            terminated(paths.wpa_supplicant_log_file) && terminated(paths.wpa_supplicant_dbg_para),
        "a tool path without its terminator");
    fuzz_require(terminated(mac_text), "a MAC text without its terminator");
    if (basic) {
        fuzz_require(std::strlen(mac_text) == kMacTextSize - 1,
                     "a MAC text accepted at the wrong length");
        fuzz_require(qvx_iw == paths.iw_path && qvx_nan_r3 == paths.nan_r3_path,
                     "the exported paths point elsewhere");
    }
    const bool prepared = basic && services_read;
    if (prepared) {
        for (uint32_t index = 0; index < service_count; ++index)
            prepare_service_slot(role, services.slot[index].record, services.slot[index].mgnt);
    }
    require_sound_service_table(prepared ? service_count : 0);
    reset_service_table();
    return 0;
}
