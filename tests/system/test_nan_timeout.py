# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
"""-t ends a run on time, for either role, with an orderly shutdown."""
import time

from nan_support import Peer, calls, nan_network, peers, publisher_config, subscriber_config


def test_t_ends_both_roles_on_time(tmp_path):
    # No peer of the other role: neither side gets a data path.
    pub_cfg = publisher_config(tmp_path / "pub.json", [{"security": "open"}])
    sub_cfg = subscriber_config(tmp_path / "sub.json", service_name="nobody-publishes-this")
    with nan_network() as (pub_ns, sub_ns, medium):
        pub = Peer(pub_ns, medium, "publish", pub_cfg, tmp_path, args=["-t", "3"])
        sub = Peer(sub_ns, medium, "subscribe", sub_cfg, tmp_path, args=["-t", "8"])
        with peers(pub, sub):
            assert pub.wait(timeout=30) == 0
            assert sub.wait(timeout=30) == 0
            ended = time.monotonic()
    for peer, call in ((pub, "dns_publish"), (sub, "dns_subscribe")):
        trace = peer.trace()
        started = calls(trace, call)[0][0]
        stopped = calls(trace, "dns_stop_service")[0][0]
        # The wait ends on the first check past 3 s (a subscriber's -t 8
        # loses 5 s), then shutdown pauses 1 s before stopping the service.
        assert 3.5 <= (stopped - started) / 1e6 <= 8, (peer.role, (stopped - started) / 1e6)
        assert "!!!!!! Terminated !!!!!!" in peer.output()
        assert ended - peer.started < 25
    assert "DNS_DISCOVERY_RESULT" not in sub.output()
