# Sourced by the scripts that drive the real program on a virtual display:
# checks the tools, copies the program into a scratch folder (it reads its
# settings file beside its executable), makes that the working folder and
# starts orbsim with device 1 there. Sets work, sim, port (the serial
# line's TCP port) and control (orbsim's control channel). Arguments: the
# script's own VARLO95 ORBSIM.
set -euo pipefail
program=$(realpath "$1") orbsim=$(realpath "$2")
for tool in xvfb-run xdotool; do
  command -v $tool >/dev/null || { echo "FAIL: $tool is not installed (scripts/ensure-packages.sh installs it)" >&2; exit 1; }
done
work=$(mktemp -d)
trap 'kill $sim 2>/dev/null || true; rm -rf "$work"' EXIT
cp "$program" "$work/varlo95"
export XDG_CONFIG_HOME="$work/config"
# No D-Bus session bus: the program stays off the bus of the desktop the
# tests run from (and off one that libdbus would start itself). Qt's
# accessibility bridge, the only user of the bus, then does without it;
# over the bus it runs in threads of libdbus, which ThreadSanitizer cannot
# follow.
export DBUS_SESSION_BUS_ADDRESS="unix:path=$work/no-session-bus"
cd "$work"

"$orbsim" --listen 127.0.0.1:0 --control 127.0.0.1:0 --devices 1 >sim.out &
sim=$!
for _ in $(seq 50); do grep -q '^CONTROL ' sim.out && break; sleep 0.1; done
port=$(sed -n 's/^LISTENING //p' sim.out)
control=$(sed -n 's/^CONTROL //p' sim.out)
