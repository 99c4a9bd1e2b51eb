#!/usr/bin/python3
# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
"""Writes the seed corpora of the fuzz targets into fuzz/corpus/<target>/.

Seeds are small valid inputs that reach the interesting paths at once; the
fuzzer mutates from there. Run it again after changing an input format."""
import json
import os
import struct

HERE = os.path.dirname(os.path.realpath(__file__))


def write(target, name, data):
    folder = os.path.join(HERE, "corpus", target)
    os.makedirs(folder, exist_ok=True)
    if isinstance(data, str):
        data = data.encode()
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)


def words(*args):
    return "\0".join(args)


def otpctl():
    write("otpctl_args", "read-raw", words("rraw", "10", "4"))
    write("otpctl_args", "read-map-full", words("rmap", "ffffffff", "1024"))
    write("otpctl_args", "write-map", words("wmap", "0", "2", "a1B2"))
    write("otpctl_args", "write-odd", words("wraw", "0", "1", "abc"))
    write("otpctl_args", "write-no-value", words("wraw", "0", "1"))
    write("otpctl_args", "write-short-value", words("wraw", "100", "4", "0102"))
    write("otpctl_args", "length-signs", words("rraw", "", " +17", "extra", "more"))


def mcushell():
    write("mcushell_input", "one-command", b"\x01" + words("-c", "ver").encode())
    write(
        "mcushell_input", "option-later", b"\x01" + words("-x", "-c", "reboot", "-c", "b").encode()
    )
    write("mcushell_input", "not-the-option", b"\x01" + words("-cfoo").encode())
    write("mcushell_input", "option-last", b"\x01" + words("a", "-c").encode())
    write("mcushell_input", "lines", b"\x00ver\n\nexit\n")
    write("mcushell_input", "long-line", b"\x00" + b"a" * 127 + b"\n" + b"b" * 200 + b"\nexit")
    write("mcushell_input", "exit-blank", b"\x00exit \nst\x00op\nexit")


BIN_PATH = {
    "iw": {"iw_path": "/usr/sbin/iw"},
    "nan_r3": {"nan_r3_path": "/opt/nan/r3"},
    "wpa_supplicant": {
        "wpa_supplicant_path": "/usr/sbin/wpa_supplicant",
        "wpa_supplicant_conf_path": "/etc/wpa_supplicant.conf",
        "wpa_supplicant_log_file": "/tmp/wpa_supplicant.log",
        "wpa_supplicant_dbg_para": "-d",
    },
}


def config(name, role_byte, records):
    document = {
        "bin_path": BIN_PATH,
        "basic": {"mac_addr": "02:00:00:00:00:01"},
        "dns_sd_record": records,
    }
    write("nanpeer_config", name, bytes([role_byte]) + json.dumps(document, indent=1).encode())


def nanpeer_config():
    publish1 = {
        "publish_id": 1,
        "service_name": "demo",
        "name_of_service_instance": "demo-1",
        "textinfo": "9 txtvers=1|0x06 path=/",
        "hostname": "nanhost",
        "port_number": 8080,
        "security": "open",
        "start_cmd": "/etc/nan/up.sh",
        "end_cmd": "/etc/nan/down.sh",
    }
    publish2 = {
        "publish_id": 2,
        "service_name": "demo2",
        "name_of_service_instance": "demo-2",
        "textinfo": "",
        "hostname": "nanhost",
        "port_number": 8081,
        "security": "pairing",
        "bstrap_method": "opp|pin_code",
        "nik_caching": 1,
        "gtk_enable": 1,
        "pairing_passphrase": "0123456789abcdef",
    }
    # Role byte: bit 0 subscriber, bits 1-2 the service count.
    config("publish-two", 2 << 1, {"publish1": publish1, "publish2": publish2})
    pmk = dict(publish1, security="pmk", pmk_key="0123456789abcdef0123456789abcdef")
    config("publish-pmk", 1 << 1, {"publish1": pmk})
    config(
        "subscribe-passphrase",
        1 | (1 << 1),
        {
            "subscribe": {
                "subscribe_id": 7,
                "service_name": "demo",
                "security": "pw",
                "pw": "secret",
            }
        },
    )
    config(
        "subscribe-pairing",
        1 | (1 << 1),
        {
            "subscribe": {
                "subscribe_id": "7",
                "service_name": "demo",
                "security": "pairing",
                "bstrap_method": "qr_code passphrase",
                "nik_caching": 0,
            }
        },
    )


