# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
"""nanpeer on the board: a publisher and a subscriber in two network
namespaces of the board's kernel, joined by a veth pair whose ends are both
nan0, talking through the armhf simulated libsdcore; open and pairing flows
to a pinged data path and a clean stop."""
import itertools
import json
import re
import shlex
import time

import pytest

PUB_MAC = "02:00:00:00:00:01"
SUB_MAC = "02:00:00:00:00:02"
# busybox's ip has no netns; iproute2's is the board's /bin/ip.
IP = "/bin/ip"
COLOUR = re.compile(r"\x1b\[[0-9;]*m")
_names = itertools.count()


def bin_path():
    return {
        "iw": {"iw_path": "/usr/sbin/iw"},
        "nan_r3": {"nan_r3_path": "/opt/nan/r3"},
        "wpa_supplicant": {
            "wpa_supplicant_path": "/usr/sbin/wpa_supplicant",
            "wpa_supplicant_conf_path": "/etc/wpa_supplicant.conf",
            "wpa_supplicant_log_file": "/tmp/wpa_supplicant.log",
            "wpa_supplicant_dbg_para": "-d",
        },
    }


def publisher_config(security, start_cmd, end_cmd):
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
        "bin_path": bin_path(),
        "basic": {"mac_addr": PUB_MAC},
        "dns_sd_record": {"publish1": section},
    }


def subscriber_config(security):
    section = {"subscribe_id": 1, "service_name": "svc1"}
    section.update(security)
    return {
        "bin_path": bin_path(),
        "basic": {"mac_addr": SUB_MAC},
        "dns_sd_record": {"subscribe": section},
    }


PAIRING = {
    "security": "pairing",
    "bstrap_method": "opp",
    "pairing_passphrase": "pairpw",
    "nik_caching": 1,
}


class Peer:
    """One nanpeer running in the background in a namespace of the board."""

    def __init__(self, board, workdir, netns, role, config):
        self.board = board
        self.role = role
        self.out = f"{workdir}/{role}.out"
        self.trace = f"{workdir}/{role}.trace"
        cfg = f"{workdir}/{role}.json"
        board.write(cfg, json.dumps(config, indent=1))
        env = (
            f"SDCORE_SIM_MEDIUM={workdir}/medium SDCORE_SIM_TRACE={self.trace} "
            "SDCORE_SIM_ANNOUNCE_MS=300"
        )
        self.status = f"{workdir}/{role}.status"
        # ShellDriver runs each command in a shell of its own, so nanpeer is
        # nobody's child to wait for: a subshell keeps its exit status, and
        # `exec` (ip netns exec execs too) makes the recorded pid nanpeer's.
        inner = f"echo $$ > {workdir}/{role}.pid; exec {IP} netns exec {netns} nanpeer -r {role} -f {cfg}"
        board.check(
            f"( {env} sh -c {shlex.quote(inner)} > {self.out} 2>&1; echo $? > {self.status} ) &"
        )
        deadline = time.monotonic() + 10
        while not board.exists(f"{workdir}/{role}.pid"):
            assert time.monotonic() < deadline, f"{role}: did not start"
            time.sleep(0.1)
        self.pid = board.check(f"cat {workdir}/{role}.pid")

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

    def calls(self, name):
        return int(self.board.run(f"grep -c ' call {name} ' {self.trace}")[1] or 0)


@pytest.fixture
def nan_boards(board):
    """Two namespaces on the board, nan0 in each; yields (workdir, pub ns, sub ns)."""
    name = f"nan{next(_names)}"
    pub_ns, sub_ns = f"{name}a", f"{name}b"
    workdir = f"/tmp/{name}"
    board.check(f"mkdir -p {workdir}/medium")
    board.check(f"{IP} netns add {pub_ns} && {IP} netns add {sub_ns}")
    board.check(
        f"{IP} link add nan0 netns {pub_ns} address {PUB_MAC} type veth"
        f" peer nan0 netns {sub_ns} address {SUB_MAC}"
    )
    for ns in (pub_ns, sub_ns):
        # Set per interface once it sits in its namespace: a namespace's
        # defaults apply only to interfaces created in it.
        board.check(f"{IP} -n {ns} link set nan0 addrgenmode none")
        board.check(
            f"{IP} netns exec {ns} sh -c 'echo 0 > /proc/sys/net/ipv6/conf/nan0/accept_dad'"
        )
        board.check(f"{IP} -n {ns} link set lo up && {IP} -n {ns} link set nan0 up")
    yield workdir, pub_ns, sub_ns
    for ns in (pub_ns, sub_ns):
        board.run(f"for p in $({IP} netns pids {ns}); do kill -9 $p; done; {IP} netns del {ns}")
    board.run(f"rm -rf {workdir}")


def run_exchange(board, nan_boards, pub_security, sub_security):
    workdir, pub_ns, sub_ns = nan_boards
    log = f"{workdir}/scripts.log"
    pub = Peer(
        board,
        workdir,
        pub_ns,
        "publish",
        publisher_config(pub_security, f"echo pub-start >> {log}", f"echo pub-end >> {log}"),
    )
    sub = Peer(board, workdir, sub_ns, "subscribe", subscriber_config(sub_security))
    try:
        sub.wait_for("10 packets transmitted, 10 received, 0% packet loss")
        pub.wait_for("echo pub-start")
        assert sub.stop() == 0
        pub.wait_for("dns_evt_data_end, ndp_id[1]")
        assert pub.stop() == 0
    finally:
        board.run(f"kill -9 {pub.pid} {sub.pid} 2>/dev/null")
    assert board.check(f"cat {log}").split() == ["pub-start", "pub-end"]
    # Both stopped their service and left no socket in the medium.
    assert pub.calls("dns_stop_service") == 1 and sub.calls("dns_stop_service") == 1
    assert board.check(f"ls {workdir}/medium | grep -c sock$ || true") == "0"
    return pub.output(), sub.output()


def test_open_service_brings_up_a_pinged_data_path_and_stops_cleanly(board, nan_boards):
    pub_out, sub_out = run_exchange(board, nan_boards, {"security": "open"}, {"security": "open"})
    assert "[nanpeer] service_name(svc1), service_instance(svc-1)" in sub_out
    assert "[nanpeer] peer's security: pairing_enable[0], pmk_set[0], paired[0]" in sub_out
    assert "[nanpeer] host_name(nanhost), port_number(8081)" in sub_out
    assert "[nanpeer] dns_evt_data_end, ndp_id[1]" in pub_out


def test_pairing_bootstraps_pairs_and_brings_up_a_pinged_data_path(board, nan_boards):
    pub_out, sub_out = run_exchange(board, nan_boards, PAIRING, PAIRING)
    assert "[nanpeer] peer's security: pairing_enable[1], pmk_set[0], paired[0]" in sub_out
    assert "[nanpeer] Pairing setup start" in sub_out
    assert "[nanpeer] dns_evt_bstrap_result, bstrap_method[0x1]" in sub_out
    assert (
        "[nanpeer] dns_evt_pasn_result, status[0x4], local_role[0x1], pairing_type[0x1],"
        "remote_nik_caching[0x1]"
    ) in sub_out
    assert "[nanpeer] Waitting for data path request!!!" in pub_out
