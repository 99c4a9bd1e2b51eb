# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
"""The peer ends a data path and SIGINT comes while its end command runs:
every end command runs once, and nanpeer never ends the data path the peer
has ended already."""
import signal
import time

from nan_support import (
    DNS_DATA_CONFIRM,
    DNS_DATA_END,
    DNS_DATA_ESTABLISHED,
    DNS_DATA_INDICATION,
    calls,
    confirm_record,
    data_end_record,
    double_run,
    established_record,
    indication_record,
    lines_of,
    publisher_and_subscriber,
    publisher_config,
    script_line,
    subscriber_config,
)


def service(slot):
    return {"security": "open", "start_cmd": f"svc start {slot}", "end_cmd": f"svc end {slot}"}


def up_and_ended(slot, ndp_id, end=False):
    lines = [
        script_line(
            "dns_publish#1", "thread", DNS_DATA_INDICATION, indication_record(slot + 1, ndp_id), 100
        ),
        script_line("dns_publish#1", "thread", DNS_DATA_CONFIRM, confirm_record(ndp_id), 100),
    ]
    if end:
        lines.append(
            script_line("dns_publish#1", "thread", DNS_DATA_END, data_end_record(ndp_id), 300)
        )
    return lines


def test_one_service(tmp_path):
    config = publisher_config(tmp_path / "pub.json", [service(0)])
    with double_run(
        tmp_path, "publish", config, up_and_ended(0, 3, end=True), holds={"svc-end": 6}
    ) as run:
        run.wait_for_command("svc end 0")
        status, took = run.stop(signal.SIGINT)
        out = run.output()

    assert status == 0, out
    # The handler stopped waiting for the end command: no 6 s in this.
    assert took < 3.5, (took, out)
    # What the peer did is recorded: the slot is cleared.
    assert "[nanpeer] clear_data_path nan_status[9]" in out
    assert [line for line in run.commands() if line.startswith("svc end")] == ["svc end 0"]
    assert "dns_datapath_end 3 -1" not in run.calls(), run.calls()
    assert run.calls()[-1] == "dns_stop_service 0 -1"


def test_two_services_the_second_ended_by_the_peer(tmp_path):
    config = publisher_config(tmp_path / "pub.json", [service(0), service(1)])
    script = up_and_ended(0, 3) + up_and_ended(1, 4, end=True)
    with double_run(
        tmp_path, "publish", config, script, args=["-n", "2"], holds={"svc-end": 3}
    ) as run:
        run.wait_for_command("svc end 1")
        status, _took = run.stop(signal.SIGINT)
        out = run.output()
        # The end commands nanpeer left running (or waited for) are done.
        run.wait_for_command("svc end done", count=2, timeout=10, after_exit=True)
        ends = [
            line for line in run.commands() if line.startswith("svc end") and "done" not in line
        ]

    assert status == 0, out
    assert sorted(ends) == ["svc end 0", "svc end 1"], run.commands()
    path_ends = [line for line in run.calls() if line.startswith("dns_datapath_end")]
    assert path_ends == ["dns_datapath_end 3 -1"], run.calls()
    assert run.calls()[-1] == "dns_stop_service 0 -1"


def test_a_data_end_still_queued_when_stop_comes(tmp_path):
    """The peer ends slot 1's data path while slot 0's start command holds
    the owner; SIGINT comes before the end is handled. The end was reported
    before the stop, so it still counts: slot 1's end command runs once and
    nanpeer does not end that data path itself."""
    config = publisher_config(tmp_path / "pub.json", [service(0), service(1)])
    script = up_and_ended(1, 4) + [
        script_line("dns_publish#1", "thread", DNS_DATA_INDICATION, indication_record(1, 3), 100),
        script_line("dns_publish#1", "thread", DNS_DATA_CONFIRM, confirm_record(3), 100),
        script_line("dns_publish#1", "thread", DNS_DATA_ESTABLISHED, established_record(3), 100),
        script_line("dns_publish#1", "thread", DNS_DATA_END, data_end_record(4), 300),
    ]
    with double_run(
        tmp_path, "publish", config, script, args=["-n", "2"], holds={"svc-start": 8}
    ) as run:
        run.wait_for_command("svc start 0")
        # The data end comes 0.3 s after the start command began; the
        # command holds the owner for 8 s.
        time.sleep(1.5)
        assert "dns_evt_data_end" not in run.output()
        status, _took = run.stop(signal.SIGINT)
        out = run.output()
        ends = [line for line in run.commands() if line.startswith("svc end")]

    assert status == 0, out
    assert sorted(ends) == ["svc end 0", "svc end 1"], run.commands()
    path_ends = [line for line in run.calls() if line.startswith("dns_datapath_end")]
    assert path_ends == ["dns_datapath_end 3 -1"], run.calls()
    assert run.calls()[-1] == "dns_stop_service 0 -1"


def test_one_service_between_two_boards(tmp_path):
    """The same through the simulated library: the subscriber stops, which
    ends the data path at the publisher, and the publisher gets SIGINT while
    its end command runs."""
    log = tmp_path / "scripts.log"
    pub_cfg = publisher_config(
        tmp_path / "pub.json",
        [{"security": "open", "start_cmd": "true", "end_cmd": f"echo end >> {log}; sleep 6"}],
    )
    sub_cfg = subscriber_config(tmp_path / "sub.json")
    with publisher_and_subscriber(tmp_path, pub_cfg, sub_cfg) as (pub, sub):
        pub.wait_for_event("DNS_DATA_ESTABLISHED")
        assert sub.stop(signal.SIGINT, timeout=30) == 0
        pub.wait_for_event("DNS_DATA_END")
        deadline = time.monotonic() + 10
        while lines_of(log) != ["end"]:
            assert time.monotonic() < deadline, lines_of(log)
            time.sleep(0.02)
        began = time.monotonic()
        status = pub.stop(signal.SIGINT, timeout=30)
        took = time.monotonic() - began
        out = pub.output()
        trace = pub.trace()

    assert status == 0, out
    assert took < 3.5, (took, out)
    assert lines_of(log) == ["end"], out
    assert calls(trace, "dns_datapath_end") == [], out
    assert len(calls(trace, "dns_stop_service")) == 1, out
