// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// The event lock and the per-thread busy count.
#include "event_lock.h"

#include "events.h"

std::mutex event_mutex;

namespace {

thread_local unsigned busy_depth = 0;

} // namespace

busy_scope::busy_scope()
{
    ++busy_depth;
}

busy_scope::~busy_scope()
{
    if (--busy_depth == 0) {
        handle_deferred_events();
    }
}

bool thread_is_busy()
{
    return busy_depth != 0;
}

table_lock::table_lock() : lock_(event_mutex) { }
