// The lock that serialises event handling, timer ticks and shutdown.
#pragma once

#include <mutex>

// Held while an event is handled, while a tick runs and while shutdown
// touches the slots. Never held across dns_stop_service: a library may join
// its event thread there while that thread waits for this lock.
extern std::mutex event_mutex;
