# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
"""Pairing: a first run bootstraps and sets the pairing up, caching both
sides' NIK in the medium; a second run finds the peer paired and verifies
the pairing without bootstrapping."""
import os

from nan_support import Peer, nan_network, peers, publisher_config, security_keys, subscriber_config


def run_pair(tmp_path, medium, pub_ns, sub_ns, name):
    out = tmp_path / name
    out.mkdir()
    pub_cfg = publisher_config(
        out / "pub.json", [{**security_keys("pairing", bstrap="opp|pin_code"), "gtk_enable": 1}]
    )
    sub_cfg = subscriber_config(out / "sub.json", **security_keys("pairing", bstrap="opp"))
    pub = Peer(pub_ns, medium, "publish", pub_cfg, out)
    sub = Peer(sub_ns, medium, "subscribe", sub_cfg, out)
    with peers(pub, sub):
        sub.wait_for(r"^\[nanpeer\] type\(0\), status\(0\), ndp_id\(1\)")
        pub.wait_for(r"^\[nanpeer\] type\(0\), status\(0\)")
        sub.wait_for(r"^10 packets transmitted, 10 received")
        assert sub.stop() == 0
        assert pub.stop() == 0
    return pub.output(), sub.output()


def test_pairing_setup_then_verification_with_nik_caching(tmp_path):
    with nan_network() as (pub_ns, sub_ns, medium):
        pub_out, sub_out = run_pair(tmp_path, medium, pub_ns, sub_ns, "setup")
        assert "[nanpeer] peer's security: pairing_enable[1], pmk_set[0], paired[0]" in sub_out
        assert "[nanpeer] Pairing setup start" in sub_out
        assert "[nanpeer] send bootstrapping request success!!!" in sub_out
        assert "[nanpeer] dns_evt_bstrap_result, bstrap_method[0x1]" in sub_out
        assert "[nanpeer] dns_evt_bstrap_result, bstrap_method[0x1]" in pub_out
        assert (
            "[nanpeer] dns_evt_pasn_result, status[0x4], local_role[0x1], pairing_type[0x1],"
            "remote_nik_caching[0x1]"
        ) in sub_out
        assert "[nanpeer] Waitting for data path request!!!" in pub_out
        assert sorted(os.listdir(os.path.join(medium, "nik"))) == [
            "020000000001-020000000002",
            "020000000002-020000000001",
        ]

        pub_out, sub_out = run_pair(tmp_path, medium, pub_ns, sub_ns, "verification")
        assert "[nanpeer] peer's security: pairing_enable[1], pmk_set[0], paired[1]" in sub_out
        assert "[nanpeer] Pairing verification start" in sub_out
        assert "Pairing setup start" not in sub_out
        assert "DNS_BSTRAP_RESULT" not in sub_out + pub_out
        assert (
            "[nanpeer] dns_evt_pasn_result, status[0x4], local_role[0x2], pairing_type[0x2],"
            "remote_nik_caching[0x1]"
        ) in pub_out
