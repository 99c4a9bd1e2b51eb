// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// The attribute tree served through FUSE, as the driver lays it out in sysfs.
#pragma once

#include <cstdint>

#include "simulator.h"

struct fuse_lowlevel_ops;

namespace touchsim {

// The operations of the tree; their userdata is the Simulator.
const fuse_lowlevel_ops &attribute_tree_ops();

// A pause before every read is answered, as a slow bus to the controller
// would take (zero, the default, for none). Set before the tree is served.
void set_read_delay_us(uint32_t delay_us);

// Makes the kernel drop its cached entry for an attribute that was removed
// or restored. Call without holding the simulator's lock.
void forget_attribute_entry(Simulator &sim, const AttrInfo &attr);

} // namespace touchsim
