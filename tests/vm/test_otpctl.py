# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
"""otpctl on the board's nvmem devices: output and statuses for reads and
writes of both views, the bytes the devices hold afterwards (read back
through the kernel), writes that can only set bits, bad input and a refused
write.

On any board: reads compared with the views' contents, rewriting bytes
with what they hold (OTP bits can only be set, so that changes nothing),
bad input and a write at the end, all in whole aligned 4-byte words, which
OTP drivers that take only words accept too. On the virtual board (marker
virtual_board) the views are first put into a known state through the OTP
driver's test controls, which a real board's driver does not have."""
import pytest

RAW = "/sys/bus/nvmem/devices/otp_raw0/nvmem"
MAP = "/sys/bus/nvmem/devices/otp_map0/nvmem"
CONTROLS = "/sys/kernel/debug/board_otp"
RAW_SIZE, MAP_SIZE = 4096, 2048
RAW_START = bytes(i % 256 for i in range(RAW_SIZE))
MAP_START = bytes((255 - i) % 256 for i in range(MAP_SIZE))


REFUSED = [
    ("erase 0 1", b"unknown command 'erase' (rraw, rmap, wraw or wmap)"),
    ("wraw 0x10 1 00", b"address '0x10' is not hexadecimal (digits 0-9 a-f, no 0x prefix)"),
    ("rraw 0 1025", b"length '1025' is outside 0..1024"),
    ("wraw 0 -1 00", b"length '-1' is outside 0..1024"),
    ("wmap 0 2 00", b"length 2 is more than the 1 bytes the value gives"),
    ("wmap 0 1 0g", b"value '0g' is not hexadecimal (digits 0-9 a-f, two a byte)"),
]


def dump(offset, count, data):
    """otpctl's read output: `count` bytes, those past what was read zero."""
    data = data + bytes(count - len(data))
    text = f"addr : 0x{offset:x}, size: {count}\n"
    for i, byte in enumerate(data):
        text += f"{byte:02x} " + ("\n" if i % 16 == 15 else "")
    return text.encode()


def test_reads_show_what_the_views_hold(board):
    for name, path in (("raw", RAW), ("map", MAP)):
        content = board.read_file(path)
        size = len(content)
        assert size in (RAW_SIZE, MAP_SIZE), f"{path}: {size} bytes"
        # Within, a row and more, across the end (short), at the end (none).
        for offset, count in ((0, 16), (0x10, 4), (0x40, 24), (size - 4, 8), (size, 4)):
            got = content[offset : offset + count]
            status, out, err = board.tool(f"otpctl r{name} {offset:x} {count}")
            assert (status, out, err) == (len(got) % 256, dump(offset, count, got), b""), (
                name,
                offset,
                count,
            )
        status, out, _ = board.tool(f"otpctl r{name} 0 256")
        assert (status, out) == (0, dump(0, 256, content[:256]))


def test_rewriting_what_a_view_holds_changes_nothing(board):
    for name, path in (("raw", RAW), ("map", MAP)):
        before = board.read_file(path)
        word = before[0x20:0x24]
        status, out, err = board.tool(f"otpctl w{name} 20 4 {word.hex()}")
        lines = "".join(f"buf[{i}] = {b:x}\n" for i, b in enumerate(word))
        assert (status, out, err) == (0, b"addr : 0x20, size: 4\n" + lines.encode(), b"")
        # At the end the nvmem core refuses the write itself (EFBIG).
        size = len(before)
        status, _, err = board.tool(f"otpctl w{name} {size:x} 4 00000000")
        assert (status, err) == (
            255,
            f"otpctl: writing 4 bytes at 0x{size:x} failed: File too large\n".encode(),
        )
        assert board.read_file(path) == before


def test_bad_input_reaches_no_device(board):
    before = board.read_file(RAW), board.read_file(MAP)
    assert board.tool("otpctl wraw 0 4 abc") == (
        0,
        b"addr : 0x0, size: 4\nval buffer is invalid\n",
        b"",
    )
    for args, message in REFUSED:
        assert board.tool(f"otpctl {args}") == (1, b"", b"otpctl: " + message + b"\n"), args
    assert board.tool("otpctl wraw 0 1") == (
        1,
        b"",
        b"Usage:[wraw/wmap] [addr] [len] [write val]\n",
    )
    assert (board.read_file(RAW), board.read_file(MAP)) == before


@pytest.fixture
def otp(board):
    """Both views filled with known bytes and their access logs emptied."""
    for view, content in (("otp_raw0", RAW_START), ("otp_map0", MAP_START)):
        board.write(f"/tmp/{view}.start", content)
        board.check(f"cat /tmp/{view}.start > {CONTROLS}/{view}/image")
        board.check(f"echo > {CONTROLS}/{view}/calls")
        board.check(f"echo none > {CONTROLS}/{view}/fail_write")

    class Otp:
        def run(self, *args):
            return board.tool("otpctl " + " ".join(args))

        def raw(self):
            return board.read_file(RAW)

        def map(self):
            return board.read_file(MAP)

        def unchanged(self):
            return self.raw() == RAW_START and self.map() == MAP_START

        def writes(self, view):
            calls = board.check(f"cat {CONTROLS}/{view}/calls").splitlines()
            return [line for line in calls if line.startswith("write")]

    return Otp()


