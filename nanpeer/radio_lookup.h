// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// Finding the radio that carries our MAC address in the iw listing.
#pragma once

#include <cstdint>

// Runs "<qvx_iw> dev" and reads its words: the radio is the number of the
// latest "phy#" word seen before the word that contains mac_text.
// Returns 1 and sets radio when found, else 0 (radio then stays 0).
int get_phy_from_mac(const char *mac_text, uint16_t &radio);
