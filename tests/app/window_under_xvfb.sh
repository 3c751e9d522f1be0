#!/usr/bin/env bash
# The real program on a virtual X display against orbsim, as a newcomer
# uses it: New, address 1 chosen from the dropped-down list, one band
# raised with the keyboard, quit. Checks what reached the simulated device:
# the read of its data, the band's new level in its memory, and the byte
# that gives the manual controls back at shutdown.
#   window_under_xvfb.sh VARLO95 ORBSIM
source "$(dirname "$0")/xvfb_setup.sh" "$@"
printf '[Communications]\nCom Port=1\nCom 1 Device=rfc2217://127.0.0.1:%s\n' "$port" >Varlo95.ini

cat >drive.sh <<DRIVE
control=$control
DRIVE
cat >>drive.sh <<'DRIVE'
set -euo pipefail
fail() {
  echo "FAIL: $*" >&2
  command -v import >/dev/null && import -window root "${TMPDIR:-/tmp}/varlo95-window-failure.png" || true
  exit 1
}
# One line to orbsim's control channel; prints its answer.
ask() {
  exec 3<>"/dev/tcp/127.0.0.1/$control"
  printf '%s\n' "$1" >&3
  local answer
  read -r answer <&3
  exec 3<&-
  printf '%s\n' "${answer%$'\r'}"
}
# Waits (bounded) until orbsim's answer to $1 matches the pattern $2.
await() {
  local answer=""
  for _ in $(seq 50); do
    answer=$(ask "$1")
    [[ $answer =~ $2 ]] && return 0
    sleep 0.1
  done
  fail "orbsim answered \"$answer\" to \"$1\""
}

./varlo95 &
app=$!
frame=""
for _ in $(seq 100); do
  frame=$(xdotool search --onlyvisible --name '^Varlo95$' 2>/dev/null | head -1) || true
  [ -n "$frame" ] && break
  sleep 0.1
done
[ -n "$frame" ] || fail "no frame"
xdotool windowfocus --sync "$frame" 2>/dev/null || true
sleep 0.5
ask frames >/dev/null

# File > New: the window opens with the address list focused.
xdotool key alt+f n
sleep 1
# Drop the list down, step to address 1, take it.
xdotool key alt+Down
sleep 0.5
xdotool key Down Return
# The window reads the device's current data (RECALL_ALL_DATA of preset 0).
await frames '1:010100'

# The first band slider has the focus: Page Up raises it one step, which
# reaches the device's working settings at once (level 26 - 1).
sleep 0.5
xdotool key Prior
await "preset 1 0" '^ok 19'

# The window's own File menu is merged in now: its "&Exit".
xdotool key alt+f e
for _ in $(seq 100); do kill -0 $app 2>/dev/null || break; sleep 0.1; done
kill -0 $app 2>/dev/null && fail "the program did not quit"
wait $app || fail "the program exited with $?"
await frames '<253>'
echo "driven"
DRIVE

xvfb-run -a -s "-screen 0 800x600x24" bash ${VARLO_TRACE:+-x} drive.sh
echo "1 passed, 0 failed"
