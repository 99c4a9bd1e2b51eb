# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
"""Which requests the page server accepts: the Host it may be reached by,
the Origin a WebSocket may come from, and the token a page beyond this
machine must show.

A browser sends every page's WebSocket to whatever address the page names,
so the server itself must refuse sockets from other sites' pages (Origin),
and names that merely resolve to it (a rebound DNS name, Host). On every
address the server answers only to names it knows for itself: the
address it listens on, this machine's own names and addresses when it
listens on all of them, and the names given with --host.
"""
import fcntl
import hmac
import ipaddress
import secrets
import socket
import struct

LOOPBACK_NAMES = ("localhost", "127.0.0.1", "[::1]")
TOKEN_BYTES = 24
SIOCGIFADDR = 0x8915


def parse_listen(text):
    """ "HOST:PORT" (an IPv6 host in brackets) as (host, port)."""
    host, sep, port = text.rpartition(":")
    digits = port.isascii() and port.isdigit()
    if not sep or not host or not digits or int(port) > 65535:
        raise ValueError(f"--listen '{text}' is not HOST:PORT")
    return host.strip("[]"), int(port)


def is_loopback(host):
    if host == "localhost":
        return True
    try:
        return ipaddress.ip_address(host).is_loopback
    except ValueError:
        return False


def is_wildcard(host):
    try:
        return ipaddress.ip_address(host).is_unspecified
    except ValueError:
        return False


def url_host(host):
    return f"[{host}]" if ":" in host else host


def machine_names():
    """This machine's own names, as a browser on the bench would use them."""
    names = {socket.gethostname(), socket.getfqdn()}
    names.add(socket.gethostname().split(".")[0] + ".local")  # mDNS
    return {n.lower() for n in names if n}


def machine_addresses():
    """The addresses of this machine's interfaces (IPv4 by ioctl, IPv6 from
    /proc/net/if_inet6), as Host header names."""
    found = set()
    with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as sock:
        for _, name in socket.if_nameindex():
            request = struct.pack("256s", name.encode()[:15])
            try:
                answer = fcntl.ioctl(sock.fileno(), SIOCGIFADDR, request)
            except OSError:  # an interface without an IPv4 address
                continue
            found.add(socket.inet_ntoa(answer[20:24]))
    try:
        with open("/proc/net/if_inet6") as table:
            for line in table:
                address = ipaddress.ip_address(int(line.split()[0], 16))
                if not address.is_link_local:  # a Host cannot carry a zone
                    found.add(f"[{address.compressed}]")
    except OSError:
        pass  # no IPv6 on this machine
    return found


def allowed_names(host, extra=()):
    """The host names (without port) the server answers to when it listens
    on `host`, plus the `extra` names given on the command line."""
    names = {url_host(host).lower()} | {n.lower() for n in extra}
    if is_loopback(host):
        names |= set(LOOPBACK_NAMES)
    elif is_wildcard(host):
        names |= set(LOOPBACK_NAMES) | machine_names() | machine_addresses()
        names.discard(url_host(host))
    else:
        names |= machine_names()
    return names


def split_host(header):
    """A Host header as (name, port); port 80 when it names none; None for
    a header that is not a host and a port."""
    header = (header or "").lower()
    if header.startswith("["):
        name, sep, rest = header.partition("]")
        name += sep
        port = rest[1:] if rest.startswith(":") else ("" if not rest else None)
    else:
        name, _, port = header.partition(":")
    if not name or port is None or (port and not (port.isascii() and port.isdigit())):
        return None
    return name, int(port) if port else 80


def host_allowed(header, names, port):
    split = split_host(header)
    return split is not None and split[0] in names and split[1] == port


def origin_allowed(origin, header, names, port):
    """A WebSocket's Origin must be the page's own: this server, by the very
    name the socket was opened with."""
    return (
        host_allowed(header, names, port) and (origin or "").lower() == f"http://{header.lower()}"
    )


def new_token():
    return secrets.token_urlsafe(TOKEN_BYTES)


def token_matches(given, token):
    return isinstance(given, str) and hmac.compare_digest(given.encode(), token.encode())


def cookie_name(port):
    """Browsers keep cookies per host, not per port: two servers on one
    machine must not overwrite each other's token."""
    return f"padhost_token_{port}"
