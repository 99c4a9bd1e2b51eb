# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
"""padprobe's command channel: every request type and its exact answer, the
writes and warnings each causes, and how requests are cut from the line."""
import json

from padprobe_board import ACK, ERROR, SLOW, answered, cjson, got, startup, unsupported

QUERY = '{"type":"query"}'


def query_answer(
    status="idle", scan=10, avg=4, etc_en=1, step=4, etc_int=1, factor=8, deb_en=1, deb_cnt=2
):
    return cjson(
        ("type", "query"),
        ("version", "1.0"),
        ("status", status),
        ("scan_int", scan),
        ("avg_samp", avg),
        ("etc_en", etc_en),
        ("step", step),
        ("etc_int", etc_int),
        ("etc_factor", factor),
        ("deb_en", deb_en),
        ("deb_cnt", deb_cnt),
        ("chip_name", "NimbusChip"),
    )


def channel_answer(ch, enable=0, mbias=20, diff=100, abs_th=2000, nn=50, pn=50):
    return cjson(
        ("type", "query_ch"),
        ("ch", ch),
        ("enable", enable),
        ("mbias", mbias),
        ("diff_th", diff),
        ("abs_th", abs_th),
        ("nn_th", nn),
        ("pn_th", pn),
    )


def test_startup_and_usage(probe, tmp_path):
    p = probe()
    assert p.log_since(0, startup(p.uart_path)) == startup(p.uart_path)

    # A device path longer than the 19 characters of a fixed buffer works.
    link = tmp_path / "usb-Board_Console_0123456789-if00-port0"
    p = probe(uart_link=str(link))
    assert p.log_since(0, startup(str(link))) == startup(str(link))
    p.exchange(QUERY, query_answer())

    p = probe(tool_args=["padprobe"])
    assert p.wait() == 1
    assert p.stdout() == b"[CAP][ERROR] cmd: padprobe <UART device node> &\n\n"


def test_query_and_settings_requests(probe):
    p = probe("--touch-do", "set chx_abs_th:7 12345", "--touch-do", "set chx_diff_th:7 5")
    p.exchange(QUERY, query_answer())
    mark = p.clear_writes_mark()
    p.exchange('{"type":"query_ch","ch":7}', channel_answer(7, diff=5, abs_th=1234))
    # Values are read four characters at a time: 12345 reads as 1234.
    assert p.writes_of(mark) == [("ch_num", None, "7", "ok")]
    assert p.get("ch_num") == 7

    mark = p.clear_writes_mark()
    config = (
        '{"type":"config","scan_int":12,"step":4,"avg_samp":8,"etc_en":1,"etc_int":-1,'
        '"etc_factor":16,"deb_en":5,"deb_cnt":3}'
    )
    warn = "Error: illegal parameter.\n"
    p.exchange(config, ACK, warn + warn)
    assert p.writes_of(mark) == [
        ("scan_interval", None, "12", "ok"),
        ("sample_num", None, "8", "ok"),
        ("debounce_times", None, "3", "ok"),
        ("debounce_en", None, "1", "ok"),
        ("etc_enable", None, "1", "ok"),
        ("etc_interval", None, "-1", "ok"),
        ("etc_factor", None, "16", "ok"),
        ("etc_step", None, "4", "ok"),
    ]
    p.exchange(QUERY, query_answer(scan=12, avg=8, etc_int=-1, factor=16, deb_cnt=3))

    # No warning at the limits; a debounce count of 4 and abs_th 4096 warn.
    mark = p.clear_writes_mark()
    p.exchange(
        '{"type":"config","scan_int":0,"step":15,"avg_samp":7,"etc_en":0,"etc_int":127,'
        '"etc_factor":15,"deb_en":0,"deb_cnt":4}',
        ACK,
        warn,
    )
    assert [w[2] for w in p.writes_of(mark)] == ["0", "7", "4", "0", "0", "127", "15", "15"]

    # The driver refuses MBias 70: the short write and its label are logged,
    # the other settings are written all the same, and the answer is ack.
    mark = p.clear_writes_mark()
    p.exchange(
        '{"type":"config_ch","ch":4,"enable":7,"mbias":70,"diff_th":-3,"abs_th":4096,'
        '"nn_th":1,"pn_th":2}',
        ACK,
        "[CAP][ERROR] write chx_mbias error\n\n[CAP][ERROR] ctc_set_chx_mbias\n\n" + warn,
    )
    assert p.writes_of(mark) == [
        ("ch_num", None, "4", "ok"),
        ("chx_mbias", 4, "70", "EINVAL"),
        ("chx_abs_th", 4, "4096", "ok"),
        ("chx_diff_th", 4, "-3", "ok"),
        ("chx_p_noise_th", 4, "2", "ok"),
        ("chx_n_noise_th", 4, "1", "ok"),
        ("chx_enable", 4, "1", "ok"),
    ]
    p.exchange(
        '{"type":"config_ch","ch":4,"enable":0,"mbias":63,"diff_th":9,"abs_th":4095,'
        '"nn_th":3,"pn_th":4}',
        ACK,
    )
    p.exchange(
        '{"type":"query_ch","ch":4}',
        channel_answer(4, enable=0, mbias=63, diff=9, abs_th=4095, nn=3, pn=4),
    )

    mark = p.clear_writes_mark()
    p.exchange('{"type":"reset"}', ACK)
    assert p.writes_of(mark) == [("ctc_enable", None, "0", "ok"), ("ctc_enable", None, "1", "ok")]


