# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
"""A data path confirm that never reaches the subscriber: its response
timer gives up on the fourth tick, ends the data path at the library, and
the next discovery brings the data path up."""
from nan_support import (
    calls,
    events,
    publisher_and_subscriber,
    publisher_config,
    security_keys,
    subscriber_config,
)


def test_dropped_confirm_is_given_up_after_four_ticks_then_retried(tmp_path):
    pub_cfg = publisher_config(tmp_path / "pub.json", [security_keys("passphrase")])
    sub_cfg = subscriber_config(tmp_path / "sub.json", **security_keys("passphrase"))
    faults = ["drop:DNS_DATA_CONFIRM@1"]
    with publisher_and_subscriber(tmp_path, pub_cfg, sub_cfg, sub_faults=faults) as (pub, sub):
        sub.wait_for(
            r"^\[nanpeer\] Data rsp not receive! nan_status\[1\],retry\[4\],send data path end\[1\]$",
            timeout=60,
        )
        pub.wait_for(r"^\[nanpeer\] dns_evt_data_end, ndp_id\[1\]$")
        sub.wait_for(r"^\[nanpeer\] type\(0\), status\(0\), ndp_id\(1\)", timeout=30)
        sub.wait_for(r"^10 packets transmitted, 10 received")
        assert sub.stop() == 0
        assert pub.stop() == 0

    trace = sub.trace()
    assert any(
        e[2] == "fault" and e[3] == "drop" and e[4]["event"] == "DNS_DATA_CONFIRM" for e in trace
    )
    requests = calls(trace, "dns_datapath_req")
    ends = calls(trace, "dns_datapath_end")
    assert len(requests) >= 2
    # The give-up comes on the fourth 5 s tick after the first request.
    given_up = (ends[0][0] - requests[0][0]) / 1e6
    assert 19 <= given_up <= 30, given_up
    assert ends[0][0] < requests[1][0], "the retry follows the give-up"
    assert len(events(trace, "DNS_DATA_CONFIRM")) == 1
    out = sub.output()
    assert out.index("Data rsp not receive!") < out.index("clear_data_path nan_status[1]")
