# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
"""A passphrase-secured service, and the key mismatches: a different
passphrase fails the data path set-up, a different pairing passphrase
fails PASN."""
from nan_support import publisher_and_subscriber, publisher_config, security_keys, subscriber_config


def test_passphrase_data_path_comes_up_with_equal_passphrases(tmp_path):
    pub_cfg = publisher_config(tmp_path / "pub.json", [security_keys("passphrase")])
    sub_cfg = subscriber_config(tmp_path / "sub.json", **security_keys("passphrase"))
    with publisher_and_subscriber(tmp_path, pub_cfg, sub_cfg) as (pub, sub):
        sub.wait_for(
            r"^\[nanpeer\] peer's security: pairing_enable\[0\], pmk_set\[1\], paired\[0\]$"
        )
        sub.wait_for(r"^\[nanpeer\] type\(0\), status\(0\), ndp_id\(1\)")
        pub.wait_for(r"^\[nanpeer\] type\(0\), status\(0\)")
        sub.wait_for(r"^10 packets transmitted, 10 received")
        assert pub.stop() == 0
        assert sub.stop() == 0


def test_different_passphrases_fail_the_set_up(tmp_path):
    pub_cfg = publisher_config(tmp_path / "pub.json", [security_keys("passphrase", "first-secret")])
    sub_cfg = subscriber_config(
        tmp_path / "sub.json", **security_keys("passphrase", "second-secret")
    )
    with publisher_and_subscriber(tmp_path, pub_cfg, sub_cfg) as (pub, sub):
        sub.wait_for(r"^\[nanpeer\] type\(0\), status\(1\), ndp_id\(1\)")
        sub.wait_for(r"^\[nanpeer\] dns_evt_data_confirm, ndp setup fail!$")
        pub.wait_for(r"^\[nanpeer\] dns_evt_data_confirm, ndp setup fail!$")
        assert pub.stop() == 0
        assert sub.stop() == 0
    assert "ping6" not in sub.output()


def test_different_pairing_passphrases_fail_pasn_on_both_sides(tmp_path):
    pub_cfg = publisher_config(tmp_path / "pub.json", [security_keys("pairing", "right-pw")])
    sub_cfg = subscriber_config(tmp_path / "sub.json", **security_keys("pairing", "wrong-pw"))
    with publisher_and_subscriber(tmp_path, pub_cfg, sub_cfg) as (pub, sub):
        sub.wait_for(r"^\[nanpeer\] Pairing setup start$")
        sub.wait_for(r"^\[nanpeer\] dns_evt_pasn_result, PASN failed! status\[1\]$")
        pub.wait_for_event("DNS_PASN_RESULT")
        assert pub.stop() == 0
        assert sub.stop() == 0
    assert "[nanpeer] dns_evt_pasn_result, PASN failed! status[1]" in pub.output()
    assert "PASN success" not in sub.output() + pub.output()
    assert "send data path success" not in sub.output()
