// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
// Link-only stand-in for libsdcore.so: it gives the linker the symbols and
// the file name "libsdcore.so" (no SONAME), so nanpeer's DT_NEEDED entry is
// exactly that name. It is never installed and never loaded; the loader
// finds the board's library, the simulated one or the test double instead.
#include "sdcore.h"

extern "C" {
int dns_register_evt_cb(dns_evt_cb)
{
    return -1;
}
int dns_publish(uint16_t, void *, void *, int)
{
    return -1;
}
int dns_subscribe(uint16_t, void *, void *, int)
{
    return -1;
}
int dns_bstrap_start(void *)
{
    return -1;
}
int dns_pairing_start(void *)
{
    return -1;
}
int dns_datapath_req(void *)
{
    return -1;
}
int dns_datapath_rsp(void *)
{
    return -1;
}
int dns_datapath_end(uint8_t)
{
    return -1;
}
int dns_stop_service(uint16_t)
{
    return -1;
}
}
