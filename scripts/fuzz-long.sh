#!/usr/bin/env bash
# Long fuzzing runs: every libFuzzer target of the project (or the ones
# named) for MINUTES each, default 10, each exactly as its CTest test runs it
# (tests/fuzz/run_fuzzer.sh: a fresh corpus from its seeds, the same memory
# and time-out limits) but for longer; then, for each, the number of inputs
# executed, executions per second and whether it crashed.
#
#   scripts/fuzz-long.sh [MINUTES] [FUZZER...]
#   JOBS=2 scripts/fuzz-long.sh 25    two fuzzers at a time
#
# Works in the build folder ./test.sh uses (build/, or BUILD_DIR): an
# existing one is used as it is configured, a missing one is configured
# (RelWithDebInfo, Ninja); only the fuzz targets are built, with -j2. The
# fuzzers and their seeds are those CTest knows (label "fuzz"). Each run's
# output goes to <build>/fuzz-long/<name>.log; an input that failed is kept
# in <build>/fuzz/<name>/ as crash-*, leak-*, timeout-* or oom-*.
# Exits non-zero when any fuzzer crashed.
set -euo pipefail
cd "$(dirname "$0")/.."

minutes=${1:-10}
[ $# -gt 0 ] && shift
if ! [[ $minutes =~ ^[0-9]+$ ]] || [ "$minutes" -eq 0 ]; then
  echo "usage: scripts/fuzz-long.sh [MINUTES] [FUZZER...]" >&2
  exit 2
fi
jobs=${JOBS:-1}
dir=${BUILD_DIR:-build}

source scripts/ensure-packages.sh
varlo_ensure_packages
if [ ! -f "$dir/CMakeCache.txt" ]; then
  cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
dir=$(cd "$dir" && pwd)

# name <TAB> working folder <TAB> run_fuzzer.sh <TAB> fuzzer <TAB> seed...
list=$(ctest --test-dir "$dir" --show-only=json-v1 -L fuzz | python3 -c '
import json, sys
for test in json.load(sys.stdin)["tests"]:
    folder = [p["value"] for p in test.get("properties", []) if p["name"] == "WORKING_DIRECTORY"]
    command = test["command"]  # sh run_fuzzer.sh FUZZER SECONDS SEED...
    print("\t".join([test["name"], folder[0] if folder else ".", command[1], command[2]] + command[4:]))
')
if [ -z "$list" ]; then
  echo "No fuzzers in $dir: they need clang++ with libFuzzer (packages clang, libclang-rt-14-dev)." >&2
  exit 1
fi

declare -A known=()
all=()
while IFS=$'\t' read -r name _; do
  known[$name]=1
  all+=("$name")
done <<<"$list"
names=("$@")
[ ${#names[@]} -eq 0 ] && names=("${all[@]}")
for name in "${names[@]}"; do
  [ -n "${known[$name]:-}" ] || { echo "No fuzzer named $name (there are: ${all[*]})" >&2; exit 2; }
done

cmake --build "$dir" -j2 --target "${names[@]}"

# As ./test.sh runs the tests.
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1}"
export LSAN_OPTIONS="${LSAN_OPTIONS:-suppressions=$PWD/tests/lsan.supp print_suppressions=0}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1 halt_on_error=1}"

logs=$dir/fuzz-long
mkdir -p "$logs"
seconds=$((minutes * 60))

run_one() {
  local name=$1 line folder runner fuzzer
  line=$(grep -P "^\Q$name\E\t" <<<"$list")
  IFS=$'\t' read -r -a fields <<<"$line"
  folder=${fields[1]} runner=${fields[2]} fuzzer=${fields[3]}
  local status=0
  (cd "$folder" && sh "$runner" "$fuzzer" "$seconds" "${fields[@]:4}") >"$logs/$name.log" 2>&1 || status=$?
  echo "$status" >"$logs/$name.status"
}

echo "Fuzzing ${names[*]} for $minutes min each, $jobs at a time; logs in $logs"
running=0
for name in "${names[@]}"; do
  if [ "$running" -ge "$jobs" ]; then
    wait -n
    running=$((running - 1))
  fi
  echo "$(date +%H:%M:%S) $name"
  run_one "$name" &
  running=$((running + 1))
done
wait

failed=0
printf '\n%-24s %14s %10s  %s\n' fuzzer inputs exec/s result
for name in "${names[@]}"; do
  log=$logs/$name.log
  status=$(cat "$logs/$name.status")
  # libFuzzer's final statistics, or its last progress line when it had none.
  units=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -1)
  [ -n "$units" ] || units=$(grep -oE '^#[0-9]+' "$log" | tail -1 | tr -d '#')
  if [ "$status" -eq 0 ]; then
    result="no crash"
  else
    result="CRASHED (exit $status): $(grep -m1 -oE '(crash|leak|timeout|oom)-[0-9a-f]+' "$log" || echo "see $log")"
    failed=1
  fi
  printf '%-24s %14s %10s  %s\n' "$name" "${units:-?}" "${rate:-?}" "$result"
done
exit $failed
