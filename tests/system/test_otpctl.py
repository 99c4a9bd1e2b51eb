# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
"""otpctl in the board: the bytes that reach the OTP images, the output, the statuses."""
import pytest

from boardtest import run

RAW_SIZE, MAP_SIZE = 4096, 2048


@pytest.fixture
def otp(tmp_path):
    """Two images with known contents, and a way to run otpctl on them."""
    raw = tmp_path / "raw.bin"
    mapped = tmp_path / "map.bin"
    raw.write_bytes(bytes(i % 256 for i in range(RAW_SIZE)))
    mapped.write_bytes(bytes((255 - i) % 256 for i in range(MAP_SIZE)))

    class Otp:
        raw_path, map_path = raw, mapped
        raw_before, map_before = raw.read_bytes(), mapped.read_bytes()

        def run(self, *args, board=()):
            return run(
                ["otpctl", *args], board=["--otp-raw", str(raw), "--otp-map", str(mapped), *board]
            )

        def unchanged(self):
            return raw.read_bytes() == self.raw_before and mapped.read_bytes() == self.map_before

    return Otp()


def test_read_dumps_rows_of_sixteen_and_returns_the_count(otp):
    r = otp.run("rraw", "10", "4")
    assert (r.status, r.stdout, r.stderr) == (4, b"addr : 0x10, size: 4\n10 11 12 13 ", b"")

    r = otp.run("rmap", "0", "17")
    row = b"".join(b"%02x " % (255 - i) for i in range(16))
    assert (r.status, r.stdout) == (17, b"addr : 0x0, size: 17\n" + row + b"\nef ")

    r = otp.run("rraw", "FF", "32")
    rows = [b"".join(b"%02x " % ((0xFF + i) % 256) for i in range(k, k + 16)) for k in (0, 16)]
    assert (r.status, r.stdout) == (
        32,
        b"addr : 0xff, size: 32\n" + rows[0] + b"\n" + rows[1] + b"\n",
    )


def test_read_status_edges(otp):
    r = otp.run("rraw", "0", "256")
    assert r.status == 0 and r.stdout.count(b"\n") == 1 + 16
    r = otp.run("rraw", "0", "abc")
    assert (r.status, r.stdout) == (0, b"addr : 0x0, size: 0\n")
    # Past the end of the view: what was not read shows as zeros.
    r = otp.run("rmap", "7fe", "4")
    assert (r.status, r.stdout) == (2, b"addr : 0x7fe, size: 4\n01 00 00 00 ")
    assert otp.unchanged()


def test_write_reaches_only_its_view_and_only_len_bytes(otp):
    r = otp.run("wmap", "0", "2", "a1B2")
    assert (r.status, r.stderr) == (0, b"")
    assert r.stdout == b"addr : 0x0, size: 2\nbuf[0] = a1\nbuf[1] = b2\n"
    assert otp.map_path.read_bytes() == b"\xa1\xb2" + otp.map_before[2:]
    assert otp.raw_path.read_bytes() == otp.raw_before

    r = otp.run("wraw", "ffe", "1", "05ff")
    assert (r.status, r.stdout) == (0, b"addr : 0xffe, size: 1\nbuf[0] = 5\n")
    raw = otp.raw_path.read_bytes()
    assert raw[0xFFE:] == b"\x05\xff" and raw[:0xFFE] == otp.raw_before[:0xFFE]

    r = otp.run("rmap", "0", "3")
    assert r.stdout.endswith(b"a1 b2 fd ")


def test_odd_value_is_reported_and_not_written(otp):
    r = otp.run("wraw", "0", "1", "abc")
    assert (r.status, r.stdout, r.stderr) == (
        0,
        b"addr : 0x0, size: 1\nval buffer is invalid\n",
        b"",
    )
    assert otp.unchanged()


@pytest.mark.parametrize(
    "args, message",
    [
        (["erase", "0", "1"], b"unknown command 'erase' (rraw, rmap, wraw or wmap)"),
        (
            ["wraw", "0x10", "1", "00"],
            b"address '0x10' is not hexadecimal (digits 0-9 a-f, no 0x prefix)",
        ),
        (["rraw", "100000010", "1"], b"address '100000010' has more than 8 digits"),
        (["rraw", "0", "1025"], b"length '1025' is outside 0..1024"),
        (["wraw", "0", "-1", "00"], b"length '-1' is outside 0..1024"),
        (["wmap", "0", "2", "00"], b"length 2 is more than the 1 bytes the value gives"),
        (["wmap", "0", "1", "0g"], b"value '0g' is not hexadecimal (digits 0-9 a-f, two a byte)"),
        (["wmap", "0", "1", "f" * 2050], b"value has 2050 characters, at most 2048 fit"),
    ],
)
def test_bad_input_is_refused_before_the_device_is_opened(otp, args, message):
    r = otp.run(*args)
    assert (r.status, r.stdout, r.stderr) == (1, b"", b"otpctl: " + message + b"\n")
    assert otp.unchanged()
    # Without the views an open would fail with 255: the check came first.
    assert run(["otpctl", *args], board=["--no-otp"]).status == 1


def test_usage_lines(otp):
    r = otp.run("wraw", "0", "1")
    assert (r.status, r.stdout, r.stderr) == (
        1,
        b"",
        b"Usage:[wraw/wmap] [addr] [len] [write val]\n",
    )
    for args in ([], ["rraw", "0"]):
        r = otp.run(*args)
        assert (r.status, r.stdout, r.stderr) == (
            1,
            b"",
            b"[rraw/rmap/wraw/wmap] [addr] [len] [write val]\n",
        )


def test_missing_views(otp):
    for args in (["rraw", "0", "4"], ["wmap", "0", "1", "00"]):
        r = run(["otpctl", *args], board=["--no-otp"])
        assert (r.status, r.stdout, r.stderr) == (255, b"Can't open nvmem device\n", b"")


def test_failed_write_is_reported_and_not_status_0(otp):
    r = otp.run("wraw", "10", "2", "a1b2", board=["--otp-fail-writes", "raw"])
    assert r.status == 255
    assert r.stdout == b"addr : 0x10, size: 2\nbuf[0] = a1\nbuf[1] = b2\n"
    assert r.stderr == b"otpctl: writing 2 bytes at 0x10 failed: No space left on device\n"
    # The other view still works.
    r = otp.run("wmap", "0", "1", "77", board=["--otp-fail-writes", "raw"])
    assert r.status == 0 and otp.map_path.read_bytes()[0] == 0x77
    assert otp.raw_path.read_bytes() == otp.raw_before


def test_default_images_are_zeroed_and_kept_in_the_state_folder(tmp_path):
    state = tmp_path / "state"
    r = run(["otpctl", "wraw", "fff", "1", "5a"], state=state)
    assert r.status == 0
    raw = (state / "otp" / "raw.bin").read_bytes()
    assert len(raw) == RAW_SIZE and raw == bytes(RAW_SIZE - 1) + b"\x5a"
    assert (state / "otp" / "map.bin").read_bytes() == bytes(MAP_SIZE)
    r = run(["otpctl", "rraw", "ffe", "2"], state=state)
    assert (r.status, r.stdout) == (2, b"addr : 0xffe, size: 2\n00 5a ")
