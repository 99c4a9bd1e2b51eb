// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// The simulator's settings, taken from its environment (the tools read none):
//   SDCORE_SIM_MEDIUM        folder of the shared medium (default /tmp/sdcore-sim)
//   SDCORE_SIM_TRACE         file that receives the trace (default: none)
//   SDCORE_SIM_FAULTS        faults to inject (fault_plan.h)
//   SDCORE_SIM_MAC           this radio's address, instead of the interface's
//   SDCORE_SIM_ANNOUNCE_MS   a publisher's announcement interval (default 1000)
//   SDCORE_SIM_STOP_WAIT_MS  how long dns_stop_service waits for a callback
//                            that has not returned (default 2000)
#pragma once

#include <cstddef>

#include "engine.h"

namespace sdcore_sim {

using environment_lookup = const char *(*)(const char *name);

inline constexpr char kDefaultMedium[] = "/tmp/sdcore-sim";

// Fills `config`; the address comes from SDCORE_SIM_MAC or else from the
// interface `ifname`. 0, or -errno with a message in `error`.
int load_settings(environment_lookup lookup, const char *ifname, engine_config &config, char *error,
                  std::size_t error_size);

} // namespace sdcore_sim
