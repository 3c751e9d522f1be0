#!/bin/sh
# Runs a libFuzzer target for a bounded time and memory on a fresh corpus
# seeded with the given files; a crash, a leak, a time-out of one input or
# more than the memory limit fails the test. Inputs that fail are kept in
# the current folder as crash-*, leak-*, timeout-* or oom-*.
#   run_fuzzer.sh FUZZER SECONDS [SEED...]
set -eu
fuzzer=$1
seconds=$2
shift 2
corpus=$(mktemp -d "${TMPDIR:-/tmp}/varlo-fuzz-XXXXXX")
trap 'rm -rf "$corpus"' EXIT
for seed in "$@"; do cp "$seed" "$corpus/"; done
"$fuzzer" -max_total_time="$seconds" -rss_limit_mb=1024 -malloc_limit_mb=256 -timeout=5 \
  -max_len=4096 -print_final_stats=1 -artifact_prefix="$(pwd)/" "$corpus"
