# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
"""A start command that runs on holds up neither the timeout nor the
shutdown: the end command, the data path end and the service stop all come
within seconds of the timeout."""
import time

from nan_support import (
    Peer,
    calls,
    lines_of,
    nan_network,
    peers,
    publisher_config,
    subscriber_config,
)


def test_a_start_command_that_runs_on_does_not_hold_up_the_timeout(tmp_path):
    log = tmp_path / "scripts.log"
    pub_cfg = publisher_config(
        tmp_path / "pub.json",
        [
            {
                "security": "open",
                "start_cmd": f"echo start >> {log}; sleep 40; echo start-done >> {log}",
                "end_cmd": f"echo end >> {log}",
            }
        ],
    )
    sub_cfg = subscriber_config(tmp_path / "sub.json")
    with nan_network() as (pub_ns, sub_ns, medium):
        # The subscriber first: the publisher's first announcement is then
        # answered at once, and the data path is up well before -t 4 ends.
        sub = Peer(sub_ns, medium, "subscribe", sub_cfg, tmp_path)
        with peers(sub):
            deadline = time.monotonic() + 30
            while not calls(sub.trace(), "dns_subscribe"):
                assert time.monotonic() < deadline, "the subscriber did not subscribe"
                time.sleep(0.1)
            pub = Peer(pub_ns, medium, "publish", pub_cfg, tmp_path, args=["-t", "4"])
            with peers(pub):
                status = pub.wait(timeout=60)
                ended = time.monotonic()
                scripts = lines_of(log)

    out = pub.output()
    assert status == 0, out
    assert scripts == ["start", "end"], (scripts, out)
    # The trace is stamped on CLOCK_MONOTONIC, as time.monotonic() is. More
    # than 4 s of waiting, the wait for the start command cut short by the
    # stop, the end command and the 1 s pause: about 6 s, where the start
    # command alone runs for 40 s.
    trace = pub.trace()
    published = calls(trace, "dns_publish")[0][0] / 1e6
    assert ended - published < 14, (ended - published, out)
    assert len(calls(trace, "dns_stop_service")) == 1, out
    path_ends = calls(trace, "dns_datapath_end")
    assert len(path_ends) == 1, out
    assert out.index("[nanpeer] exec_stop_script_ex") < out.index(
        f"[nanpeer] send data path end[{path_ends[0][4]['ndp_id']}], "
    )
