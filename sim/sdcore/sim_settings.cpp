// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// The simulator's settings, taken from its environment.
#include "sim_settings.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>

namespace sdcore_sim {

namespace {
template <std::size_t N>
int copy_setting(char (&to)[N], const char *value, const char *name, char *error,
                 std::size_t error_size)
{
    const std::size_t length = std::strlen(value);
    if (length >= N) {
        std::snprintf(error, error_size, "%s is longer than %zu characters", name, N - 1);
        return -ENAMETOOLONG;
    }
    std::memset(to, 0, N);
    std::memcpy(to, value, length);
    return 0;
}

int parse_milliseconds(const char *value, const char *name, uint32_t &out, char *error,
                       std::size_t error_size)
{
    uint32_t result = 0;
    std::size_t digits = 0;
    for (const char *c = value; *c != '\0'; ++c, ++digits) {
        if (*c < '0' || *c > '9' || digits == 7) {
            std::snprintf(error, error_size,
                          "%s must be a number of milliseconds below 10000000, not '%s'", name,
                          value);
            return -EINVAL;
        }
        result = result * 10 + static_cast<uint32_t>(*c - '0');
    }
    if (digits == 0 || result == 0) {
        std::snprintf(error, error_size, "%s must be a positive number of milliseconds, not '%s'",
                      name, value);
        return -EINVAL;
    }
    out = result;
    return 0;
}
} // namespace

int load_settings(environment_lookup lookup, const char *ifname, engine_config &config, char *error,
                  std::size_t error_size)
{
    config = engine_config{};
    const char *medium = lookup("SDCORE_SIM_MEDIUM");
    if (int rc = copy_setting(config.medium_dir,
                              medium != nullptr && medium[0] != '\0' ? medium : kDefaultMedium,
                              "SDCORE_SIM_MEDIUM", error, error_size);
        rc != 0) {
        return rc;
    }
    if (const char *trace = lookup("SDCORE_SIM_TRACE"); trace != nullptr) {
        if (int rc = copy_setting(config.trace_path, trace, "SDCORE_SIM_TRACE", error, error_size);
            rc != 0)
            return rc;
    }
    if (const char *faults = lookup("SDCORE_SIM_FAULTS"); faults != nullptr) {
        if (int rc = copy_setting(config.faults, faults, "SDCORE_SIM_FAULTS", error, error_size);
            rc != 0)
            return rc;
    }
    if (const char *value = lookup("SDCORE_SIM_ANNOUNCE_MS"); value != nullptr) {
        if (int rc = parse_milliseconds(value, "SDCORE_SIM_ANNOUNCE_MS", config.announce_ms, error,
                                        error_size);
            rc != 0) {
            return rc;
        }
    }
    if (const char *value = lookup("SDCORE_SIM_STOP_WAIT_MS"); value != nullptr) {
        if (int rc = parse_milliseconds(value, "SDCORE_SIM_STOP_WAIT_MS", config.stop_wait_ms,
                                        error, error_size);
            rc != 0) {
            return rc;
        }
    }
    if (const char *mac = lookup("SDCORE_SIM_MAC"); mac != nullptr) {
        if (parse_mac(mac, config.mac) == 0) {
            std::snprintf(error, error_size,
                          "SDCORE_SIM_MAC is not an address like 02:00:00:00:00:01: '%s'", mac);
            return -EINVAL;
        }
    } else if (int rc = read_interface_mac(ifname, config.mac); rc != 0) {
        std::snprintf(error, error_size, "cannot read the address of %s: %s", ifname,
                      std::strerror(-rc));
        return rc;
    }
    if (is_zero_mac(config.mac.data())) {
        std::snprintf(error, error_size, "the address of %s is 00:00:00:00:00:00", ifname);
        return -EADDRNOTAVAIL;
    }
    if (::mkdir(config.medium_dir, 0755) != 0 && errno != EEXIST) {
        const int rc = -errno;
        std::snprintf(error, error_size, "cannot create the medium folder %s: %s",
                      config.medium_dir, std::strerror(-rc));
        return rc;
    }
    return 0;
}

} // namespace sdcore_sim
