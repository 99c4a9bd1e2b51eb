// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// The NAN identity keys (NIK) that pairing setup leaves behind, kept in the
// medium folder so that a later run of either side can verify the pairing.
#pragma once

#include "mac_address.h"
#include "security_keys.h"

namespace sdcore_sim {

// <medium>/nik/<self>-<peer>, twelve hexadecimal digits each.
// Both return 0 or -errno; a missing entry is -ENOENT.
int nik_cache_store(const char *medium_dir, const mac_address &self, const mac_address &peer,
                    const key_digest &nik);
int nik_cache_load(const char *medium_dir, const mac_address &self, const mac_address &peer,
                   key_digest &nik);

} // namespace sdcore_sim
