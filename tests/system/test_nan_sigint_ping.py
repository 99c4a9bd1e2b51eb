# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
"""SIGINT while the subscriber's ping6 runs: nanpeer notices it at once and
ends the run with its whole shutdown, without waiting for the ping."""
import signal
import time

from nan_support import calls, publisher_and_subscriber, publisher_config, subscriber_config


def test_sigint_during_the_ping_ends_the_run_with_its_shutdown(tmp_path):
    pub_cfg = publisher_config(
        tmp_path / "pub.json", [{"security": "open", "start_cmd": "true", "end_cmd": "true"}]
    )
    sub_cfg = subscriber_config(tmp_path / "sub.json")
    with publisher_and_subscriber(tmp_path, pub_cfg, sub_cfg) as (pub, sub):
        sub.wait_for(r"^\[nanpeer\] ping6 -I nan0 -c 10 ")
        time.sleep(1.5)  # ten echo requests, one a second: the ping runs on
        began = time.monotonic()
        status = sub.stop(signal.SIGINT, timeout=30)
        took = time.monotonic() - began
        out = sub.output()

    assert status == 0, out
    # Within a second the wait ends and the ping is left running; then the
    # end command and the 1 s pause. The limit leaves room for a loaded
    # machine.
    assert took < 15, (took, out)
    assert "packets transmitted" not in out, "the shutdown waited for the ping"
    assert out.index("ping6 -I nan0 -c 10") < out.index("!!!!!! Terminated !!!!!!")
    assert "[nanpeer] exec_stop_script_ex" in out
    assert "[nanpeer] send data path end[1], " in out
    trace = sub.trace()
    assert [c[4]["ndp_id"] for c in calls(trace, "dns_datapath_end")] == ["1"]
    assert len(calls(trace, "dns_stop_service")) == 1