def test_values_too_long_for_small_buffers_are_written_whole(probe):
    p = probe()
    mark = p.clear_writes_mark()
    p.exchange(
        '{"type":"config","scan_int":123456789,"step":-2147483648,"avg_samp":1,'
        '"etc_en":1,"etc_int":1,"etc_factor":1,"deb_en":1,"deb_cnt":1}',
        ACK,
    )
    texts = {w[0]: w[2] for w in p.writes_of(mark)}
    assert texts["scan_interval"] == "123456789"
    assert texts["etc_step"] == "-2147483648"
    mark = p.clear_writes_mark()
    p.exchange(
        '{"type":"config_ch","ch":1,"enable":1,"mbias":1,"diff_th":1,'
        '"abs_th":-2000000000,"nn_th":1,"pn_th":1}',
        ACK,
    )
    assert ("chx_abs_th", 1, "-2000000000", "ok") in p.writes_of(mark)
    # A channel index of four characters reaches ch_num whole; the driver refuses it.
    mark = p.clear_writes_mark()
    # The refused selection leaves channel 1 selected, whose abs_th reads as
    # its first four characters.
    p.exchange(
        '{"type":"query_ch","ch":1000}',
        channel_answer(1000, enable=1, mbias=1, diff=1, abs_th=-200, nn=1, pn=1),
        "[CAP][ERROR] write ch_num error\n\n",
    )
    assert p.writes_of(mark) == [("ch_num", None, "1000", "EINVAL")]


def test_unsupported_and_malformed_requests(probe):
    p = probe()
    mark = p.clear_writes_mark()
    p.exchange('{"type":"ack"}', ERROR, unsupported(0))
    p.exchange('{"type":"error"}', ERROR, unsupported(1))
    p.exchange('{"type":"Query"}', ERROR, unsupported(255))
    p.exchange('{"kind":"query"}', ERROR, unsupported(255))
    p.exchange("{x}", ERROR, unsupported(255))
    p.exchange('{"type":7}', ERROR, unsupported(255))
    # Member names match whatever their letter case; type values do not.
    p.exchange('{"TYPE":"query"}', query_answer())
    p.exchange('{"Type":"query_ch","CH":2}', channel_answer(2))
    # A member missing or of the wrong kind: an error answer and no write.
    mark = p.clear_writes_mark()
    for bad in [
        '{"type":"query_ch"}',
        '{"type":"query_ch","ch":"2"}',
        '{"type":"config_ch","ch":1,"enable":1,"mbias":1,"diff_th":1,"abs_th":1,"nn_th":1}',
        '{"type":"config","scan_int":1}',
        '{"type":"tune_mbias_ch"}',
        '{"type":"start","samp_int":10}',
    ]:
        assert p.exchange(bad, ERROR, None).startswith("[CAP][WARN] "), bad
    assert p.writes_of(mark) == []
    p.exchange(QUERY, query_answer())


