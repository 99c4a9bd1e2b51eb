# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
"""An open service between two boards: discovery, the data path, ping6 over
it, the start commands, and SIGTERM with the data path up."""
import os
import signal

from nan_support import (
    Peer,
    calls,
    events,
    lines_of,
    nan_network,
    peers,
    publisher_config,
    subscriber_config,
)


def test_open_data_path_carries_traffic_and_sigterm_ends_it_once(tmp_path):
    log = tmp_path / "scripts.log"
    pub_cfg = publisher_config(
        tmp_path / "pub.json",
        [
            {
                "security": "open",
                "start_cmd": f"echo pub-start >> {log}",
                "end_cmd": f"echo pub-end >> {log}",
            }
        ],
    )
    sub_cfg = subscriber_config(tmp_path / "sub.json")
    with nan_network() as (pub_ns, sub_ns, medium):
        pub = Peer(pub_ns, medium, "publish", pub_cfg, tmp_path)
        sub = Peer(sub_ns, medium, "subscribe", sub_cfg, tmp_path)
        with peers(pub, sub):
            sub.wait_for(r"^\[nanpeer\] service_name\(svc1\), service_instance\(svc-1\)$")
            sub.wait_for(
                r"^\[nanpeer\] peer's security: pairing_enable\[0\], pmk_set\[0\], paired\[0\]$"
            )
            sub.wait_for(r"^\[nanpeer\] type\(0\), status\(0\), ndp_id\(1\)")
            sub.wait_for(r"^10 packets transmitted, 10 received, 0% packet loss")
            sub.wait_for(r"^\[nanpeer\] exec_start_script")
            pub.wait_for(r"^\[nanpeer\] echo pub-start")

            # SIGTERM with the data path up: the end command and the data
            # path end once each; the subscriber hears the end.
            assert pub.stop(signal.SIGTERM) == 0
            sub.wait_for(r"^\[nanpeer\] dns_evt_data_end, ndp_id\[1\]$")
            assert sub.stop(signal.SIGTERM) == 0
            assert [
                n for n in os.listdir(medium) if n.endswith(".sock")
            ] == [], "sockets left behind"

    out = pub.output()
    assert out.count("[nanpeer] exec_stop_script_ex") == 1
    assert out.count("[nanpeer] send data path end[1], ") == 1
    trace = pub.trace()
    assert [c[4]["ndp_id"] for c in calls(trace, "dns_datapath_end")] == ["1"]
    assert len(calls(trace, "dns_stop_service")) == 1
    assert len(events(sub.trace(), "DNS_DATA_END")) == 1
    assert lines_of(log) == ["pub-start", "pub-end"]
    # The subscriber's confirm carried the publisher's host and port.
    assert "[nanpeer] host_name(nanhost), port_number(8081)" in sub.output()
