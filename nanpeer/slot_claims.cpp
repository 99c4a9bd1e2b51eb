// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// Per-slot claim counters, kept beside the table: the slot layout belongs
// to the library and has no room for them.
#include "slot_claims.h"

#include <cstddef>

#include "service_table.h"

namespace {

struct slot_claim {
    uint32_t generation;
    bool end_under_way;
};

// Guarded by event_mutex.
constexpr std::size_t kSlots = sizeof(service_table::slot) / sizeof(ServiceSlot);
slot_claim claims[kSlots] = {};

slot_claim &claim_of(const nan_data_mgnt &mgnt)
{
    const auto *slot = reinterpret_cast<const ServiceSlot *>(&mgnt);
    return claims[static_cast<std::size_t>(slot - services.slot)];
}

} // namespace

uint32_t claim_slot(const nan_data_mgnt &mgnt)
{
    return ++claim_of(mgnt).generation;
}

bool claim_holds(const nan_data_mgnt &mgnt, uint32_t claim)
{
    return claim_of(mgnt).generation == claim;
}

void end_claims(const nan_data_mgnt &mgnt)
{
    ++claim_of(mgnt).generation;
}

void set_end_under_way(const nan_data_mgnt &mgnt, bool under_way)
{
    claim_of(mgnt).end_under_way = under_way;
}

bool end_under_way(const nan_data_mgnt &mgnt)
{
    return claim_of(mgnt).end_under_way;
}
