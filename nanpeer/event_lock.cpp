// Definition of the event lock.
#include "event_lock.h"

std::mutex event_mutex;
