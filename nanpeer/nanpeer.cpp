// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// Start-up of nanpeer in its fixed order, then the wait and shutdown.
#include "nanpeer.h"

#include <cstdio>
#include <cstring>

#include "command_line.h"
#include "config.h"
#include "event_ring.h"
#include "lifecycle.h"
#include "log.h"
#include "owner.h"
#include "process_globals.h"
#include "radio_lookup.h"
#include "sdcore.h"
#include "service_table.h"

namespace {

constexpr uint32_t kSubscriberHeadStartSeconds = 5;

} // namespace

int run(int argc, char **argv)
{
    // nanpeer runs for long and its output usually goes to a file or a pipe:
    // each line should be there when it happens, not when a buffer fills.
    static_cast<void>(std::setvbuf(stdout, nullptr, _IOLBF, 0)); // else it stays buffered
    // Handed to the library with every publish and subscribe call; it must
    // live until dns_stop_service has returned, which happens in this frame.
    tool_paths paths{};
    char mac_text[kMacTextSize] = {};

    command_line options;
    switch (parse_command_line(argc, argv, options)) {
    case command_line_result::run:
        break;
    case command_line_result::exit_ok:
        return 0;
    case command_line_result::exit_fail:
        return 1;
    }
    service_count = options.service_count;
    services.timeout = options.timeout;

    if (!parse_basic_config(options.config_path, paths, mac_text) ||
        !parse_dns_sd_record(options.config_path, options.role)) {
        nan_log(log_severity::info, "Configuration file parser failed!!!\n");
        return 1;
    }
    uint16_t radio = 0;
    if (!get_phy_from_mac(mac_text, radio)) {
        nan_log(log_severity::info, "failed to get phy from %s!!!\n", mac_text);
        return 1;
    }
    for (uint32_t index = 0; index < service_count; ++index) {
        ServiceSlot &slot = services.slot[index];
        prepare_service_slot(options.role, slot.record, slot.mgnt);
    }

    // The thread that handles every event, from the first one on: it waits
    // for owner_begin(), so events the library reports from inside its
    // publish or subscribe call wait in the ring until the stop handlers
    // are in place.
    if (const int error = owner_start(); error != 0) {
        nan_log(log_severity::info, "event thread: %s\n", std::strerror(-error));
        return 1;
    }
    dns_register_evt_cb(on_dns_event);
    if (options.role == kRoleSubscribe) {
        dns_subscribe(radio, &paths, service_pointer(services.slot[0].mgnt), options.bstrap_flag);
        // The subscriber's wait begins later on the peer's side; end earlier.
        if (services.timeout > kSubscriberHeadStartSeconds) {
            services.timeout -= kSubscriberHeadStartSeconds;
        }
    } else {
        for (uint32_t index = 0; index < service_count; ++index) {
            dns_publish(radio, &paths, service_pointer(services.slot[index].mgnt),
                        options.bstrap_flag);
        }
    }
    // Only now: a signal before keeps its default action.
    install_stop_signals();
    owner_begin();

    wait_for_stop(services.timeout);
    owner_shut_down(radio);
    return 0;
}
