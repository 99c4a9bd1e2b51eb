// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// The libsdcore test double: call recording and the event thread.
#include "sdcore_double.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <thread>

#include "service_slot.h"
#include "tool_paths.h"

namespace sdcore_double {
namespace {

struct inside_event {
    uint32_t event_id = 0;
    std::vector<uint8_t> record;
    int length = 0;
};

struct double_state {
    std::mutex mutex;
    std::vector<recorded_call> calls;
    std::map<std::string, int> results;
    std::map<std::string, std::vector<inside_event>> inside;
    dns_evt_cb callback = nullptr;
    std::function<void(const recorded_call &)> observer;
};

double_state &state()
{
    static double_state instance;
    return instance;
}

// Runs delivery jobs one after another on its own thread, as a library's
// event thread would.
class event_thread {
public:
    event_thread() : worker_([this] { serve(); }) { }
    ~event_thread()
    {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            quit_ = true;
        }
        wake_.notify_all();
        worker_.join();
    }

    void run_and_wait(std::function<void()> job)
    {
        std::unique_lock<std::mutex> lock(mutex_);
        const unsigned long ticket = ++queued_;
        jobs_.push_back(std::move(job));
        wake_.notify_all();
        done_.wait(lock, [&] { return finished_ >= ticket; });
    }

    void run(std::function<void()> job)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        ++queued_;
        jobs_.push_back(std::move(job));
        wake_.notify_all();
    }

    void wait_idle()
    {
        std::unique_lock<std::mutex> lock(mutex_);
        done_.wait(lock, [&] { return finished_ >= queued_; });
    }

private:
    void serve()
    {
        std::unique_lock<std::mutex> lock(mutex_);
        for (;;) {
            wake_.wait(lock, [&] { return quit_ || !jobs_.empty(); });
            if (jobs_.empty()) {
                return;
            }
            std::function<void()> job = std::move(jobs_.front());
            jobs_.pop_front();
            lock.unlock();
            job();
            lock.lock();
            ++finished_;
            done_.notify_all();
        }
    }

    std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable done_;
    std::deque<std::function<void()>> jobs_;
    unsigned long queued_ = 0;
    unsigned long finished_ = 0;
    bool quit_ = false;
    std::thread worker_;
};

// Never destroyed: at exit the thread may still be inside nanpeer's callback,
// or waiting to deliver a scripted event, and exit must not wait for it.
event_thread &events()
{
    static event_thread &instance = *new event_thread;
    return instance;
}

std::vector<uint8_t> bytes_at(const void *pointer, std::size_t size)
{
    if (pointer == nullptr) {
        return {};
    }
    const auto *first = static_cast<const uint8_t *>(pointer);
    return std::vector<uint8_t>(first, first + size);
}

int record(const recorded_call &call)
{
    double_state &s = state();
    std::function<void(const recorded_call &)> observer;
    int result = 0;
    dns_evt_cb callback = nullptr;
    std::vector<inside_event> events_inside;
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        auto found = s.results.find(call.name);
        result = found == s.results.end() ? 0 : found->second;
        observer = s.observer;
        if (auto inside = s.inside.find(call.name); inside != s.inside.end()) {
            events_inside = std::move(inside->second);
            s.inside.erase(inside);
            callback = s.callback;
        }
        s.calls.push_back(call);
    }
    if (observer) {
        observer(call);
    }
    for (inside_event &event : events_inside) {
        if (callback != nullptr) {
            callback(event.event_id, event.record.data(), event.length);
        }
    }
    return result;
}

// From byte 4 of a slot to the slot's end.
constexpr std::size_t kServiceBytes = sizeof(ServiceSlot) - kServiceOffsetInSlot;

} // namespace

void reset()
{
    double_state &s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.calls.clear();
    s.results.clear();
    s.inside.clear();
}

std::vector<recorded_call> calls()
{
    double_state &s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    return s.calls;
}

std::vector<std::string> call_names()
{
    std::vector<std::string> names;
    for (const recorded_call &call : calls()) {
        names.push_back(call.name);
    }
    return names;
}

void set_result(const std::string &name, int result)
{
    double_state &s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.results[name] = result;
}

dns_evt_cb registered_callback()
{
    double_state &s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    return s.callback;
}

void set_call_observer(std::function<void(const recorded_call &)> observer)
{
    double_state &s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.observer = std::move(observer);
}

