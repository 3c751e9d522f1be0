#!/usr/bin/env bash
# Runs the real program on a virtual X display: starts it beside orbsim,
# opens and confirms the about box, the com setup dialog and the options
# dialog with the keyboard and the mouse, quits from the menu, and checks
# the settings file the program wrote.
#   program_under_xvfb.sh VARLO95 ORBSIM
source "$(dirname "$0")/xvfb_setup.sh" "$@"
# Port 5 is beyond the dialog's four: it shows as "Com 4", and OK stores 4.
printf '; kept as it is\n[Communications]\nCom Port=5\nCom 1 Device=rfc2217://127.0.0.1:%s\n' "$port" >Varlo95.ini

cat >drive.sh <<'DRIVE'
set -euo pipefail
fail() { echo "FAIL: $*" >&2; command -v import >/dev/null && import -window root "${TMPDIR:-/tmp}/varlo95-xvfb-failure.png" || true; xdotool search --name . getwindowname %@ 2>/dev/null | sed 's/^/window: /' >&2; exit 1; }
# Waits for a top-level window with exactly this title and gives it the
# keyboard (there is no window manager to do that). Keys then go through
# the X test extension like real ones: keys sent to a window directly lose
# their release when the press closes a dialog.
window() {
  local id
  for _ in $(seq 100); do
    id=$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -1) || true
    [ -n "$id" ] && { xdotool windowfocus --sync "$id" 2>/dev/null || true; echo "$id"; return; }
    sleep 0.1
  done
  fail "no window \"$1\""
}
gone() {
  for _ in $(seq 100); do
    xdotool search --onlyvisible --name "^$1\$" >/dev/null 2>&1 || return 0
    sleep 0.1
  done
  fail "window \"$1\" stayed open"
}
./varlo95 &
app=$!
frame=$(window Varlo95)
sleep 0.5

xdotool key alt+h a
about=$(window About)
xdotool key Return
gone About
window Varlo95 >/dev/null

# The Com Setup button: the tool bar's button at 336..361, below the menu bar.
eval "$(xdotool getwindowgeometry --shell "$frame")"
for y in 38 34 42 30 46; do
  xdotool mousemove --window "$frame" 348 $y click 1
  sleep 0.5
  xdotool search --onlyvisible --name '^Com Port Setup$' >/dev/null 2>&1 && break
done
setup=$(window "Com Port Setup")
xdotool key Return
gone "Com Port Setup"
# Written as the dialog's OK returns: on a slow machine a moment after the
# dialog has gone from the screen.
for _ in $(seq 50); do grep -q '^Com Port=4' Varlo95.ini && break; sleep 0.1; done
grep -q '^Com Port=4' Varlo95.ini || fail "Com Port not written at once: $(cat Varlo95.ini)"

window Varlo95 >/dev/null
# "&Open" and "Pr&operties" share their letter: the second o reaches it.
xdotool key alt+f o o Return
options=$(window Options)
xdotool key Return
gone Options

window Varlo95 >/dev/null
xdotool key alt+f x
for _ in $(seq 100); do kill -0 $app 2>/dev/null || break; sleep 0.1; done
kill -0 $app 2>/dev/null && fail "the program did not quit"
wait $app || fail "the program exited with $?"
echo "driven"
DRIVE

xvfb-run -a -s "-screen 0 800x600x24" bash ${VARLO_TRACE:+-x} drive.sh

ini=$(cat Varlo95.ini)
check() { grep -q "$1" <<<"$ini" || { echo "FAIL: settings file lacks $1:"; echo "$ini"; exit 1; }; }
check '^; kept as it is'
check '^Com 1 Device=rfc2217://127.0.0.1:'
check '^Com Port=4'
check '^WindowState=0'
check '^Width=600'
check '^Height=411'
check '^SliderRange=24'
check '^CopyBands1_29=1'
echo "1 passed, 0 failed"
