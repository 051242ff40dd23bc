#!/usr/bin/env bash
# make-captures.sh: records the two real traces in data/captures/ that the end-to-end
# tests of korvane-cli read, and writes data/captures/README.md with what tshark says
# about them.
#
#   delay40.enc  20 TCP requests of 100 bytes to port 7000 and 20 UDP requests of 100
#                bytes to port 7001, each answered with 300 bytes by a server that waits
#                40 ms before every answer; the client asks again only after the answer.
#   drops.enc    a 2,000,000-byte TCP upload to port 7002 through a token bucket with a
#                tiny queue, so that segments are dropped and TCP sends them again.
#
# Usage:  sudo tools/capture/make-captures.sh [OUTPUT_DIR]      (default: data/captures)
# Environment: KORVANE_CLI=path of korvane-cli to check that the traces read (default:
#              the first build*/src/korvane-cli found in the source tree; skipped if none).
#
# Needs root, ip (network namespaces, veth, ifb), tc (tbf, clsact, u32, mirred), ethtool,
# dumpcap, editcap and tshark (Wireshark), and python3 for tools/capture/exchange.py.
#
# How it works: two namespaces, kcap-client (10.77.0.1, link vc) and kcap-server
# (10.77.0.2, link vs), joined by one veth pair. Checksum and segmentation offloads are
# switched off on both ends so that the captured frames carry real checksums and are no
# larger than the link's MTU. Both traces are captured on the client's link vc.
#
# - The delay trace is captured only while the connection is up: the clients connect first
#   and start asking once dumpcap runs, and the TCP client closes after the capture has
#   stopped. So every command in the trace is a request (no SYN or FIN, whose answers would
#   come back at once). Linux acknowledges a small request at once, or after its delayed-
#   acknowledgement time of 40 ms (the same as the delay, so it races the answer); either
#   bare ACK would come back ahead of the answer. The server's bare ACKs are therefore
#   discarded on its side of the link, as from a server whose stack holds its
#   acknowledgement longer, and each request is acknowledged by its answer. The client
#   never misses them: the answer comes long before its retransmission timeout.
#   A recording in which an answer comes 1 ms late or more (a busy machine) is made again.
# - For the drop trace the server's link hands every incoming TCP segment to an ifb device
#   whose root qdisc is a tbf with a queue of 9000 bytes (six full frames). The capture on
#   vc sees each segment as the client sends it, before that queue, so a dropped segment
#   and its retransmission are both in the trace. A packet socket sees outgoing frames only
#   after the sender's own qdisc; with the tbf on the client's link the dropped originals
#   would never reach the capture. The server's receive buffer is small (8 KB) so that a
#   retransmission follows its original within a few segments.
set -euo pipefail

HERE="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
ROOT="$(cd "$HERE/../.." && pwd)"
OUT="${1:-$ROOT/data/captures}"
EXCHANGE="$HERE/exchange.py"

CLIENT_NS=kcap-client
SERVER_NS=kcap-server
CLIENT_IP=10.77.0.1
SERVER_IP=10.77.0.2
TCP_PORT=7000
UDP_PORT=7001
BULK_PORT=7002
DELAY_MS=40
EXCHANGES=20
REQUEST_BYTES=100
ANSWER_BYTES=300
UPLOAD_BYTES=2000000
QUEUE_LIMIT=9000
RECEIVE_BUFFER=8192
# The client and server programs run at a real-time priority, so that other work on the
# machine does not hold them up.
REALTIME="chrt -f 10"

die() { echo "make-captures: $*" >&2; exit 1; }

[ "$(id -u)" -eq 0 ] || die "must run as root (network namespaces)"
for tool in ip tc ethtool chrt dumpcap editcap tshark python3; do
  command -v "$tool" >/dev/null || die "$tool is missing"
done

WORK="$(mktemp -d /tmp/make-captures.XXXXXX)"
BACKGROUND=()

remove_namespaces() {
  ip netns del "$CLIENT_NS" 2>/dev/null || true
  ip netns del "$SERVER_NS" 2>/dev/null || true
}

cleanup() {
  local pid
  for pid in "${BACKGROUND[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  remove_namespaces
  rm -rf "$WORK"
}

trap cleanup EXIT
trap 'exit 130' INT TERM

in_client() { ip netns exec "$CLIENT_NS" "$@"; }
in_server() { ip netns exec "$SERVER_NS" "$@"; }

# Runs a command in the background and remembers it for the clean-up.
start() {
  "$@" &
  BACKGROUND+=("$!")
  LAST_PID=$!
}

wait_for_file() {
  local path=$1 tries=0
  until [ -e "$path" ]; do
    tries=$((tries + 1))
    [ "$tries" -lt 600 ] || die "timed out waiting for $path"
    sleep 0.05
  done
}

