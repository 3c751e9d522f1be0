#!/usr/bin/env bash
# Installs what is missing, builds, starts the device simulator on loopback
# and then the program. Without the desktop program built yet, it runs the
# simulator in the foreground and says where it serves.
set -euo pipefail
cd "$(dirname "$0")"
source scripts/ensure-packages.sh
varlo_ensure_packages
varlo_build build

out=$(mktemp)
build/sim/orbsim --listen 127.0.0.1:0 --control 127.0.0.1:0 >"$out" &
sim=$!
trap 'kill $sim 2>/dev/null; rm -f "$out"' EXIT
for _ in $(seq 50); do
  grep -q '^CONTROL ' "$out" && break
  sleep 0.1
done
port=$(sed -n 's/^LISTENING //p' "$out")
control=$(sed -n 's/^CONTROL //p' "$out")
[ -n "$port" ] || { echo "orbsim did not start" >&2; exit 1; }

echo "orbsim serves a simulated serial line at rfc2217://127.0.0.1:$port"
echo "its control channel listens on 127.0.0.1:$control (try: echo state | socat - TCP:127.0.0.1:$control)"
if [ -x build/app/varlo95 ]; then
  build/app/varlo95
else
  echo "Press Ctrl+C to stop."
  wait $sim
fi
