// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// Names of the event ids and of the library calls, as the trace and the
// fault settings write them.
#pragma once

#include <cstdint>
#include <string_view>

namespace sdcore_sim {

// "DNS_DISCOVERY_RESULT" ..., or nullptr for an id the library never sends.
const char *event_name(uint32_t event_id);
// The id named `name`; -1 when there is none.
int event_id_by_name(std::string_view name);
// Whether `name` is one of the dns_* calls.
bool is_call_name(std::string_view name);

} // namespace sdcore_sim
