// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// The lock that keeps the service table to one thread at a time, and the
// bookkeeping that defers events a library delivers from inside its calls.
#pragma once

#include <mutex>

// Held while a thread reads or changes the service table: an event handler
// between its blocking steps, a tick, the slot-touching part of shutdown.
// Never held across a shell command, a pause or dns_stop_service, so none
// of them holds up another thread's use of the table.
extern std::mutex event_mutex;

// Marks the calling thread busy: inside a library call or holding the
// table. An event that the library delivers on a busy thread cannot be
// handled there and then (the handler would wait for the lock this thread
// holds, or change the table in the middle of a change), so it waits in the
// thread's own queue and is handled as soon as the thread is busy no more.
class busy_scope {
public:
    busy_scope();
    ~busy_scope();
    busy_scope(const busy_scope &) = delete;
    busy_scope &operator=(const busy_scope &) = delete;
};

// Whether the calling thread is inside a busy_scope.
bool thread_is_busy();

// event_mutex for the life of the object, except between unlock and relock:
// a handler lets go of the table around a blocking step and, once it has
// it back, checks that its slot is still the one it left.
class table_lock {
public:
    table_lock();
    table_lock(const table_lock &) = delete;
    table_lock &operator=(const table_lock &) = delete;

    // Both may be called when the lock is already in the state asked for.
    void unlock()
    {
        if (lock_.owns_lock()) {
            lock_.unlock();
        }
    }
    void relock()
    {
        if (!lock_.owns_lock()) {
            lock_.lock();
        }
    }

private:
    // Declared first: the thread is still busy while the lock is given
    // back, and deferred events are handled only after that.
    busy_scope busy_;
    std::unique_lock<std::mutex> lock_;
};

// Runs one call into libsdcore; an event the library delivers on this
// thread during the call is handled after it.
template <typename Call>
auto library_call(Call call)
{
    const busy_scope busy;
    return call();
}
