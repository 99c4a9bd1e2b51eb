# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
"""Events a library reports from inside its own calls, then SIGINT: they are
handled only once the stop signals are caught, after the step that made the
call, and never hold up the shutdown."""
import signal
import time

from nan_support import (
    DNS_DATA_CONFIRM,
    DNS_DATA_ESTABLISHED,
    DNS_DATA_INDICATION,
    DNS_DISCOVERY_RESULT,
    confirm_record,
    discovery_record,
    double_run,
    established_record,
    indication_record,
    publisher_config,
    script_line,
    security_keys,
    subscriber_config,
)

SCRIPTS = {"start_cmd": "svc start 0", "end_cmd": "svc end 0"}
UNKNOWN_ID = 6


def test_discovery_and_confirm_from_inside_dns_subscribe_wait_for_the_stop_handlers(tmp_path):
    config = subscriber_config(tmp_path / "sub.json", security="open")
    # The call goes on for 2 s after it reported them.
    script = [
        script_line("dns_subscribe", "inside", DNS_DISCOVERY_RESULT, discovery_record(0)),
        script_line("dns_subscribe", "inside", DNS_DATA_CONFIRM, confirm_record(1)),
        script_line("dns_subscribe", "inside", UNKNOWN_ID, bytes(3), delay_ms=2000),
    ]
    with double_run(tmp_path, "subscribe", config, script) as run:
        # The confirm's 3 s pause before the ping follows the neighbour entry.
        run.wait_for_command("ip -6 neigh add")
        status, took = run.stop(signal.SIGINT)
        out = run.output()

    assert status == 0, out
    assert took < 4, (took, out)
    assert "ping6" not in "".join(run.commands()), run.commands()
    # A subscriber has no end command of its own to run (an empty one).
    assert out.count("[nanpeer] exec_stop_script_ex") == 1, out
    assert run.calls() == [
        "dns_register_evt_cb -1 -1",
        "dns_subscribe 0 0",
        "dns_datapath_req -1 -1",
        "dns_datapath_end 1 -1",
        "dns_stop_service 0 -1",
    ]
    # The discovery was handled before the confirm, and neither inside the call.
    assert out.index("DNS_DISCOVERY_RESULT") < out.index("send data path success!!!")
    assert out.index("send data path success!!!") < out.index("DNS_DATA_CONFIRM")


def test_a_confirm_from_inside_dns_datapath_req_follows_the_discovery_step(tmp_path):
    config = subscriber_config(tmp_path / "sub.json", security="open")
    script = [
        script_line("dns_subscribe", "thread", DNS_DISCOVERY_RESULT, discovery_record(0), 100),
        script_line("dns_datapath_req", "inside", DNS_DATA_CONFIRM, confirm_record(1)),
    ]
    with double_run(tmp_path, "subscribe", config, script) as run:
        run.wait_for_command("ip -6 neigh add")
        status, took = run.stop(signal.SIGINT)
        out = run.output()

    assert status == 0, out
    assert took < 4, (took, out)
    # Taken once the discovery handler had set the slot's state.
    assert out.index("send data path success!!!") < out.index("DNS_DATA_CONFIRM")
    assert "[nanpeer] dns_evt_data_confirm, nan_status[1]" in out
    assert run.calls()[-2:] == ["dns_datapath_end 1 -1", "dns_stop_service 0 -1"]
    assert out.count("[nanpeer] exec_stop_script_ex") == 1, out


def test_a_confirm_from_inside_dns_publish_waits_for_the_stop_handlers(tmp_path):
    config = publisher_config(tmp_path / "pub.json", [{"security": "open", **SCRIPTS}])
    script = [
        script_line("dns_publish", "inside", DNS_DATA_INDICATION, indication_record(1, 5)),
        script_line("dns_publish", "inside", DNS_DATA_CONFIRM, confirm_record(5)),
        script_line("dns_publish", "inside", UNKNOWN_ID, bytes(3), delay_ms=2000),
    ]
    # The confirm's address commands take their time.
    with double_run(tmp_path, "publish", config, script, holds={"ip": 6}) as run:
        run.wait_for_command("ip -6 address add")
        status, took = run.stop(signal.SIGINT)
        out = run.output()

    assert status == 0, out
    assert took < 4, (took, out)
    assert run.commands().count("svc end 0") == 1, run.commands()
    assert run.calls() == [
        "dns_register_evt_cb -1 -1",
        "dns_publish 0 0",
        "dns_datapath_rsp -1 -1",
        "dns_datapath_end 5 -1",
        "dns_stop_service 0 -1",
    ]


def test_a_signal_during_dns_publish_keeps_its_default_action(tmp_path):
    config = publisher_config(tmp_path / "pub.json", [{"security": "open", **SCRIPTS}])
    # dns_publish takes 3 s before it reports an indication from inside.
    script = [
        script_line("dns_publish", "inside", DNS_DATA_INDICATION, indication_record(1, 5), 3000)
    ]
    with double_run(tmp_path, "publish", config, script) as run:
        deadline = time.monotonic() + 20
        while "dns_publish 0 0" not in run.calls():
            assert time.monotonic() < deadline, "nanpeer did not publish"
            time.sleep(0.02)
        status, _took = run.stop(signal.SIGINT)

    assert status == -signal.SIGINT
    assert "DNS_DATA_INDICATION" not in run.output()
    assert run.calls() == ["dns_register_evt_cb -1 -1", "dns_publish 0 0"]


def test_a_start_command_of_an_event_from_inside_a_give_ups_data_path_end(tmp_path):
    """Slot 0 has a confirmed data path; slot 1 answered a secured data path
    request that is never confirmed. The give-up's dns_datapath_end reports
    slot 0's data path established, whose start command runs on: a SIGINT
    then ends the run within seconds, with slot 0's end command."""
    config = publisher_config(
        tmp_path / "pub.json",
        [
            {"security": "open", "start_cmd": "svc start 0", "end_cmd": "svc end 0"},
            {**security_keys("pmk"), "start_cmd": "svc start 1", "end_cmd": "svc end 1"},
        ],
    )
    script = [
        script_line("dns_publish#2", "thread", DNS_DATA_INDICATION, indication_record(1, 3), 100),
        script_line("dns_publish#2", "thread", DNS_DATA_CONFIRM, confirm_record(3), 100),
        script_line(
            "dns_publish#2", "thread", DNS_DATA_INDICATION, indication_record(2, 4, 1), 100
        ),
        script_line("dns_datapath_end", "inside", DNS_DATA_ESTABLISHED, established_record(3)),
    ]
    with double_run(
        tmp_path, "publish", config, script, args=["-n", "2"], holds={"svc-start": 60}
    ) as run:
        run.wait_for_command("svc start 0", timeout=40)
        status, took = run.stop(signal.SIGINT)
        out = run.output()

    assert status == 0, out
    assert took < 4, (took, out)
    assert "Data confirm not receive! nan_status[3],retry[4],send data path end[4]" in out
    assert run.commands().count("svc end 0") == 1, run.commands()
    assert run.calls()[-3:] == [
        "dns_datapath_end 4 -1",
        "dns_datapath_end 3 -1",
        "dns_stop_service 0 -1",
    ]