make_link() {
  remove_namespaces  # left over from a run that was killed
  ip netns add "$CLIENT_NS"
  ip netns add "$SERVER_NS"
  local ns
  for ns in "$CLIENT_NS" "$SERVER_NS"; do
    # No IPv6 chatter (router solicitations, MLD) on the link.
    ip netns exec "$ns" sysctl -q -w net.ipv6.conf.all.disable_ipv6=1 net.ipv6.conf.default.disable_ipv6=1
    ip -n "$ns" link set lo up
  done
  ip link add vc netns "$CLIENT_NS" type veth peer name vs netns "$SERVER_NS"
  ip -n "$CLIENT_NS" addr add "$CLIENT_IP/24" dev vc
  ip -n "$SERVER_NS" addr add "$SERVER_IP/24" dev vs
  in_client ethtool -K vc tx off tso off gso off >/dev/null
  in_server ethtool -K vs tx off tso off gso off >/dev/null
  ip -n "$CLIENT_NS" link set vc up
  ip -n "$SERVER_NS" link set vs up
  in_server tc qdisc add dev vs clsact
}

# Starts dumpcap on the client's link (pcap format) and waits until it captures.
# Arguments: output file, capture filter, extra dumpcap options.
start_capture() {
  local file=$1 filter=$2
  shift 2
  start ip netns exec "$CLIENT_NS" dumpcap -q -P -i vc -f "$filter" "$@" -w "$file" 2>"$file.log"
  CAPTURE_PID=$LAST_PID
  local tries=0
  until grep -q "Capturing on" "$file.log" 2>/dev/null; do
    tries=$((tries + 1))
    [ "$tries" -lt 200 ] || die "dumpcap did not start: $(cat "$file.log")"
    sleep 0.05
  done
  sleep 0.5
}

stop_capture() {
  sleep 0.3
  kill -INT "$CAPTURE_PID"
  wait "$CAPTURE_PID" || true
}

record_delay_trace() {
  local pcap=$1
  rm -rf "$WORK/tcp" "$WORK/udp"
  mkdir -p "$WORK/tcp" "$WORK/udp"
  start ip netns exec "$SERVER_NS" $REALTIME python3 "$EXCHANGE" serve-tcp $TCP_PORT $DELAY_MS $ANSWER_BYTES $REQUEST_BYTES
  start ip netns exec "$SERVER_NS" $REALTIME python3 "$EXCHANGE" serve-udp $UDP_PORT $DELAY_MS $ANSWER_BYTES $EXCHANGES
  sleep 0.3
  start ip netns exec "$CLIENT_NS" $REALTIME python3 "$EXCHANGE" ask-tcp $SERVER_IP $TCP_PORT $EXCHANGES $REQUEST_BYTES $ANSWER_BYTES "$WORK/tcp"
  local tcp_client=$LAST_PID
  start ip netns exec "$CLIENT_NS" $REALTIME python3 "$EXCHANGE" ask-udp $SERVER_IP $UDP_PORT $EXCHANGES $REQUEST_BYTES $ANSWER_BYTES "$WORK/udp"
  local udp_client=$LAST_PID
  wait_for_file "$WORK/tcp/connected"
  wait_for_file "$WORK/udp/connected"
  start_capture "$pcap" "tcp port $TCP_PORT or udp port $UDP_PORT"
  touch "$WORK/tcp/go"
  wait_for_file "$WORK/tcp/done"
  touch "$WORK/udp/go"
  wait_for_file "$WORK/udp/done"
  stop_capture
  touch "$WORK/tcp/close"
  wait "$tcp_client" "$udp_client"
}

server_bare_acks() {
  tshark_fields "$1" "ip.src==$SERVER_IP && tcp && tcp.len==0" frame.number | wc -l
}

# The server's bare TCP ACKs (flags ACK only, no data: 52 bytes of IP with the timestamp
# option) go to an ifb device whose queue takes nothing, so they never reach the link.
withhold_server_acks() {
  ip -n "$SERVER_NS" link add kcapnull type ifb
  ip -n "$SERVER_NS" link set kcapnull up
  in_server tc qdisc add dev kcapnull root pfifo limit 0
  in_server tc filter add dev vs egress protocol ip u32 \
    match ip protocol 6 0xff match ip sport $TCP_PORT 0xffff \
    match u16 52 0xffff at 2 match u8 0x10 0xff at 33 \
    action mirred egress redirect dev kcapnull
}

