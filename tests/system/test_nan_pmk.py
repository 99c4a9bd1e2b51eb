# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
"""A PMK-secured service: equal keys bring the data path up, different keys
fail its set-up on both sides."""
from nan_support import publisher_and_subscriber, publisher_config, security_keys, subscriber_config

OTHER_PMK = "fedcba9876543210fedcba9876543210"


def test_pmk_data_path_comes_up_with_equal_keys(tmp_path):
    pub_cfg = publisher_config(tmp_path / "pub.json", [security_keys("pmk")])
    sub_cfg = subscriber_config(tmp_path / "sub.json", **security_keys("pmk"))
    with publisher_and_subscriber(tmp_path, pub_cfg, sub_cfg) as (pub, sub):
        sub.wait_for(
            r"^\[nanpeer\] peer's security: pairing_enable\[0\], pmk_set\[1\], paired\[0\]$"
        )
        sub.wait_for(r"^\[nanpeer\] type\(0\), status\(0\), ndp_id\(1\)")
        pub.wait_for(r"^\[nanpeer\] security\(1\)$")
        pub.wait_for(r"^\[nanpeer\] type\(0\), status\(0\)")
        sub.wait_for(r"^10 packets transmitted, 10 received")
        assert pub.stop() == 0
        assert sub.stop() == 0


def test_different_pmks_fail_the_set_up_on_both_sides(tmp_path):
    pub_cfg = publisher_config(tmp_path / "pub.json", [security_keys("pmk")])
    sub_cfg = subscriber_config(tmp_path / "sub.json", **security_keys("pmk", OTHER_PMK))
    with publisher_and_subscriber(tmp_path, pub_cfg, sub_cfg) as (pub, sub):
        sub.wait_for(r"^\[nanpeer\] dns_evt_data_confirm, ndp setup fail!$")
        pub.wait_for(r"^\[nanpeer\] dns_evt_data_confirm, ndp setup fail!$")
        # The subscriber is back in NAN_IDLE and tries again at the next
        # discovery; it never gets a data path.
        sub.wait_for(r"^\[nanpeer\] send data path success!!!$", count=2)
        assert pub.stop() == 0
        assert sub.stop() == 0
    assert "status(0)" not in sub.output()
    assert "ping6" not in sub.output()
