#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: Copyright (c) 2026 The board-tools authors
# nanpeer on two simulated boards in radio range: a publisher of two
# services (one open, one that needs pairing) and a subscriber of the paired
# one. They discover each other, pair, bring the data path up on nan0 and
# ping over it; the publisher's start command starts a small service that
# the subscriber's board reaches over the link-local address; then both stop
# and the publisher's end command stops the service. Prints a timeline; the
# logs stay in demo-out/nan.
set -euo pipefail
cd "$(dirname "$(readlink -f "$0")")/../.."
repo=$PWD
state=$repo/demo-out/nan
rm -rf "$state"
mkdir -p "$state"
net=nandemo$$
medium=$(mktemp -d /tmp/nan-medium-XXXXXX)  # short: socket paths are limited
port=8082
publisher_addr=fe80::0:ff:fe00:1             # nan0 of the publisher, 02:00:00:00:00:01
pids=()

cleanup() {
  local pid side left
  for pid in "${pids[@]}"; do
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  done
  # Whatever an interrupted run left in the boards' namespaces (one pid a line).
  for side in a b; do
    mapfile -t left < <(ip netns pids "$net-$side" 2>/dev/null)
    [ ${#left[@]} -eq 0 ] || kill -KILL "${left[@]}" 2>/dev/null || true
  done
  # A service that the publisher's end command did not stop (a failed run).
  if [ -s "$state/service.pid" ] && ! grep -q '^stopped' "$state/service.log" 2>/dev/null; then
    kill "$(cat "$state/service.pid")" 2>/dev/null || true
  fi
  sim/board net down "$net" || true
  rm -rf "$medium"
}
trap cleanup EXIT

start_ns=$(date +%s%N)
milestone() {
  local now_ns
  now_ns=$(date +%s%N)
  printf '  %6.2f s  %s\n' "$(( (now_ns - start_ns) / 1000000 ))e-3" "$1"
}
# wait_for LABEL FILE REGEX: waits (up to 60 s) for REGEX in FILE.
wait_for() {
  local deadline=$((SECONDS + 60))
  until grep -Eq "$3" "$2" 2>/dev/null; do
    if [ $SECONDS -ge $deadline ]; then
      echo "nan demo: no '$3' in $2 after 60 s:" >&2
      sed 's/\x1b\[[0-9;]*m//g' "$2" >&2 || true
      exit 1
    fi
    sleep 0.05
  done
  milestone "$1"
}

# The small service: answers each connection with one line.
cat > "$state/service.py" <<'PY'
import socket, sys
port, log = int(sys.argv[1]), sys.argv[2]
server = socket.socket(socket.AF_INET6, socket.SOCK_STREAM)
server.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
server.bind(("::", port))
server.listen()
print("listening on port", port, file=open(log, "a"), flush=True)
while True:
    conn, peer = server.accept()
    conn.sendall(b"hello from the publisher's service\n")
    print("served", peer[0], file=open(log, "a"), flush=True)
    conn.close()
PY
# Its client, for the subscriber's board: "fe80::...%nan0" carries the scope.
cat > "$state/client.py" <<'PY'
import socket, sys
host, port = sys.argv[1], int(sys.argv[2])
address = socket.getaddrinfo(host, port, socket.AF_INET6, socket.SOCK_STREAM)[0][4]
with socket.socket(socket.AF_INET6, socket.SOCK_STREAM) as conn:
    conn.settimeout(5)
    conn.connect(address)
    print(conn.makefile().readline().strip())
PY

bin_path='"bin_path": {"iw": {"iw_path": "iw"}, "nan_r3": {"nan_r3_path": "/opt/nan/r3"},
  "wpa_supplicant": {"wpa_supplicant_path": "/usr/sbin/wpa_supplicant",
    "wpa_supplicant_conf_path": "/etc/wpa_supplicant.conf",
    "wpa_supplicant_log_file": "/tmp/wpa_supplicant.log", "wpa_supplicant_dbg_para": "-d"}}'
cat > "$state/publisher.json" <<JSON
{$bin_path,
 "basic": {"mac_addr": "02:00:00:00:00:01"},
 "dns_sd_record": {
  "publish1": {"publish_id": 1, "service_name": "nandemo-open", "name_of_service_instance": "open-1",
    "textinfo": "9 txtvers=1|0x06 path=/", "hostname": "nanhost", "port_number": 8081, "security": "open",
    "start_cmd": "echo open service up", "end_cmd": "echo open service down"},
  "publish2": {"publish_id": 2, "service_name": "nandemo-paired", "name_of_service_instance": "paired-1",
    "textinfo": "9 txtvers=1", "hostname": "nanhost", "port_number": $port, "security": "pairing",
    "bstrap_method": "opp|pin_code", "pairing_passphrase": "demo-pairing", "nik_caching": 1, "gtk_enable": 1,
    "start_cmd": "/usr/bin/python3 $state/service.py $port $state/service.log & echo \$! > $state/service.pid",
    "end_cmd": "kill \$(cat $state/service.pid) && echo stopped >> $state/service.log"}}}
JSON
cat > "$state/subscriber.json" <<JSON
{$bin_path,
 "basic": {"mac_addr": "02:00:00:00:00:02"},
 "dns_sd_record": {"subscribe": {"subscribe_id": 1, "service_name": "nandemo-paired", "security": "pairing",
    "bstrap_method": "opp", "pairing_passphrase": "demo-pairing", "nik_caching": 1}}}
JSON

echo "== nanpeer: two boards over nan0, a publisher of two services and a subscriber"
sim/board net up "$net" >/dev/null
board() {  # board a|b command...: run in board a (publisher) or b (subscriber)
  local side=$1
  shift
  sim/board run --netns "$net-$side" --nan-medium "$medium" --nan-trace "$state/trace" -- "$@"
}
# Started directly (not through the function) so that $! is the board itself,
# which passes SIGTERM on to nanpeer.
sim/board run --netns "$net-a" --nan-medium "$medium" --nan-trace "$state/trace" -- \
  nanpeer -r publish -n 2 -f "$state/publisher.json" > "$state/publisher.log" 2>&1 &
pids+=($!)
sim/board run --netns "$net-b" --nan-medium "$medium" --nan-trace "$state/trace" -- \
  nanpeer -r subscribe -f "$state/subscriber.json" > "$state/subscriber.log" 2>&1 &
pids+=($!)

wait_for "discovered: the subscriber found nandemo-paired" "$state/subscriber.log" 'service_name\(nandemo-paired\)'
wait_for "paired: bootstrapping and PASN succeeded" "$state/subscriber.log" 'PASN success'
wait_for "data path confirmed: nan0 has its link-local addresses" "$state/subscriber.log" 'status\(0\), ndp_id'
wait_for "service started by the publisher's start_cmd" "$state/service.log" 'listening'
wait_for "ping answered: the subscriber's ping6 got its first reply" "$state/subscriber.log" '^64 bytes from'
reply=$(board b /usr/bin/python3 "$state/client.py" "$publisher_addr%nan0" "$port")
milestone "service reached from the subscriber's board: \"$reply\""
wait_for "ping done: ten echo requests, ten replies" "$state/subscriber.log" '10 packets transmitted, 10 received'

kill -TERM "${pids[1]}" "${pids[0]}"
for pid in "${pids[@]}"; do
  status=0
  wait "$pid" || status=$?
  [ "$status" -eq 0 ] || { echo "nan demo: a nanpeer ended with status $status" >&2; exit 1; }
done
pids=()
wait_for "stopped: both sides ended the data path; end_cmd stopped the service" "$state/service.log" '^stopped'

echo
echo "Logs in demo-out/nan: publisher.log, subscriber.log, service.log and the library's trace."