def nanpeer_text_info():
    capacity = struct.pack(">H", 255)
    write("nanpeer_text_info", "example", capacity + b"9 txtvers=1|0x06 path=/")
    write("nanpeer_text_info", "hex-lengths", struct.pack(">H", 16) + b"0x3 abc 0xff defg|2 hi")
    write("nanpeer_text_info", "no-data", capacity + b"  12  ")


# nanpeer_events: see the input format at the top of nanpeer_events.cpp.
DISCOVERY, INDICATION, CONFIRM, ESTABLISHED, BSTRAP, PASN, END = 0, 1, 2, 3, 4, 5, 6
TICK, STOP, FAIL, QUEUE = 6, 7, 5, 4


def slot(local_id, security, nik=0, own_address=False, text_length=0):
    flags = nik | (2 if own_address else 0) | (text_length << 2)
    return bytes([local_id, security, flags]) + bytes([2, 0, 0, 0, 0, 1])


def event(choice, record):
    return bytes([0, choice, 0]) + record


def queued(choice, record):
    """An event left in the ring until the next step that handles."""
    return bytes([QUEUE, choice, 0]) + record


def discovery(publisher_id, pmk_set=0, pairing_enable=0, paired=0, text=b""):
    record = bytes([7, publisher_id]) + bytes([2, 0, 0, 0, 0, 2]) + bytes(6)
    record += b"peer-service".ljust(256, b"\0") + b"peer-1".ljust(64, b"\0")
    record += text.ljust(256, b"\0") + struct.pack("<H", len(text))
    return record + bytes([pmk_set, pairing_enable, paired, 0])


def indication(publish_id, ndp_id, security):
    return (
        bytes([1, publish_id, ndp_id, 0])
        + bytes([2, 0, 0, 0, 0, 2])
        + bytes([2, 0, 0, 0, 0, 1])
        + bytes([security])
        + bytes(8)
    )


def confirm(ndp_id, status):
    return (
        bytes([2, status, ndp_id, 0, 0])
        + bytes([2, 0, 0, 0, 0, 1])
        + bytes([2, 0, 0, 0, 0, 2])
        + b"peerhost".ljust(256, b"\0")
        + bytes(1)
        + struct.pack("<H", 8080)
        + bytes(8)
    )


def bstrap(status, peer_id, own_id, role, method):
    return (
        bytes([status, peer_id, own_id, role])
        + struct.pack("<H", method)
        + bytes([2, 0, 0, 0, 0, 2])
    )


def pasn(status, local_role):
    return bytes([status, local_role, 1, 1]) + bytes([2, 0, 0, 0, 0, 2])


def events(name, header, steps):
    write("nanpeer_events", name, bytes([header]) + b"".join(steps))


