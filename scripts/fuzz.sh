#!/usr/bin/env bash
# Builds the libFuzzer targets with clang into build-fuzz/, writes their seed corpora and
# runs each target for SECONDS_PER_TARGET seconds (default 60), one after the other.
#   scripts/fuzz.sh [SECONDS_PER_TARGET]            the trace and the frame target
#   scripts/fuzz.sh --families [SECONDS_PER_FAMILY]  the trace target once per reader family
#                                                    (KORVANE_FUZZ_FAMILY), each its own corpus
# Prints per run the executions, executions per second, coverage, the runs per reader
# family (trace) or topology (frame), and findings (crash-, leak-,
# timeout- and oom- files under build-fuzz/fuzz-run/findings/); exits non-zero on any.
# The corpora in build-fuzz/fuzz-run/corpus-* grow from run to run.
set -euo pipefail
cd "$(dirname "$0")/.."
families=0
if [ "${1:-}" = "--families" ]; then
  families=1
  shift
fi
seconds="${1:-60}"

scripts/setup.sh
clang_major="$(clang++ -dumpversion | cut -d. -f1)"
if ! ls /usr/lib/llvm-"$clang_major"/lib/clang/*/lib/linux/libclang_rt.fuzzer-x86_64.a >/dev/null 2>&1; then
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "libclang-rt-$clang_major-dev"
fi

build=build-fuzz
CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKORVANE_FUZZ=ON \
  -DKORVANE_BUILD_TESTS=OFF -DKORVANE_BUILD_BENCH=OFF -DKORVANE_BUILD_DESKTOP=OFF >/dev/null
cmake --build "$build" -j "$(nproc)" --target korvane-fuzz-trace korvane-fuzz-frame korvane-fuzz-seeds

run="$build/fuzz-run"
rm -rf "$run/seeds" "$run/findings"
mkdir -p "$run"
# The office and Token Ring scenarios in every format, cut short, and the damaged corpus.
"$build/fuzz/korvane-fuzz-seeds" "$run/seeds" fuzz/corpus/damaged/*

export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1}"
declare -A max_len=([trace]=65536 [frame]=16384)
status=0
# fuzz NAME TARGET: one run of korvane-fuzz-TARGET with its own corpus and findings.
fuzz() {
  local name="$1" target="$2"
  local corpus="$run/corpus-$name" findings="$run/findings/$name" log="$run/$name.log"
  mkdir -p "$corpus" "$findings"
  "$build/fuzz/korvane-fuzz-$target" "$corpus" "$run/seeds/$target" -dict="fuzz/$target.dict" \
    -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len="${max_len[$target]}" \
    -print_final_stats=1 -artifact_prefix="$findings/" >"$log" 2>&1 || true
  local executions per_second found coverage
  executions="$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")"
  per_second="$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log")"
  found="$(find "$findings" -type f \( -name 'crash-*' -o -name 'leak-*' -o -name 'timeout-*' -o -name 'oom-*' \) | wc -l)"
  # A run that ended without its final statistics died in a way libFuzzer could not report.
  [ -n "$executions" ] || found=$((found + 1))
  coverage="$(sed -n 's/^#[0-9].* cov: \([0-9]*\) ft: \([0-9]*\).*/\1 edges, \2 features/p' "$log" | tail -1)"
  printf '%s: %s executions, %s exec/s, %s, %s findings\n' "$name" "${executions:-?}" "${per_second:-?}" \
    "${coverage:-coverage ?}" "$found"
  # The target's own count of runs per reader family or topology, printed at its exit.
  [ "$families" -eq 1 ] || sed -n 's/^runs per /  runs per /p' "$log" | head -1
  if [ "$found" -ne 0 ]; then
    status=1
    grep -m1 -E 'ERROR|runtime error|SUMMARY' "$log" || true
    echo "  log: $log; inputs: $findings/"
  fi
}

if [ "$families" -eq 1 ]; then
  for family in $(sed -n '/kFamilyGroups\[\] = {/,/};/p' fuzz/TraceLayouts.h | grep -o '"[A-Za-z0-9]*"' | tr -d '"'); do
    export KORVANE_FUZZ_FAMILY="$family"
    fuzz "trace-$family" trace
  done
else
  fuzz trace trace
  fuzz frame frame
fi
exit "$status"
