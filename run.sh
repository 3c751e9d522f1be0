#!/usr/bin/env bash
# Installs what is missing, builds, starts the device simulator with three
# ORB devices (addresses 1, 2 and 17) on loopback, points port 1 of the
# program's settings file at it and starts the program. The simulator stops
# when the program exits; the devices keep their memories in
# ${XDG_DATA_HOME:-~/.local/share}/Varlo95/orbsim-state.
set -euo pipefail
cd "$(dirname "$0")"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "varlo95 needs a display: no DISPLAY or WAYLAND_DISPLAY is set (try: xvfb-run ./run.sh)" >&2
  exit 1
fi
source scripts/ensure-packages.sh
varlo_ensure_packages
varlo_build build

data="${XDG_DATA_HOME:-$HOME/.local/share}/Varlo95"
mkdir -p "$data"
out=$(mktemp)
build/sim/orbsim --listen 127.0.0.1:0 --control 127.0.0.1:0 --devices 1,2,17 \
  --state "$data/orbsim-state" >"$out" &
sim=$!
trap 'kill $sim 2>/dev/null; wait $sim 2>/dev/null; rm -f "$out"' EXIT
for _ in $(seq 50); do
  grep -q '^CONTROL ' "$out" && break
  sleep 0.1
done
port=$(sed -n 's/^LISTENING //p' "$out")
control=$(sed -n 's/^CONTROL //p' "$out")
[ -n "$port" ] || { echo "orbsim did not start" >&2; exit 1; }

# Port 1 is the simulator; a port already chosen stays chosen, and every
# other key of the settings file is left as it is.
cli=build/cli/varlo-cli
ini=$("$cli" settings-file "$PWD/build/app")
"$cli" setting "$ini" Communications "Com 1 Device" "rfc2217://127.0.0.1:$port"
"$cli" setting "$ini" Communications "Com Port" >/dev/null 2>&1 ||
  "$cli" setting "$ini" Communications "Com Port" 1

echo "orbsim serves ORB devices 1, 2 and 17 at rfc2217://127.0.0.1:$port (port 1 in $ini)"
echo "its control channel listens on 127.0.0.1:$control (try: echo state | socat - TCP:127.0.0.1:$control)"
build/app/varlo95