def nanpeer_events():
    subscriber_one = 1 | (1 << 1)
    publisher_two = 2 << 1
    open_sub = slot(7, 0, own_address=True)
    events(
        "subscriber-open",
        subscriber_one,
        [
            open_sub,
            slot(0, 0),
            event(DISCOVERY, discovery(1, text=b"\x03abc")),
            event(CONFIRM, confirm(1, 0)),
            event(ESTABLISHED, bytes([3, 0, 1]) + bytes(6)),
            event(END, bytes([8, 0, 1])),
        ],
    )
    events(
        "subscriber-pairing",
        subscriber_one,
        [
            slot(7, 2, nik=1, own_address=True),
            slot(0, 0),
            event(DISCOVERY, discovery(1, pairing_enable=1)),
            event(BSTRAP, bstrap(0, 1, 7, 1, 0x01)),
            event(PASN, pasn(4, 1)),
            event(CONFIRM, confirm(1, 0)),
            bytes([STOP]),
            # After the stop, events come without an op byte.
            bytes([END, 0]) + bytes([8, 0, 1]),
        ],
    )
    events(
        "subscriber-pmk-timeout",
        subscriber_one,
        [
            slot(7, 1, own_address=True),
            slot(0, 0),
            event(DISCOVERY, discovery(1, pmk_set=1)),
            bytes([TICK, TICK, TICK, TICK]),
            bytes([FAIL, 0xFF]),
            event(DISCOVERY, discovery(1, pmk_set=1, pairing_enable=1, paired=1)),
        ],
    )
    events(
        "publisher-two",
        publisher_two,
        [
            slot(1, 0, text_length=4),
            slot(2, 2, nik=1),
            event(BSTRAP, bstrap(5, 9, 2, 0, 0x01)),
            event(PASN, pasn(4, 2)),
            event(INDICATION, indication(2, 5, 1)),
            event(CONFIRM, confirm(5, 0)),
            event(INDICATION, indication(1, 6, 0)),
            event(CONFIRM, confirm(6, 1)),
            bytes([0, 0xF5]) + struct.pack("<I", 7) + bytes([0xFF]),
        ],
    )

    events(
        "publisher-queued",
        publisher_two,
        [
            slot(1, 1),
            slot(2, 1),
            queued(INDICATION, indication(1, 3, 1)),
            queued(INDICATION, indication(2, 4, 1)),
            queued(CONFIRM, confirm(3, 0)),
            bytes([TICK, TICK, TICK, TICK]),
            queued(END, bytes([8, 0, 4])),
        ],
    )


def padprobe_requests():
    seed = b"\x07\x01"  # the read sizes
    start = {"type": "start", "samp_int": 1}
    start.update({f"ch{c}": 1 for c in range(9)})
    write(
        "padprobe_requests",
        "queries",
        seed + b'{"type":"query"} {"type":"query_ch","ch":4}'
        b'{"TYPE":"query"}{"type":"Query"}{"type":"ack"}{a}',
    )
    write(
        "padprobe_requests",
        "configure",
        seed
        + json.dumps(
            {
                "type": "config",
                "scan_int": 10,
                "step": 4,
                "avg_samp": 8,
                "etc_en": 1,
                "etc_int": -1,
                "etc_factor": 3,
                "deb_en": 5,
                "deb_cnt": 2,
            }
        ).encode()
        + json.dumps(
            {
                "type": "config_ch",
                "ch": 3,
                "enable": 0,
                "mbias": 12,
                "diff_th": 30,
                "abs_th": 4095,
                "nn_th": 5,
                "pn_th": 6,
            }
        ).encode()
        + b'{"type":"reset"}',
    )
    write(
        "padprobe_requests",
        "monitor",
        b"\x00\x00"
        + json.dumps(start).encode()
        + b'{"type":"query"}{"type":"stop"}{"type":"stop"}',
    )
    write(
        "padprobe_requests",
        "tune",
        seed + b'{"type":"tune_mbias_ch","ch":2}{"type":"tune_mbias_ch","ch":9}',
    )
    write(
        "padprobe_requests",
        "strings-and-overflow",
        seed
        + b'{"type":"query","note":"}}{\\"}"}'
        + b'{"type":"query","pad":"'
        + b"a" * 1100
        + b'"}{"type":"query"}}',
    )
    pad = b'"pad":"' + b"p" * 1040 + b'",'
    write(
        "padprobe_requests",
        "dropped-request-inside",
        seed + b'{"type":"config",' + pad + b'"x":{"type":"reset"}}{"type":"query"}',
    )
    write(
        "padprobe_requests",
        "stray-quote-and-braces",
        seed + b'} junk}{"type":"stop}' + b'{"type":"query"}' * 140 + b'ab{"type":"query"}',
    )


def main():
    padprobe_requests()
    otpctl()
    mcushell()
    nanpeer_config()
    nanpeer_text_info()
    nanpeer_events()


if __name__ == "__main__":
    main()
