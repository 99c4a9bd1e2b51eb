# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
"""nanpeer on two boards: a publisher on the board under test (target
`main`) and a subscriber on a second board (target `peer`), over the
boards' NAN radios; open and pairing flows to a pinged data path, the
service's start and end commands, and a clean stop. Only what the boards
show is observed: nanpeer's output and status, the scripts' effects and
the ping. On the virtual board the second board is a network namespace of
the same kernel (its own nan0 and console) and the radio the simulated
library; on real boards the real radios."""
import json
import re
import time

import pytest

COLOUR = re.compile(r"\x1b\[[0-9;]*m")


def bin_path(iw):
    return {
        "iw": {"iw_path": iw},
        "nan_r3": {"nan_r3_path": "/opt/nan/r3"},
        "wpa_supplicant": {
            "wpa_supplicant_path": "/usr/sbin/wpa_supplicant",
            "wpa_supplicant_conf_path": "/etc/wpa_supplicant.conf",
            "wpa_supplicant_log_file": "/tmp/wpa_supplicant.log",
            "wpa_supplicant_dbg_para": "-d",
        },
    }


def publisher_config(radio, security, start_cmd, end_cmd):
    section = {
        "publish_id": 1,
        "service_name": "svc1",
        "name_of_service_instance": "svc-1",
        "textinfo": "9 txtvers=1|0x06 path=/",
        "hostname": "nanhost",
        "port_number": 8081,
        "start_cmd": start_cmd,
        "end_cmd": end_cmd,
    }
    section.update(security)
    return {
        "bin_path": bin_path(radio.iw),
        "basic": {"mac_addr": radio.mac},
        "dns_sd_record": {"publish1": section},
    }


def subscriber_config(radio, security):
    section = {"subscribe_id": 1, "service_name": "svc1"}
    section.update(security)
    return {
        "bin_path": bin_path(radio.iw),
        "basic": {"mac_addr": radio.mac},
        "dns_sd_record": {"subscribe": section},
    }


PAIRING = {
    "security": "pairing",
    "bstrap_method": "opp",
    "pairing_passphrase": "pairpw",
    "nik_caching": 1,
}


class Radio:
    """A board's NAN radio as `iw dev` lists it: its address goes into the
    configuration as the board's own."""

    def __init__(self, board):
        self.iw = board.check("command -v iw")
        listing = board.check(f"{self.iw} dev")
        found = re.search(r"Interface nan0\n(?:\s+\S.*\n)*?\s+addr ([0-9a-f:]{17})", listing + "\n")
        assert found, f"no nan0 in `iw dev` on the board:\n{listing}"
        self.mac = found.group(1)


class Nanpeer:
    """One nanpeer running in the background on a board."""

    def __init__(self, board, role, config):
        self.board = board
        self.role = role
        workdir = f"/tmp/nan-{role}"
        board.check(f"rm -rf {workdir} && mkdir -p {workdir}")
        self.out = f"{workdir}/out"
        self.status = f"{workdir}/status"
        cfg = f"{workdir}/config.json"
        board.write(cfg, json.dumps(config, indent=1))
        # ShellDriver runs each command in a shell of its own, so nanpeer is
        # nobody's child to wait for: a subshell keeps its exit status, and
        # `exec` makes the recorded pid nanpeer's.
        inner = f"echo $$ > {workdir}/pid; exec nanpeer -r {role} -f {cfg}"
        board.check(f"( sh -c '{inner}' > {self.out} 2>&1; echo $? > {self.status} ) &")
        deadline = time.monotonic() + 10
        while not board.exists(f"{workdir}/pid"):
            assert time.monotonic() < deadline, f"{role}: did not start"
            time.sleep(0.1)
        self.pid = board.check(f"cat {workdir}/pid")

    def output(self):
        return COLOUR.sub("", self.board.run(f"cat {self.out}")[1])

    def wait_for(self, text, timeout=90):
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            if self.board.run(f"grep -qF {json.dumps(text)} {self.out}")[0] == 0:
                return
            if self.board.run(f"kill -0 {self.pid}")[0] != 0:
                break
            time.sleep(0.5)
        raise AssertionError(f"{self.role}: no {text!r} in:\n{self.output()}")

    def stop(self, timeout=60):
        """SIGINT, then nanpeer's exit status."""
        self.board.check(f"kill -INT {self.pid}")
        deadline = time.monotonic() + timeout
        while not self.board.exists(self.status):
            if time.monotonic() > deadline:
                threads = self.board.run(
                    f"for t in /proc/{self.pid}/task/*; do echo $t $(cat $t/wchan)"
                    f" $(grep State $t/status); done"
                )[1]
                raise AssertionError(
                    f"{self.role}: still running after SIGINT; threads:\n{threads}\n"
                    f"output:\n{self.output()}"
                )
            time.sleep(0.2)
        return int(self.board.check(f"cat {self.status}"))


@pytest.fixture
def boards(board, peer):
    """(publisher, subscriber): the two boards and their radios."""
    yield (board, Radio(board)), (peer, Radio(peer))
    for each in (board, peer):
        each.run("pkill -x nanpeer; sleep 0.5; pkill -9 -x nanpeer")


def run_exchange(boards, pub_security, sub_security):
    (pub_board, pub_radio), (sub_board, sub_radio) = boards
    log = "/tmp/nan-scripts.log"
    pub_board.check(f"rm -f {log}")
    pub = Nanpeer(
        pub_board,
        "publish",
        publisher_config(
            pub_radio, pub_security, f"echo pub-start >> {log}", f"echo pub-end >> {log}"
        ),
    )
    sub = Nanpeer(sub_board, "subscribe", subscriber_config(sub_radio, sub_security))
    sub.wait_for("10 packets transmitted, 10 received, 0% packet loss")
    pub.wait_for("echo pub-start")
    assert sub.stop() == 0
    pub.wait_for("dns_evt_data_end, ndp_id[1]")
    assert pub.stop() == 0
    assert pub_board.check(f"cat {log}").split() == ["pub-start", "pub-end"]
    return pub.output(), sub.output()


def test_open_service_brings_up_a_pinged_data_path_and_stops_cleanly(boards):
    pub_out, sub_out = run_exchange(boards, {"security": "open"}, {"security": "open"})
    assert "[nanpeer] service_name(svc1), service_instance(svc-1)" in sub_out
    assert "[nanpeer] peer's security: pairing_enable[0], pmk_set[0], paired[0]" in sub_out
    assert "[nanpeer] host_name(nanhost), port_number(8081)" in sub_out
    assert "[nanpeer] dns_evt_data_end, ndp_id[1]" in pub_out


def test_pairing_bootstraps_pairs_and_brings_up_a_pinged_data_path(boards):
    pub_out, sub_out = run_exchange(boards, PAIRING, PAIRING)
    assert "[nanpeer] peer's security: pairing_enable[1], pmk_set[0], paired[0]" in sub_out
    assert "[nanpeer] Pairing setup start" in sub_out
    assert "[nanpeer] dns_evt_bstrap_result, bstrap_method[0x1]" in sub_out
    assert (
        "[nanpeer] dns_evt_pasn_result, status[0x4], local_role[0x1], pairing_type[0x1],"
        "remote_nik_caching[0x1]"
    ) in sub_out
    assert "[nanpeer] Waitting for data path request!!!" in pub_out