def test_request_framing(probe):
    p = probe()
    # Split over several reads: served once the last brace arrives.
    mark = p.mark()
    for piece in ['{"ty', 'pe":', '"query"', "}"]:
        p.link.send(piece)
        p.link.quiet(0.05)
    assert p.link.next_answer().raw.decode() == query_answer()
    assert p.wait_stdout(got(QUERY), start=mark)

    # Two requests in one read: both served, in order.
    p.link.send(QUERY + '{"type":"query_ch","ch":3}')
    assert p.link.next_answer().raw.decode() == query_answer()
    assert p.link.next_answer().raw.decode() == channel_answer(3)

    # The end of one request and the start of the next in one read.
    p.link.send('{"type":"reset"}{"type":"qu')
    assert p.link.next_answer().raw.decode() == ACK
    p.link.send('ery"}')
    assert p.link.next_answer().raw.decode() == query_answer()

    # Braces inside strings do not count, and leave nothing behind.
    assert p.wait_answers_logged(5)
    p.exchange('{"type":"query","note":"}}{"}', query_answer())
    p.exchange('{"type":"tune_mbias_ch }"}', ERROR, unsupported(255))
    p.exchange(QUERY, query_answer())
    assert not p.link.frames and not p.link.junk


def test_request_overflow(probe):
    p = probe()
    mark = p.mark()
    big = '{"type":"query","pad":"' + "a" * 1100 + '"}'
    reply = p.ask(big)
    assert reply.raw.decode() == ERROR
    assert p.wait_answers_logged(1)
    p.exchange(QUERY, query_answer())
    log = p.log_since(mark)
    assert log.count("[CAP][WARN]") == 1 and "1024" in log
    assert "Got request" in log and big not in log
    # A request that leaves room for its terminator in the buffer is served.
    fits = '{"type":"query","pad":"' + "b" * 998 + '"}'
    assert len(fits) == 1023
    assert json.loads(p.ask(fits).raw)["type"] == "query"


def test_nothing_inside_a_dropped_request_is_served(probe):
    p = probe()
    writes = p.clear_writes_mark()
    mark = p.mark()
    head = '{"type":"config","scan_int":1,"step":1,"avg_samp":1,"etc_en":0,"etc_int":1,'
    tail = '"etc_factor":1,"deb_en":0,"deb_cnt":1,"x":{"type":"reset"}}'
    pad = '"pad":"' + "p" * (1100 - len(head) - len(tail) - 9) + '",'
    config = head + pad + tail
    assert len(config) == 1100
    # Sent in pieces, the inner object among them, as a slow line delivers it.
    for at in range(0, len(config), 300):
        p.link.send(config[at : at + 300])
        p.link.quiet(0.02)
    assert p.link.next_answer().raw.decode() == ERROR
    assert p.wait_answers_logged(1)
    # The next answer is the next request's: no answer for the inner object
    # or for the closing brace after it.
    p.exchange(QUERY, query_answer())
    assert p.writes_of(writes) == []
    log = p.log_since(mark)
    assert log.count("[CAP][WARN]") == 1 and log.count("Got request") == 1

    # After a lost closing quote the skip gives up once it has gone 1024
    # bytes past the buffer, and framing starts afresh.
    p.link.send('{"type":"stop}' + "s" * 2100 + QUERY)
    assert p.link.next_answer().raw.decode() == ERROR
    assert p.link.next_answer().raw.decode() == query_answer()
    assert p.wait_answers_logged(4)
    p.exchange(QUERY, query_answer())


def test_stray_closing_brace_gets_no_answer(probe):
    p = probe()
    mark = p.mark()
    p.link.send("}")
    p.link.send(" junk}\r\n")
    assert p.ask(QUERY).raw.decode() == query_answer()
    assert p.wait_stdout(answered(query_answer()), timeout=10 * SLOW, start=mark)
    assert p.log_since(mark) == (
        "[CAP][WARN] Text outside any request discarded: }\n\n"
        "[CAP][WARN] Text outside any request discarded: junk}\n\n"
        + got(QUERY)
        + answered(query_answer())
    )
    # Text in front of an object stays with it, and draws the error answer.
    p.exchange("junk" + QUERY, ERROR, unsupported(255))
    assert not p.link.junk
