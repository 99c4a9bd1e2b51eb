# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
"""SIGINT during each kind of wait of event handling: an ip command, the 3 s
and the 2 s pause before the ping, ping6, a start command. The wait ends at
once and the run ends within about two seconds (the wait loop's second and
shutdown's pause), with dns_stop_service once; a command cut short is left
to run to its end."""
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
    subscriber_config,
)

# The wait loop notices a signal within a second, then shutdown pauses for
# one; the rest is room for a loaded machine.
PROMPT = 3.5
NEIGHBOUR = "ip -6 neigh add fe80::2aa:bbff:fecc:ddee"
# A subscriber discovers the publisher and asks for an open data path,
# which the double confirms.
SUBSCRIBER_FLOW = [
    script_line("dns_subscribe", "thread", DNS_DISCOVERY_RESULT, discovery_record(0), 100),
    script_line("dns_datapath_req", "thread", DNS_DATA_CONFIRM, confirm_record(1), 100),
]


def subscriber(tmp_path, holds=None):
    config = subscriber_config(tmp_path / "sub.json", security="open")
    return double_run(tmp_path, "subscribe", config, SUBSCRIBER_FLOW, holds=holds)


def assert_stopped_once(run, status, took, path_end):
    out = run.output()
    assert status == 0, out
    assert took < PROMPT, (took, out)
    calls = run.calls()
    assert calls.count("dns_stop_service 0 -1") == 1, calls
    assert calls[-1] == "dns_stop_service 0 -1", calls
    path_ends = [call for call in calls if call.startswith("dns_datapath_end")]
    assert path_ends == ([f"dns_datapath_end {path_end} -1"] if path_end else []), calls
    assert out.count("!!!!!! Terminated !!!!!!") == 1, out


def test_an_ip_command(tmp_path):
    with subscriber(tmp_path, holds={"ip": 6}) as run:
        run.wait_for_command("ip -6 address add")
        status, took = run.stop(signal.SIGINT)
        # Left running: it ends on its own.
        run.wait_for_command("ip -6 done", timeout=10, after_exit=True)
        commands = run.commands()

    assert_stopped_once(run, status, took, path_end=None)
    # Neither the route command nor the data path request followed.
    assert not [c for c in commands if c.startswith("ip -6 route")], commands
    assert "dns_datapath_req -1 -1" not in run.calls()


def test_the_pause_before_the_ping(tmp_path):
    with subscriber(tmp_path) as run:
        run.wait_for_command(NEIGHBOUR)
        status, took = run.stop(signal.SIGINT)

    assert_stopped_once(run, status, took, path_end=1)
    assert not [c for c in run.commands() if c.startswith("ping6")], run.commands()


def test_the_pause_of_the_ping(tmp_path):
    with subscriber(tmp_path) as run:
        run.wait_for_command(NEIGHBOUR)
        # Past the 3 s pause, inside the 2 s one.
        time.sleep(3.6)
        status, took = run.stop(signal.SIGINT)

    assert_stopped_once(run, status, took, path_end=1)
    assert not [c for c in run.commands() if c.startswith("ping6")], run.commands()


def test_ping6(tmp_path):
    with subscriber(tmp_path, holds={"ping6": 8}) as run:
        run.wait_for_command("ping6 -I nan0 -c 10 fe80::2aa:bbff:fecc:ddee")
        status, took = run.stop(signal.SIGINT)
        run.wait_for_command("ping6 -I done", timeout=12, after_exit=True)

    assert_stopped_once(run, status, took, path_end=1)
    assert run.output().count("[nanpeer] exec_stop_script_ex") == 1


def test_a_start_command(tmp_path):
    config = publisher_config(
        tmp_path / "pub.json",
        # The shell nanpeer starts runs the sleep itself: killing it would
        # show as a missing "svc started 0".
        [
            {
                "security": "open",
                "start_cmd": "svc start 0; sleep 6; svc started 0",
                "end_cmd": "svc end 0",
            }
        ],
    )
    script = [
        script_line("dns_publish", "thread", DNS_DATA_INDICATION, indication_record(1, 3), 100),
        script_line("dns_publish", "thread", DNS_DATA_CONFIRM, confirm_record(3), 100),
        script_line("dns_publish", "thread", DNS_DATA_ESTABLISHED, established_record(3), 100),
    ]
    with double_run(tmp_path, "publish", config, script) as run:
        run.wait_for_command("svc start 0")
        status, took = run.stop(signal.SIGINT)
        run.wait_for_command("svc started 0", timeout=10, after_exit=True)
        commands = run.commands()

    assert_stopped_once(run, status, took, path_end=3)
    assert commands.count("svc end 0") == 1, commands