# A busy machine now and then wakes the server late; such a recording is made again, up
# to five times, so that every answer in the trace comes less than 1 ms after the delay.
record_timely_delay_trace() {
  local pcap=$WORK/delay40.pcap attempt
  withhold_server_acks
  for attempt in 1 2 3 4 5; do
    record_delay_trace "$pcap"
    read_answer_delays "$pcap"
    if answers_timely; then
      echo "withheld bare ACKs: $(in_server tc -s qdisc show dev kcapnull | grep -o 'dropped [0-9]*')"
      return
    fi
    echo "attempt $attempt: an answer came 1 ms late or more (TCP $TCP_MAX ms, UDP $UDP_MAX ms); recording again"
  done
  die "no recording of the delay trace had all answers on time"
}

record_drop_trace() {
  local pcap=$WORK/drops.pcap
  ip -n "$SERVER_NS" link add kcapifb type ifb
  ip -n "$SERVER_NS" link set kcapifb up
  in_server tc filter add dev vs ingress protocol ip u32 match ip protocol 6 0xff \
    action mirred egress redirect dev kcapifb
  in_server tc qdisc add dev kcapifb root tbf rate 50mbit burst 3000 limit $QUEUE_LIMIT
  start ip netns exec "$SERVER_NS" python3 "$EXCHANGE" sink-tcp $BULK_PORT $RECEIVE_BUFFER
  local sink=$LAST_PID
  sleep 0.3
  start_capture "$pcap" "tcp port $BULK_PORT" -s 96
  in_client python3 "$EXCHANGE" upload-tcp $SERVER_IP $BULK_PORT $UPLOAD_BYTES 65536
  wait "$sink"
  stop_capture
  echo "queue: $(in_server tc -s qdisc show dev kcapifb | grep -o 'dropped [0-9]*')"
}

tshark_fields() {
  local file=$1 filter=$2
  shift 2
  local args=() field
  for field in "$@"; do args+=(-e "$field"); done
  tshark -r "$file" -Y "$filter" -T fields -E separator=, "${args[@]}" 2>/dev/null
}

# Request count, answer count and answer delays (ms, from each request to the next answer)
# of one protocol in the delay trace, as one line "requests answers min mean max".
answer_delays() {
  local file=$1 proto=$2 length_field=$3
  tshark_fields "$file" "$proto" frame.time_relative ip.src "$length_field" |
    awk -F, -v client=$CLIENT_IP -v header="$([ "$proto" = udp ] && echo 8 || echo 0)" '
      $3 - header <= 0 { next }
      $2 == client { requests++; asked = $1; next }
      { answers++; d = ($1 - asked) * 1000; sum += d
        if (answers == 1 || d < min) min = d
        if (d > max) max = d }
      END { if (!answers) { print requests + 0, 0, 0, 0, 0; exit }
            printf "%d %d %.3f %.3f %.3f\n", requests, answers, min, sum / answers, max }'
}

read_answer_delays() {
  read -r TCP_REQUESTS TCP_ANSWERS TCP_MIN TCP_MEAN TCP_MAX < <(answer_delays "$1" tcp tcp.len)
  read -r UDP_REQUESTS UDP_ANSWERS UDP_MIN UDP_MEAN UDP_MAX < <(answer_delays "$1" udp udp.length)
}

answers_timely() {
  awk -v a="$TCP_MAX" -v b="$UDP_MAX" -v d=$DELAY_MS 'BEGIN { exit !(a < d + 1 && b < d + 1) }'
}

check_delay_trace() {
  local enc=$1
  read_answer_delays "$enc"
  [ "$(server_bare_acks "$enc")" -eq 0 ] || die "bare ACKs from the server in $enc"
  [ "$TCP_REQUESTS" -eq $EXCHANGES ] && [ "$TCP_ANSWERS" -eq $EXCHANGES ] || die "TCP exchange incomplete"
  [ "$UDP_REQUESTS" -eq $EXCHANGES ] && [ "$UDP_ANSWERS" -eq $EXCHANGES ] || die "UDP exchange incomplete"
  answers_timely || die "late answers in $enc"
  DELAY_FRAMES=$(tshark -r "$enc" 2>/dev/null | wc -l)
}

check_drop_trace() {
  local enc=$1
  RETRANSMISSIONS=$(tshark_fields "$enc" tcp.analysis.retransmission frame.number | wc -l)
  [ "$(tshark_fields "$enc" "tcp.analysis.retransmission && ip.src==$CLIENT_IP" frame.number | wc -l)" \
    -eq "$RETRANSMISSIONS" ] || die "retransmissions from the server in $enc"
  FAST_RETRANSMISSIONS=$(tshark_fields "$enc" tcp.analysis.fast_retransmission frame.number | wc -l)
  [ "$RETRANSMISSIONS" -gt 0 ] || die "no segment was dropped; lower QUEUE_LIMIT"
  DROP_FRAMES=$(tshark -r "$enc" 2>/dev/null | wc -l)
  DROP_SECONDS=$(tshark_fields "$enc" frame frame.time_relative | tail -1 | xargs printf "%.3f")
  DATA_SEGMENTS=$(tshark_fields "$enc" "ip.src==$CLIENT_IP && tcp.len>0" frame.number | wc -l)
}

