#!/usr/bin/env bash
# Builds everything and runs the whole test suite.
#   SANITIZE=address ./test.sh   AddressSanitizer + UBSan build in build-address/
#   SANITIZE=thread ./test.sh    ThreadSanitizer build in build-thread/
set -euo pipefail
cd "$(dirname "$0")"
source scripts/ensure-packages.sh
varlo_ensure_packages

sanitize=${SANITIZE:-}
dir=build${sanitize:+-$sanitize}
varlo_build "$dir" "$sanitize"

# Tests start helper programs (orbsim, pdfinfo) from threaded processes.
export TSAN_OPTIONS="${TSAN_OPTIONS:-halt_on_error=1 second_deadlock_stack=1 die_after_fork=0 suppressions=$PWD/tests/tsan.supp}"
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1}"
export LSAN_OPTIONS="${LSAN_OPTIONS:-suppressions=$PWD/tests/lsan.supp print_suppressions=0}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1 halt_on_error=1}"
cd "$dir"
ctest --output-on-failure -j2 --timeout 300