@pytest.mark.virtual_board
def test_reads_of_both_views(otp):
    assert otp.run("rraw", "10", "4") == (4, b"addr : 0x10, size: 4\n10 11 12 13 ", b"")
    row = b"".join(b"%02x " % (255 - i) for i in range(16))
    assert otp.run("rmap", "0", "17") == (17, b"addr : 0x0, size: 17\n" + row + b"\nef ", b"")
    status, out, _ = otp.run("rraw", "0", "256")
    assert status == 0 and out.count(b"\n") == 1 + 16
    # Across the end the nvmem core returns what there is: a short read.
    assert otp.run("rmap", "7fe", "4") == (2, b"addr : 0x7fe, size: 4\n01 00 00 00 ", b"")
    # At the end it returns 0 (end of file).
    assert otp.run("rraw", "1000", "2") == (0, b"addr : 0x1000, size: 2\n00 00 ", b"")
    assert otp.unchanged()


@pytest.mark.virtual_board
def test_writes_reach_only_their_view_and_only_len_bytes(otp):
    assert otp.run("wmap", "0", "2", "a1B2") == (
        0,
        b"addr : 0x0, size: 2\nbuf[0] = a1\nbuf[1] = b2\n",
        b"",
    )
    # What is stored is the old bytes OR the new: ff a1|fe b2|fd.
    assert otp.map() == bytes([0xFF | 0xA1, 0xFE | 0xB2]) + MAP_START[2:]
    assert otp.raw() == RAW_START

    assert otp.run("wraw", "ffe", "1", "05ff") == (0, b"addr : 0xffe, size: 1\nbuf[0] = 5\n", b"")
    assert otp.raw() == RAW_START[:0xFFE] + bytes([0xFE | 0x05, 0xFF])
    assert otp.writes("otp_raw0") == ["write 4094 1 ok"]


@pytest.mark.virtual_board
def test_a_write_cannot_clear_bits(otp, board):
    board.check(f": > {CONTROLS}/otp_raw0/image")
    assert otp.run("wraw", "20", "1", "a5")[0] == 0
    status, out, err = otp.run("wraw", "20", "1", "0f")
    # The tool wrote 0f and the kernel took it; the fuses keep a5's bits.
    assert (status, out, err) == (0, b"addr : 0x20, size: 1\nbuf[0] = f\n", b"")
    assert board.read_bytes(RAW, 0x20, 1) == b"\xaf"
    assert otp.run("rraw", "20", "1") == (1, b"addr : 0x20, size: 1\naf ", b"")


@pytest.mark.virtual_board
def test_bad_input_never_reaches_the_driver(otp):
    otp.run("wraw", "0", "1", "abc")
    for args, _ in REFUSED:
        otp.run(*args.split())
    otp.run("wraw", "0", "1")
    assert otp.writes("otp_raw0") == [] and otp.writes("otp_map0") == []
    assert otp.unchanged()


@pytest.mark.virtual_board
def test_writes_the_kernel_refuses(otp, board):
    board.check(f"echo EIO > {CONTROLS}/otp_raw0/fail_write")
    assert otp.run("wraw", "10", "2", "a1b2") == (
        255,
        b"addr : 0x10, size: 2\nbuf[0] = a1\nbuf[1] = b2\n",
        b"otpctl: writing 2 bytes at 0x10 failed: Input/output error\n",
    )
    assert otp.writes("otp_raw0") == ["write 16 2 EIO"]
    # The other view still takes writes.
    assert otp.run("wmap", "0", "1", "00")[0] == 0
    board.check(f"echo none > {CONTROLS}/otp_raw0/fail_write")
    assert otp.raw() == RAW_START

    # At the end of a view the nvmem core refuses the write itself (EFBIG).
    status, _, err = otp.run("wmap", "800", "1", "ff")
    assert (status, err) == (255, b"otpctl: writing 1 bytes at 0x800 failed: File too large\n")
    assert otp.map() == MAP_START

    # Across the end it cuts the write there: a short write, reported.
    assert otp.run("wraw", "ffe", "4", "05ff0102") == (
        255,
        b"addr : 0xffe, size: 4\nbuf[0] = 5\nbuf[1] = ff\nbuf[2] = 1\nbuf[3] = 2\n",
        b"otpctl: only 2 of 4 bytes written at 0xffe\n",
    )
    assert otp.raw() == RAW_START[:0xFFE] + bytes([0xFE | 0x05, 0xFF])
