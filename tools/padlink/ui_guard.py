# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
"""Which requests the page server accepts: the Host it may be reached by and
the Origin a WebSocket may come from.

A browser sends every page's WebSocket to whatever address the page names,
so the server itself must refuse sockets from other sites' pages (Origin),
and names that merely resolve to it (a rebound DNS name, Host).
"""
import ipaddress

LOOPBACK_NAMES = ("localhost", "127.0.0.1", "[::1]")


def parse_listen(text):
    """ "HOST:PORT" (an IPv6 host in brackets) as (host, port)."""
    host, sep, port = text.rpartition(":")
    if not sep or not host or not port.isdigit() or int(port) > 65535:
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


def allowed_hosts(host, port):
    """The Host header values the server answers to; None for any (when it
    listens on every address, under whatever names the machine has)."""
    if is_wildcard(host):
        return None
    names = {url_host(host)}
    if is_loopback(host):
        names |= set(LOOPBACK_NAMES)
    return {f"{name}:{port}" for name in names}


def host_allowed(host_header, allowed):
    return bool(host_header) and (allowed is None or host_header.lower() in allowed)


def origin_allowed(origin, host_header, allowed):
    """A WebSocket's Origin must be the page's own: this server, by the very
    name the socket was opened with."""
    return (
        host_allowed(host_header, allowed)
        and (origin or "").lower() == f"http://{host_header.lower()}"
    )
