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
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build}"
shift || true
counts=("$@")
[ ${#counts[@]} -eq 0 ] && counts=(100000 1000000 4000000)
dir="${KORVANE_BENCH_DIR:-$build/bench-traces}"
peers="${KORVANE_BENCH_PEERS:-1}"
tshark_max="${KORVANE_BENCH_TSHARK_MAX:-1000000}"
mkdir -p "$dir"
cli="$build/src/app/cli/korvane-cli"
[ -x "$cli" ] || cli="$(find "$build" -name korvane-cli -type f -perm -u+x | head -1)"
mkload="$(find "$build" -name korvane-mkload -type f -perm -u+x | head -1)"
[ -x "$cli" ] && [ -x "$mkload" ] || { echo "build korvane-cli and korvane-mkload first" >&2; exit 1; }

log="$(mktemp)"
trap 'rm -f "$log"' EXIT

# Runs a command under /usr/bin/time -v; sets elapsed, cpu and peak (bytes).
measure() {
  /usr/bin/time -v -o "$log" "$@" >/dev/null 2>&1 || { echo "failed: $*" >&2; cat "$log" >&2; exit 1; }
  local user sys wall
  user=$(awk -F': ' '/User time/ {print $2}' "$log")
  sys=$(awk -F': ' '/System time/ {print $2}' "$log")
  wall=$(awk -F': ' '/Elapsed \(wall clock\)/ {print $2}' "$log" |
         awk -F: '{ s = 0; for (i = 1; i <= NF; ++i) s = s * 60 + $i; print s }')
  peak=$(( $(awk -F': ' '/Maximum resident set size/ {print $2}' "$log") * 1024 ))
  cpu=$(awk -v u="$user" -v s="$sys" 'BEGIN { printf "%.2f", u + s }')
  elapsed="$wall"
}

printf '%-9s %-34s %8s %8s %10s %10s %9s %9s\n' frames command elapsed cpu 'fr/s wall' 'fr/s cpu' 'peak MiB' 'B/frame'
row() {  # frames label
  awk -v n="$1" -v l="$2" -v e="$elapsed" -v c="$cpu" -v p="$peak" 'BEGIN {
    printf "%-9d %-34s %8.2f %8.2f %9.2fM %9.2fM %9.0f %9.1f\n", n, l, e, c, n / (e > 0 ? e : 0.01) / 1e6,
           n / (c > 0 ? c : 0.01) / 1e6, p / 1048576, p / n }'
}

for n in "${counts[@]}"; do
  prefix="$dir/office-$n"
  [ -s "$prefix.snoop" ] && [ -s "$prefix.enc" ] || "$mkload" "$n" "$prefix"
  cat "$prefix.enc" "$prefix.snoop" >/dev/null  # into the page cache
  declare -A cpuOf=() wallOf=()
  for format in enc snoop; do
    for command in summary conversations; do
      measure "$cli" "$command" "$prefix.$format"
      row "$n" "korvane-cli $command .$format"
      cpuOf["$command.$format"]="$cpu"
      wallOf["$command.$format"]="$elapsed"
    done
  done
  if [ "$peers" = 1 ]; then
    measure tcptrace -n -l -r "$prefix.snoop"
    row "$n" "tcptrace -n -l -r .snoop"
    cpuOf[tcptrace]="$cpu"
    wallOf[tcptrace]="$elapsed"
    if [ "$n" -le "$tshark_max" ]; then
      measure tshark -q -z conv,tcp -r "$prefix.snoop"
      row "$n" "tshark -q -z conv,tcp .snoop"
      cpuOf[tshark]="$cpu"
      wallOf[tshark]="$elapsed"
    fi
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
  unset cpuOf wallOf
done
