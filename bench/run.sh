#!/usr/bin/env bash
# Generates busy office-LAN traces (korvane-mkload) of 100 k, 1 M and 4 M frames, then runs
# `korvane-cli summary` and `korvane-cli conversations` on the Sniffer DOS and snoop files,
# and the peers on the same frames: `tcptrace -n -l -r` on the snoop file and
# `tshark -q -z conv,tcp`. Every command runs under /usr/bin/time -v with its output thrown
# away; the table gives elapsed and CPU (user + system) seconds, frames per second by each,
# peak memory per frame, and Korvane's speed relative to each peer (CPU time over CPU time,
# and elapsed over elapsed: >1 means Korvane is faster).
#
# Usage: bench/run.sh [BUILD_DIR] [FRAME_COUNTS...]
#   BUILD_DIR defaults to build; FRAME_COUNTS to "100000 1000000 4000000".
#   Traces go to $KORVANE_BENCH_DIR (default BUILD_DIR/bench-traces; several GB for 4 M
#   frames) and are kept between runs. KORVANE_BENCH_PEERS=0 skips the peers, and
#   KORVANE_BENCH_TSHARK_MAX (default 1000000) is the largest trace given to tshark.
#   KORVANE_BENCH_ROUNDS=N (default 1) runs every command N times, the commands taking
#   turns, and shows each command's median run (by elapsed time): on a shared virtual
#   machine one run says little. tshark runs in the first round only.
set -euo pipefail
export LC_ALL=C  # a decimal point in the clock's readings and in awk's
cd "$(dirname "$0")/.."
build="${1:-build}"
shift || true
counts=("$@")
[ ${#counts[@]} -eq 0 ] && counts=(100000 1000000 4000000)
dir="${KORVANE_BENCH_DIR:-$build/bench-traces}"
peers="${KORVANE_BENCH_PEERS:-1}"
tshark_max="${KORVANE_BENCH_TSHARK_MAX:-1000000}"
rounds="${KORVANE_BENCH_ROUNDS:-1}"
mkdir -p "$dir"
cli="$build/src/app/cli/korvane-cli"
[ -x "$cli" ] || cli="$(find "$build" -name korvane-cli -type f -perm -u+x | head -1)"
mkload="$(find "$build" -name korvane-mkload -type f -perm -u+x | head -1)"
[ -x "$cli" ] && [ -x "$mkload" ] || { echo "build korvane-cli and korvane-mkload first" >&2; exit 1; }

log="$(mktemp)"
trap 'rm -f "$log"' EXIT

# Runs a command under /usr/bin/time -v; sets elapsed, cpu and peak (bytes). The elapsed
# time is the shell's clock around the run (microseconds; it includes starting
# /usr/bin/time, about a millisecond): the tool's own is in steps of 10 ms, a sixth of a
# run of 100 k frames.
measure() {
  local start="$EPOCHREALTIME"
  /usr/bin/time -v -o "$log" "$@" >/dev/null 2>&1 || { echo "failed: $*" >&2; cat "$log" >&2; exit 1; }
  local end="$EPOCHREALTIME" user sys
  user=$(awk -F': ' '/User time/ {print $2}' "$log")
  sys=$(awk -F': ' '/System time/ {print $2}' "$log")
  peak=$(( $(awk -F': ' '/Maximum resident set size/ {print $2}' "$log") * 1024 ))
  cpu=$(awk -v u="$user" -v s="$sys" 'BEGIN { printf "%.2f", u + s }')
  elapsed=$(awk -v a="$start" -v b="$end" 'BEGIN { printf "%.3f", b - a }')
}

# The machine's state when the run began (see bench/README.md).
machine="$(find "$build" -name korvane-machine-bench -type f -perm -u+x | head -1)"
if [ -n "$machine" ]; then
  "$machine" | sed 's/^/# /'
fi
[ "$rounds" -gt 1 ] && echo "# medians of $rounds rounds, the commands taking turns"

printf '%-9s %-34s %8s %8s %10s %10s %9s %9s\n' frames command elapsed cpu 'fr/s wall' 'fr/s cpu' 'peak MiB' 'B/frame'
row() {  # frames label
  awk -v n="$1" -v l="$2" -v e="$elapsed" -v c="$cpu" -v p="$peak" 'BEGIN {
    printf "%-9d %-34s %8.3f %8.2f %9.2fM %9.2fM %9.0f %9.1f\n", n, l, e, c, n / (e > 0 ? e : 0.01) / 1e6,
           n / (c > 0 ? c : 0.01) / 1e6, p / 1048576, p / n }'
}

runs="$(mktemp -d)"
trap 'rm -f "$log"; rm -rf "$runs"' EXIT

for n in "${counts[@]}"; do
  prefix="$dir/office-$n"
  [ -s "$prefix.snoop" ] && [ -s "$prefix.enc" ] || "$mkload" "$n" "$prefix"
  cat "$prefix.enc" "$prefix.snoop" >/dev/null  # into the page cache
  keys=() labels=()
  declare -A argv=()
  for format in enc snoop; do
    for command in summary conversations; do
      keys+=("$command.$format"); labels+=("korvane-cli $command .$format")
      argv["$command.$format"]="$cli $command $prefix.$format"
    done
  done
  if [ "$peers" = 1 ]; then
    keys+=(tcptrace); labels+=("tcptrace -n -l -r .snoop"); argv[tcptrace]="tcptrace -n -l -r $prefix.snoop"
    if [ "$n" -le "$tshark_max" ]; then
      keys+=(tshark); labels+=("tshark -q -z conv,tcp .snoop"); argv[tshark]="tshark -q -z conv,tcp -r $prefix.snoop"
    fi
  fi
  rm -f "$runs"/*
  for ((round = 1; round <= rounds; ++round)); do
    for key in "${keys[@]}"; do
      [ "$key" = tshark ] && [ "$round" -gt 1 ] && continue
      # shellcheck disable=SC2086  # the command's words
      measure ${argv[$key]}
      echo "$elapsed $cpu $peak" >>"$runs/$key"
    done
  done
  declare -A cpuOf=() wallOf=()
  for i in "${!keys[@]}"; do
    key="${keys[$i]}"
    read -r elapsed cpu peak < <(sort -n "$runs/$key" | awk '{ line[NR] = $0 } END { print line[int((NR + 1) / 2)] }')
    row "$n" "${labels[$i]}"
    cpuOf["$key"]="$cpu"
    wallOf["$key"]="$elapsed"
  done
  if [ "$peers" = 1 ]; then
    for peer in tcptrace tshark; do
      [ -n "${cpuOf[$peer]:-}" ] || continue
      for format in enc snoop; do
        awk -v p="${cpuOf[$peer]}" -v k="${cpuOf[conversations.$format]}" -v pw="${wallOf[$peer]}" \
            -v kw="${wallOf[conversations.$format]}" -v peer="$peer" -v f="$format" -v n="$n" \
          'BEGIN { printf "%-9d conversations .%s vs %s: %.2fx (CPU time), %.2fx (elapsed)\n", n, f, peer,
                   p / (k > 0 ? k : 0.01), pw / (kw > 0 ? kw : 0.01) }'
      done
    done
  fi
  unset cpuOf wallOf argv
done
