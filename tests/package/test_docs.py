# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
"""Manual pages, the example configuration and the example systemd units."""
import json
import os
import re

import pytest

from packagetest import ALL_TOOLS, REPO, TOOLS_PACKAGE, built_tools, extract, package, run

MAN_DIR = os.path.join(REPO, "docs", "man")
EXAMPLES = os.path.join(REPO, "docs", "examples")
SECTIONS = ("NAME", "SYNOPSIS", "DESCRIPTION", "OPTIONS", "EXIT STATUS", "FILES", "EXAMPLES")

# What each tool's command line takes, as its page must name it (in roff,
# with the minus escaped).
ARGUMENTS = {
    "nanpeer": [r"\-r", r"\-f", r"\-t", r"\-n", r"\-b", r"\-h", r"\-s", "publish", "subscribe"],
    "padprobe": ["uart_device"],
    "otpctl": ["rraw", "rmap", "wraw", "wmap", "addr", "len", "value"],
    "mcushell": [r"\-c", "command", "exit"],
}


def page(tool):
    with open(os.path.join(MAN_DIR, f"{tool}.1")) as source:
        return source.read()


def roff_text(line):
    return line.replace(r"\-", "-").replace(r"\e", "\\")


@pytest.mark.parametrize("tool", ALL_TOOLS)
def test_manual_page_formats_cleanly_and_has_every_section(tool):
    path = os.path.join(MAN_DIR, f"{tool}.1")
    proc = run(["groff", "-man", "-ww", "-z", "-Tutf8", path])
    assert (proc.returncode, proc.stderr) == (0, "")
    headings = [
        roff_text(line[4:]).strip('"')
        for line in page(tool).splitlines()
        if line.startswith(".SH ")
    ]
    for section in SECTIONS:
        assert section in headings, f"{tool}.1 has no {section}"
    # apropos and whatis read the NAME line through lexgrog.
    proc = run(["lexgrog", path])
    assert proc.returncode == 0 and f'"{tool} - ' in proc.stdout, proc.stdout


@pytest.mark.parametrize("tool", ALL_TOOLS)
def test_manual_page_names_every_option_and_argument(tool):
    text = page(tool)
    for word in ARGUMENTS[tool]:
        assert re.search(
            rf"^\.(?:B|I|BI|IB|BR|IR|RB|RI)\s+\"?{re.escape(word)}\b", text, re.MULTILINE
        ), f"{tool}.1 does not describe {word}"


# The development machine's commands, in the sim package: the options each
# page names, by the --help text they must appear in.
SIM_PAGES = {
    "board-sim": [["sim/board", "run", "--help"], ["sim/board", "net", "--help"]],
    "padhost": [["tools/padhost", "--help"], ["tools/padhost", "ui", "--help"]],
}


@pytest.mark.parametrize("command", SIM_PAGES)
def test_sim_command_page_formats_cleanly_and_names_only_real_options(command):
    path = os.path.join(MAN_DIR, f"{command}.1")
    proc = run(["groff", "-man", "-ww", "-z", "-Tutf8", path])
    assert (proc.returncode, proc.stderr) == (0, "")
    text = page(command)
    headings = [line[4:].strip('"') for line in text.splitlines() if line.startswith(".SH ")]
    for section in ("NAME", "SYNOPSIS", "DESCRIPTION", "OPTIONS", "EXIT STATUS", "EXAMPLES"):
        assert section in headings, f"{command}.1 has no {section}"
    proc = run(["lexgrog", path])
    assert proc.returncode == 0 and f'"{command} - ' in proc.stdout, proc.stdout
    helps = "".join(
        run(["/usr/bin/python3", os.path.join(REPO, argv[0]), *argv[1:]]).stdout
        for argv in SIM_PAGES[command]
    )
    named = set(re.findall(r"^\.(?:B|BI|BR)\s+(--[a-z][a-z-]*)", roff_text(text), re.MULTILINE))
    assert named, f"{command}.1 names no option"
    for option in sorted(named):
        # A page that names an option the command lost misleads.
        assert re.search(rf"{option}\b(?!-)", helps), f"{command} has no {option}"


def test_nanpeer_page_shows_the_shipped_example_file():
    lines = page("nanpeer").splitlines()
    start = lines.index(".EX", next(i for i, line in enumerate(lines) if "Kept identical" in line))
    end = lines.index(".EE", start)
    shown = "\n".join(roff_text(line) for line in lines[start + 1 : end]) + "\n"
    with open(os.path.join(EXAMPLES, "nanpeer-publish.json")) as example:
        assert shown == example.read()


def test_example_configurations_have_every_section_nanpeer_reads():
    for name, sections in (
        ("nanpeer-publish.json", ["publish1", "publish2"]),
        ("nanpeer-subscribe.json", ["subscribe"]),
    ):
        with open(os.path.join(EXAMPLES, name)) as example:
            config = json.load(example)
        assert set(config) == {"bin_path", "basic", "dns_sd_record"}, name
        assert set(config["dns_sd_record"]) == set(sections), name
        assert re.fullmatch(r"([0-9a-f]{2}:){5}[0-9a-f]{2}", config["basic"]["mac_addr"]), name


@pytest.mark.parametrize(
    "unit,instance,tool",
    [
        ("nanpeer.service", "nanpeer.service", "nanpeer"),
        ("padprobe@.service", "padprobe@ttyS1.service", "padprobe"),
    ],
)
def test_example_unit_is_valid_and_runs_the_packaged_tool(tmp_path, unit, instance, tool):
    if tool not in built_tools():
        pytest.skip(f"{tool} is not in the tree")
    root = extract(package(TOOLS_PACKAGE, "amd64"), tmp_path / "root")
    with open(f"{root}/usr/share/doc/{TOOLS_PACKAGE}/examples/systemd/{unit}") as shipped:
        text = shipped.read()
    assert f"ExecStart=/usr/bin/{tool} " in text
    # The unit's command, taken from where the package put it.
    units = tmp_path / "units"
    units.mkdir()
    (units / instance).write_text(text.replace("=/usr/bin/", f"={root}/usr/bin/"))
    proc = run(["systemd-analyze", "verify", "--man=no", str(units / instance)])
    assert (proc.returncode, proc.stdout, proc.stderr) == (0, "", "")
