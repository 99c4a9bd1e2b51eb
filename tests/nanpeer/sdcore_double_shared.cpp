// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// The libsdcore.so build of the double, driven by its environment, for the
// tests that run the real nanpeer binary:
//   NANPEER_DOUBLE_LOG     every call is appended to this file as one line
//   NANPEER_DOUBLE_EVENTS  a script of events to deliver when given calls are
//                          made, one event a line:
//     CALL[#N] inside|thread DELAY_MS EVENT_ID LENGTH HEX|-
//   inside: from inside the N-th call of CALL (default the first), on the
//           caller's thread, after DELAY_MS, before the call returns;
//   thread: queued for the double's own thread when that call is made; the
//           thread waits DELAY_MS after the job before it, then delivers.
//   The record is a block of exactly LENGTH bytes (so that reading past it
//   is caught), the HEX bytes first and zeros after them; "-" delivers no
//   record. Lines that are empty or start with '#' are skipped.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "sdcore_double.h"

namespace {

struct scripted_event {
    std::string call;
    unsigned occurrence = 1;
    bool inside = false;
    unsigned delay_ms = 0;
    uint32_t event_id = 0;
    int length = 0;
    bool has_record = true;
    std::vector<uint8_t> bytes;
};

std::vector<uint8_t> from_hex(const std::string &hex)
{
    std::vector<uint8_t> bytes;
    for (std::size_t at = 0; at + 1 < hex.size(); at += 2) {
        bytes.push_back(static_cast<uint8_t>(std::stoul(hex.substr(at, 2), nullptr, 16)));
    }
    return bytes;
}

std::vector<scripted_event> read_script(const char *path)
{
    std::vector<scripted_event> script;
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);) {
        if (line.empty() || line[0] == '#') {
            continue;
        }
        std::istringstream words(line);
        scripted_event event;
        std::string how;
        std::string hex;
        words >> event.call >> how >> event.delay_ms >> event.event_id >> event.length >> hex;
        if (const std::size_t mark = event.call.find('#'); mark != std::string::npos) {
            event.occurrence = static_cast<unsigned>(std::stoul(event.call.substr(mark + 1)));
            event.call.resize(mark);
        }
        event.inside = how == "inside";
        event.has_record = hex != "-";
        if (event.has_record) {
            event.bytes = from_hex(hex);
        }
        event.bytes.resize(static_cast<std::size_t>(event.length > 0 ? event.length : 0));
        script.push_back(std::move(event));
    }
    return script;
}

class environment_driven {
public:
    environment_driven()
    {
        if (const char *path = std::getenv("NANPEER_DOUBLE_LOG")) {
            log_path_ = path;
        }
        if (const char *path = std::getenv("NANPEER_DOUBLE_EVENTS")) {
            script_ = read_script(path);
        }
        if (log_path_.empty() && script_.empty()) {
            return;
        }
        sdcore_double::set_call_observer(
            [this](const sdcore_double::recorded_call &call) { on_call(call); });
    }

private:
    void on_call(const sdcore_double::recorded_call &call)
    {
        unsigned occurrence = 0;
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            if (!log_path_.empty()) {
                if (FILE *out = std::fopen(log_path_.c_str(), "ae")) {
                    std::fprintf(out, "%s %ld %d\n", call.name.c_str(), call.number, call.flag);
                    static_cast<void>(std::fclose(out));
                }
            }
            occurrence = ++seen_[call.name];
        }
        for (const scripted_event &event : script_) {
            if (event.call != call.name || event.occurrence != occurrence) {
                continue;
            }
            const void *record = event.has_record ? event.bytes.data() : nullptr;
            if (event.inside) {
                std::this_thread::sleep_for(std::chrono::milliseconds(event.delay_ms));
                const dns_evt_cb callback = sdcore_double::registered_callback();
                if (callback != nullptr) {
                    // The block is the script's own; the callback gets a copy
                    // of exactly its length, as from the library's buffer.
                    std::vector<uint8_t> copy = event.bytes;
                    callback(event.event_id, event.has_record ? copy.data() : nullptr,
                             event.length);
                }
            } else {
                sdcore_double::post_after(event.delay_ms, event.event_id, record, event.length);
            }
        }
    }

    std::mutex mutex_;
    std::string log_path_;
    std::vector<scripted_event> script_;
    std::map<std::string, unsigned> seen_;
};

const environment_driven installed;

} // namespace
