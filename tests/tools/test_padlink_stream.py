# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
"""The host client's stream decoder, fed synthetic streams."""
import csv
import struct

from padlink import analysis, record
from padlink.stream import Answer, Frame, Greeting, Junk, SequenceChecker, StreamDecoder

# A reference frame with two channels: ch0 avg 1000 base 1100, ch2 avg
# 2000 base 1990, SNR 167, first frame after a start.
REFERENCE = bytes.fromhex(
    "64617461 01000000 02 A700 1200 DA" "00 E803 4C04 6400 00 00" "02 D007 C607 F6FF 00 00"
)


def frame_bytes(seq, records, snr=0, xor=None, length=None):
    payload = b"".join(
        struct.pack("<BHHHBB", ch, avg, base, (base - avg) & 0xFFFF, 0, 0)
        for ch, avg, base in records
    )
    if xor is None:
        xor = 0
        for byte in payload:
            xor ^= byte
    if length is None:
        length = len(payload)
    return struct.pack("<4sIBHHB", b"data", seq, len(records), snr, length, xor) + payload


ANSWER = b'{\n\t"type":\t"query",\n\t"chip_name":\t"a}\\"{b"\n}'


def decode(chunks):
    decoder = StreamDecoder()
    items = []
    for chunk in chunks:
        items += decoder.feed(chunk)
    return items, decoder


def test_reference_frame_decodes_exactly():
    assert frame_bytes(1, [(0, 1000, 1100), (2, 2000, 1990)], snr=167) == REFERENCE
    (frame,), _ = decode([REFERENCE])
    assert (frame.seq, frame.count, frame.snr, frame.length) == (1, 2, 167, 18)
    assert frame.xor_ok and frame.length_ok
    assert [(r.channel, r.average, r.baseline, r.diff) for r in frame.records] == [
        (0, 1000, 1100, 100),
        (2, 2000, 1990, -10),
    ]


def test_mixed_stream_splits_the_same_however_it_is_cut():
    stream = (
        b"start uart OK!\n"
        + ANSWER
        + frame_bytes(1, [(3, 4000, 4010)])
        + b'{"type":\t"ack"}'
        + frame_bytes(2, [])
        + frame_bytes(3, [(8, 1, 2)])
    )
    whole, _ = decode([stream])
    by_byte, decoder = decode([stream[i : i + 1] for i in range(len(stream))])
    assert [type(i) for i in whole] == [Greeting, Answer, Frame, Answer, Frame, Frame]
    assert [type(i) for i in by_byte] == [type(i) for i in whole]
    answer = whole[1]
    assert answer.raw == ANSWER and answer.obj == {"type": "query", "chip_name": 'a}"{b'}
    assert whole[3].obj == {"type": "ack"}
    empty = whole[4]
    assert (empty.count, empty.length, empty.xor, empty.records, empty.raw) == (
        0,
        0,
        0,
        [],
        empty.raw[:14],
    )
    assert [f.seq for f in by_byte if isinstance(f, Frame)] == [1, 2, 3]
    assert not decoder.buf


def test_damaged_frames_are_flagged_and_junk_is_skipped():
    bad_xor = frame_bytes(5, [(1, 10, 20)], xor=0x55)
    bad_length = frame_bytes(6, [(1, 10, 20)], length=10)
    too_many = b"data" + struct.pack("<IBHHB", 7, 10, 0, 90, 0)
    items, decoder = decode([b"noise" + bad_xor + bad_length + too_many + b"{}"])
    kinds = [type(i) for i in items]
    assert kinds == [Junk, Frame, Frame, Junk, Answer]
    assert items[0].raw == b"noise"
    assert not items[1].xor_ok and items[1].length_ok
    assert items[2].xor_ok and not items[2].length_ok
    assert items[3].raw == too_many
    # An unfinished answer or frame waits for the rest.
    items, decoder = decode([b'{"a": "}', b"dat"])
    assert items == [] and bytes(decoder.buf) == b'{"a": "}dat'
    assert isinstance(decoder.feed(b'"}')[0], Answer)


def test_sequence_checker_counts_gaps_duplicates_and_restarts():
    checker = SequenceChecker()
    for seq in [1, 2, 3, 3, 6, 7, 2, 1, 2, 9]:
        checker.add(Frame(b"", seq, 0, 0, 0, 0, [], True, True))
    assert checker.gaps == [(3, 6), (2, 9)]
    assert (checker.missing, checker.duplicates, checker.backwards, checker.restarts) == (
        8,
        1,
        1,
        1,
    )
    late = SequenceChecker()
    late.add(Frame(b"", 4, 0, 0, 0, 0, [], False, True))
    assert (late.gaps, late.missing, late.xor_errors) == ([(0, 4)], 3, 1)


def test_noise_snr_and_csv(tmp_path):
    frames = []
    diffs = [0, 3, -2, 1, 400, 420, 410, 2, -1]
    for seq, diff in enumerate(diffs, 1):
        raw = frame_bytes(seq, [(1, 3000 - diff, 3000), (4, 2000, 2000)])
        (frame,), _ = decode([raw])
        frame.arrival = seq * 0.01
        frames.append(frame)
    ch1, ch4 = analysis.channel_reports(frames, touch_threshold=100)
    assert (ch1.samples, ch1.touched, ch1.noise_pp, ch1.signal) == (9, 3, 5, 410)
    assert ch1.snr == 82
    assert (ch4.noise_pp, ch4.touched, ch4.snr) == (0, 0, None)

    path = tmp_path / "run.csv"
    record.write_csv(path, frames[:2] + [decode([frame_bytes(3, [(4, 5, 6)])])[0][0]])
    rows = list(csv.reader(open(path)))
    assert rows[0] == [
        "time_s",
        "seq",
        "snr",
        "ch1_average",
        "ch1_baseline",
        "ch1_diff",
        "ch4_average",
        "ch4_baseline",
        "ch4_diff",
    ]
    assert rows[1][1:] == ["1", "0", "3000", "3000", "0", "2000", "2000", "0"]
    assert rows[3][1:] == ["3", "0", "", "", "", "5", "6", "1"]
