# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
"""otpctl on OTP that takes only whole 4-byte words at aligned offsets, as
writable fuse controllers commonly do: the OTP driver loaded again with its
strict profile (word_size=4 stride=4). Aligned whole words are read and
written; an unaligned or partial access is refused by the kernel (EINVAL),
and otpctl reports the failure with its status and message while nothing is
written."""
import pytest

RAW = "/sys/bus/nvmem/devices/otp_raw0/nvmem"
MAP = "/sys/bus/nvmem/devices/otp_map0/nvmem"
CONTROLS = "/sys/kernel/debug/board_otp"
RAW_START = bytes(i % 256 for i in range(4096))

pytestmark = pytest.mark.virtual_board


def reload_otp(board, options=""):
    board.check(f"rmmod board_otp && insmod /lib/modules/$(uname -r)/extra/board_otp.ko {options}")


@pytest.fixture
def words(board):
    """The OTP driver in its strict profile for one test, a known raw view."""
    reload_otp(board, "word_size=4 stride=4")
    try:
        board.write("/tmp/otp_raw0.start", RAW_START)
        board.check(f"cat /tmp/otp_raw0.start > {CONTROLS}/otp_raw0/image")
        yield board
    finally:
        reload_otp(board)


def otpctl(board, *args):
    return board.tool("otpctl " + " ".join(args))


def test_the_profile_is_in_force(words):
    params = "/sys/module/board_otp/parameters"
    assert words.check(f"cat {params}/word_size {params}/stride").split() == ["4", "4"]


def test_aligned_whole_words(words):
    assert otpctl(words, "rraw", "10", "8") == (
        8,
        b"addr : 0x10, size: 8\n10 11 12 13 14 15 16 17 ",
        b"",
    )
    assert otpctl(words, "wraw", "20", "4", "a1b2c3d4") == (
        0,
        b"addr : 0x20, size: 4\nbuf[0] = a1\nbuf[1] = b2\nbuf[2] = c3\nbuf[3] = d4\n",
        b"",
    )
    written = bytes(old | new for old, new in zip(RAW_START[0x20:0x24], b"\xa1\xb2\xc3\xd4"))
    assert words.read_file(RAW) == RAW_START[:0x20] + written + RAW_START[0x24:]
    assert otpctl(words, "wmap", "7fc", "4", "01020304")[0] == 0


def test_unaligned_or_partial_writes_fail_and_write_nothing(words):
    refused = [
        ("22", "4", "a1b2c3d4"),  # not on a word
        ("20", "2", "a1b2"),  # half a word
        ("21", "1", "ff"),  # one byte, off the word
    ]
    for address, length, value in refused:
        status, out, err = otpctl(words, "wraw", address, length, value)
        assert status == 255, (address, length)
        assert out.startswith(f"addr : 0x{address}, size: {length}\n".encode())
        assert err == (
            f"otpctl: writing {length} bytes at 0x{address} failed: Invalid argument\n".encode()
        )
    assert words.read_file(RAW) == RAW_START
    calls = words.check(f"cat {CONTROLS}/otp_raw0/calls")
    assert "write" not in calls, "a refused write reached the driver"


def test_a_word_and_a_part_writes_the_word_only(words):
    # The nvmem core writes the whole words and returns their count: a
    # short write, which otpctl reports as a failure.
    status, _, err = otpctl(words, "wraw", "40", "6", "ffffffffffff")
    assert (status, err) == (255, b"otpctl: only 4 of 6 bytes written at 0x40\n")
    assert words.read_file(RAW)[0x40:0x46] == b"\xff\xff\xff\xff" + RAW_START[0x44:0x46]


def test_unaligned_or_partial_reads_fail(words):
    status, out, err = otpctl(words, "rraw", "11", "4")
    assert (status, out, err) == (255, b"addr : 0x11, size: 4\n00 00 00 00 ", b"")
    assert otpctl(words, "rraw", "10", "3")[0] == 255