# korvane-cli must accept both traces and list the client's streams.
check_korvane() {
  local cli=${KORVANE_CLI:-}
  if [ -z "$cli" ]; then
    cli=$(ls "$ROOT"/build*/src/korvane-cli 2>/dev/null | head -1 || true)
  fi
  if [ -z "$cli" ] || [ ! -x "$cli" ]; then
    echo "korvane-cli not built; skipping its check"
    return
  fi
  local file
  for file in "$OUT/delay40.enc" "$OUT/drops.enc"; do
    "$cli" detect "$file" >/dev/null || die "korvane-cli refuses $file"
    "$cli" summary "$file" >/dev/null || die "korvane-cli summary fails on $file"
    "$cli" streams "$file" | grep -q "^$CLIENT_IP	$SERVER_IP	TCP/" || die "no client TCP stream in $file"
  done
  "$cli" streams "$OUT/delay40.enc" | grep -q "^$CLIENT_IP	$SERVER_IP	UDP/" || die "no client UDP stream"
  echo "korvane-cli reads both traces ($cli)"
}

write_readme() {
  cat >"$OUT/README.md" <<EOF
# Real captures

Recorded by \`tools/capture/make-captures.sh\` (run as root) on Linux $(uname -r), between two
network namespaces joined by a veth pair: client 10.77.0.1, server 10.77.0.2. dumpcap
captured on the client's end of the pair; \`editcap -F ngsniffer\` turned each pcap into a
Sniffer DOS trace (.enc). The script's header says why it is set up as it is. The figures
below are what tshark reports on the .enc files themselves.

## delay40.enc

A Python client asks, a Python server waits ${DELAY_MS} ms and answers; the next request
goes out only after the answer. TCP to port ${TCP_PORT}, then UDP to port ${UDP_PORT}. The
capture starts after the TCP handshake and stops before the close, so every command in
it is a request. The server's bare ACKs were discarded before they reached the link
(Linux's own would race the answer), so the answer is the first acknowledgement of its
request: the trace holds no bare ACK from the server.

| | requests (${REQUEST_BYTES} bytes) | answers (${ANSWER_BYTES} bytes) | answer delay min / mean / max (ms) |
|---|---|---|---|
| TCP | ${TCP_REQUESTS} | ${TCP_ANSWERS} | ${TCP_MIN} / ${TCP_MEAN} / ${TCP_MAX} |
| UDP | ${UDP_REQUESTS} | ${UDP_ANSWERS} | ${UDP_MIN} / ${UDP_MEAN} / ${UDP_MAX} |

${DELAY_FRAMES} frames. The answer delay is the time from a request to the next frame from
the server (for TCP the same as tshark's \`tcp.analysis.ack_rtt\` of the answer). The
time beyond ${DELAY_MS} ms is the server's scheduling; the script refuses a recording in
which any answer comes 1 ms late or more.

## drops.enc

A ${UPLOAD_BYTES}-byte TCP upload from the client to port ${BULK_PORT}. On the server side
every incoming segment passes a token bucket (tbf, 50 Mbit/s) with a queue of
${QUEUE_LIMIT} bytes, which drops segments; the server's 8 KB receive buffer keeps the
window small, so a retransmission follows its original within a few segments. Frames are
cut to 96 bytes (the wire lengths are kept).

${DROP_FRAMES} frames, ${DATA_SEGMENTS} data segments from the client, ${DROP_SECONDS} s.
Retransmissions flagged by tshark -Y tcp.analysis.retransmission: ${RETRANSMISSIONS}
(${FAST_RETRANSMISSIONS} of them fast retransmissions), all sent by the client.
EOF
}

make_link
echo "recording delay40"
record_timely_delay_trace
echo "recording drops"
record_drop_trace
mkdir -p "$OUT"
editcap -F ngsniffer "$WORK/delay40.pcap" "$OUT/delay40.enc"
editcap -F ngsniffer "$WORK/drops.pcap" "$OUT/drops.enc"
check_delay_trace "$OUT/delay40.enc"
check_drop_trace "$OUT/drops.enc"
write_readme
check_korvane
echo "TCP answer delays ${TCP_MIN}/${TCP_MEAN}/${TCP_MAX} ms, UDP ${UDP_MIN}/${UDP_MEAN}/${UDP_MAX} ms;" \
  "${RETRANSMISSIONS} retransmissions; files in $OUT"