void deliver(uint32_t event_id, const void *record_bytes, int length)
{
    const dns_evt_cb callback = registered_callback();
    if (callback == nullptr) {
        return;
    }
    // The library owns the record only for the call; copy it like one would.
    std::vector<uint8_t> copy =
        bytes_at(record_bytes, length > 0 ? static_cast<std::size_t>(length) : 0);
    events().run_and_wait(
        [&] { callback(event_id, record_bytes == nullptr ? nullptr : copy.data(), length); });
}

void post(uint32_t event_id, const void *record_bytes, int length)
{
    const dns_evt_cb callback = registered_callback();
    if (callback == nullptr) {
        return;
    }
    // Owned by the job, since the caller does not wait for it.
    std::vector<uint8_t> copy =
        bytes_at(record_bytes, length > 0 ? static_cast<std::size_t>(length) : 0);
    const bool has_record = record_bytes != nullptr;
    events().run([callback, event_id, copy = std::move(copy), has_record, length]() mutable {
        callback(event_id, has_record ? copy.data() : nullptr, length);
    });
}

void post_after(uint32_t delay_ms, uint32_t event_id, const void *record_bytes, int length)
{
    events().run([delay_ms] { std::this_thread::sleep_for(std::chrono::milliseconds(delay_ms)); });
    post(event_id, record_bytes, length);
}

void wait_idle()
{
    events().wait_idle();
}

void deliver_from_inside(const std::string &call_name, uint32_t event_id, const void *record_bytes,
                         int length)
{
    double_state &s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    inside_event &event = s.inside[call_name].emplace_back();
    event.event_id = event_id;
    event.record = bytes_at(record_bytes, length > 0 ? static_cast<std::size_t>(length) : 0);
    event.length = length;
}

// A call that hands over one pointer into the service table: the bytes
// behind it are kept as they were at the call.
int record_pointer_call(const char *name, void *pointer, std::size_t size)
{
    recorded_call call;
    call.name = name;
    call.pointer = pointer;
    call.bytes = bytes_at(pointer, size);
    return record(call);
}

// dns_publish and dns_subscribe: the radio, the -b flag, the service and the
// tool paths block.
int record_service_call(const char *name, uint16_t radio, void *tool_paths_block, void *service,
                        int flag)
{
    recorded_call call;
    call.name = name;
    call.number = radio;
    call.flag = flag;
    call.pointer = service;
    call.bytes = bytes_at(service, kServiceBytes);
    call.tool_paths = bytes_at(tool_paths_block, sizeof(tool_paths));
    return record(call);
}

} // namespace sdcore_double

using sdcore_double::recorded_call;

extern "C" {

int dns_register_evt_cb(dns_evt_cb cb)
{
    {
        sdcore_double::double_state &s = sdcore_double::state();
        std::lock_guard<std::mutex> lock(s.mutex);
        s.callback = cb;
    }
    recorded_call call;
    call.name = "dns_register_evt_cb";
    return sdcore_double::record(call);
}

int dns_publish(uint16_t radio, void *tool_paths_block, void *service, int flag)
{
    return sdcore_double::record_service_call("dns_publish", radio, tool_paths_block, service,
                                              flag);
}

int dns_subscribe(uint16_t radio, void *tool_paths_block, void *service, int flag)
{
    return sdcore_double::record_service_call("dns_subscribe", radio, tool_paths_block, service,
                                              flag);
}

int dns_bstrap_start(void *service)
{
    return sdcore_double::record_pointer_call("dns_bstrap_start", service,
                                              sdcore_double::kServiceBytes);
}

int dns_pairing_start(void *pairing_info)
{
    return sdcore_double::record_pointer_call("dns_pairing_start", pairing_info,
                                              sizeof(pairing_info_record));
}

int dns_datapath_req(void *data_path)
{
    return sdcore_double::record_pointer_call("dns_datapath_req", data_path,
                                              sizeof(data_path_record));
}

int dns_datapath_rsp(void *data_path)
{
    return sdcore_double::record_pointer_call("dns_datapath_rsp", data_path,
                                              sizeof(data_path_record));
}

int dns_datapath_end(uint8_t ndp_id)
{
    recorded_call call;
    call.name = "dns_datapath_end";
    call.number = ndp_id;
    return sdcore_double::record(call);
}

int dns_stop_service(uint16_t radio)
{
    recorded_call call;
    call.name = "dns_stop_service";
    call.number = radio;
    return sdcore_double::record(call);
}

} // extern "C"
