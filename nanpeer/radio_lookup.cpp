// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// The radio lookup through the iw tool's interface listing.
#include "radio_lookup.h"

#include <cstdio>
#include <cstring>
#include <memory>

#include "log.h"
#include "process_globals.h"

namespace {

struct pipe_close {
    void operator()(FILE *pipe) const { pclose(pipe); }
};
using command_pipe = std::unique_ptr<FILE, pipe_close>;

// The digits right after "phy#" (the word's fifth character on), in 16-bit
// arithmetic; no digit gives 0.
uint16_t radio_number(const char *radio_word)
{
    uint16_t number = 0;
    for (const char *digit = radio_word + 4; *digit >= '0' && *digit <= '9'; ++digit) {
        number = static_cast<uint16_t>(number * 10 + (*digit - '0'));
    }
    return number;
}

} // namespace

int get_phy_from_mac(const char *mac_text, uint16_t &radio)
{
    radio = 0;
    char command[512];
    std::snprintf(command, sizeof command, "%s dev", qvx_iw == nullptr ? "" : qvx_iw);
    std::fflush(stdout);
    // "e": the read end is close-on-exec, so later children do not inherit it.
    // NOLINTNEXTLINE(cert-env33-c): the board's iw answers this, and only it
    command_pipe pipe(popen(command, "re"));
    if (!pipe) {
        nan_log(log_severity::info, "[qvx_cmd]Failed to run command\n");
        return 0;
    }
    char word[50];
    char radio_word[50] = {};
    bool radio_seen = false;
    while (std::fscanf(pipe.get(), "%49s", word) == 1) {
        if (std::strstr(word, "phy#") != nullptr) {
            std::memcpy(radio_word, word, sizeof radio_word);
            radio_seen = true;
        }
        // An address listed before any radio block belongs to no radio.
        if (radio_seen && std::strstr(word, mac_text) != nullptr) {
            radio = radio_number(radio_word);
            nan_log(log_severity::info, "%s find phy%d! \n", __func__, radio);
            return 1;
        }
    }
    return 0;
}
