#!/usr/bin/env bash
# command_line_test.sh VERSION PROGRAM...
# For each program: --help prints the usage on stdout and exits 0, --version
# prints "<name> VERSION", and an unknown option prints the usage on stderr
# and exits 2 without doing anything else.
set -uo pipefail
version=$1
shift
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

for program in "$@"; do
  name=$(basename "$program")
  timeout 20 "$program" --help >"$scratch/out" 2>"$scratch/err"
  status=$?
  [[ $status == 0 ]] || fail "$name --help exited $status"
  grep -q "^usage: $name" "$scratch/out" || fail "$name --help: no usage on stdout: $(head -c 200 "$scratch/out")"
  [[ ! -s $scratch/err ]] || fail "$name --help wrote to stderr: $(head -c 200 "$scratch/err")"

  timeout 20 "$program" --version >"$scratch/out" 2>"$scratch/err"
  status=$?
  [[ $status == 0 ]] || fail "$name --version exited $status"
  [[ $(cat "$scratch/out") == "$name $version" ]] || fail "$name --version printed: $(head -c 200 "$scratch/out")"

  timeout 20 "$program" --no-such-option >"$scratch/out" 2>"$scratch/err"
  status=$?
  [[ $status == 2 ]] || fail "$name --no-such-option exited $status"
  [[ ! -s $scratch/out ]] || fail "$name --no-such-option wrote to stdout"
  grep -q "^$name: .*--no-such-option" "$scratch/err" || fail "$name: bad option not named on stderr: $(head -c 200 "$scratch/err")"
  grep -q "^usage: $name" "$scratch/err" || fail "$name: no usage on stderr after a bad option"
done
[[ $failures == 0 ]] && echo "all ${#} programs keep the conventions"
exit $((failures > 0))
