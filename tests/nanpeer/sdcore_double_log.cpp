// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// For the libsdcore.so build of the double: every call is appended as one
// line to the file named by NANPEER_DOUBLE_LOG, so a test that runs the
// real nanpeer binary can read what the program asked of the library.
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>

#include "sdcore_double.h"

namespace {

struct call_log {
    call_log()
    {
        const char *path = std::getenv("NANPEER_DOUBLE_LOG");
        if (path == nullptr) {
            return;
        }
        const std::string file = path;
        sdcore_double::set_call_observer([file](const sdcore_double::recorded_call &call) {
            static std::mutex mutex;
            std::lock_guard<std::mutex> lock(mutex);
            if (FILE *out = std::fopen(file.c_str(), "ae")) {
                std::fprintf(out, "%s %ld %d\n", call.name.c_str(), call.number, call.flag);
                static_cast<void>(std::fclose(out));
            }
        });
    }
};

const call_log installed;

} // namespace
