// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// The dns_* calls of the simulated libsdcore: one engine per process, set up
// from the environment by the first publish or subscribe.
#include <cstdlib>
#include <new>
#include <pthread.h>

#include "../../nanpeer/sdcore.h"
#include "engine.h"
#include "sim_settings.h"

#define SDCORE_EXPORT __attribute__((visibility("default")))

// The application names its NAN data interface here; without it (a test
// driver) the interface is nan0.
extern "C" char *nan_intf __attribute__((weak));

namespace {

// Never destroyed: the event thread may still be inside the application's
// callback while the process exits.
alignas(sdcore_sim::engine) unsigned char engine_storage[sizeof(sdcore_sim::engine)];
pthread_once_t engine_once = PTHREAD_ONCE_INIT;
pthread_mutex_t start_mutex = PTHREAD_MUTEX_INITIALIZER;
// The pointer placement new returns: casting the byte array back would need
// a cast that 32-bit ARM flags as raising the alignment.
sdcore_sim::engine *engine_instance = nullptr;

void construct_engine()
{
    engine_instance = new (engine_storage) sdcore_sim::engine();
}

sdcore_sim::engine &the_engine()
{
    pthread_once(&engine_once, construct_engine);
    return *engine_instance;
}

const char *environment(const char *name)
{
    return std::getenv(name);
}

int result(int rc)
{
    return rc == 0 ? 0 : -1;
}

int ensure_started()
{
    sdcore_sim::engine &radio = the_engine();
    pthread_mutex_lock(&start_mutex);
    int rc = 0;
    if (!radio.running()) {
        const char *ifname = &nan_intf != nullptr && nan_intf != nullptr ? nan_intf : "nan0";
        sdcore_sim::engine_config config;
        char error[256] = {};
        rc = sdcore_sim::load_settings(&environment, ifname, config, error, sizeof error);
        if (rc != 0) {
            sdcore_sim::sim_log("%s", error);
        } else {
            rc = radio.start(config);
        }
    }
    pthread_mutex_unlock(&start_mutex);
    return rc;
}

} // namespace

extern "C" {

SDCORE_EXPORT int dns_register_evt_cb(dns_evt_cb cb)
{
    return result(the_engine().register_callback(cb));
}

SDCORE_EXPORT int dns_publish(uint16_t radio, void *tool_paths, void *service, int flag)
{
    if (int rc = ensure_started(); rc != 0)
        return result(rc);
    return result(the_engine().publish(radio, tool_paths, service, flag));
}

SDCORE_EXPORT int dns_subscribe(uint16_t radio, void *tool_paths, void *service, int flag)
{
    if (int rc = ensure_started(); rc != 0)
        return result(rc);
    return result(the_engine().subscribe(radio, tool_paths, service, flag));
}

SDCORE_EXPORT int dns_bstrap_start(void *service)
{
    return result(the_engine().bstrap_start(service));
}
SDCORE_EXPORT int dns_pairing_start(void *pairing_info)
{
    return result(the_engine().pairing_start(pairing_info));
}
SDCORE_EXPORT int dns_datapath_req(void *data_path)
{
    return result(the_engine().datapath_req(data_path));
}
SDCORE_EXPORT int dns_datapath_rsp(void *data_path)
{
    return result(the_engine().datapath_rsp(data_path));
}
SDCORE_EXPORT int dns_datapath_end(uint8_t ndp_id)
{
    return result(the_engine().datapath_end(ndp_id));
}
SDCORE_EXPORT int dns_stop_service(uint16_t radio)
{
    return result(the_engine().stop_service(radio));
}

} // extern "C"
