#!/usr/bin/env bash
# The real program's first start (no stored frame geometry) on a virtual
# display of 1366 by 768 under a window manager, which frames the window a
# moment after it is shown: the frame, its decorations included, lies on
# the screen, the status strip not cut off at its bottom.
#   first_frame_under_xvfb.sh VARLO95 ORBSIM
source "$(dirname "$0")/xvfb_setup.sh" "$@"
for tool in openbox xwininfo xprop; do
  command -v $tool >/dev/null || { echo "FAIL: $tool is not installed (scripts/ensure-packages.sh installs it)" >&2; exit 1; }
done
printf '[Communications]\nCom Port=1\nCom 1 Device=rfc2217://127.0.0.1:%s\n' "$port" >Varlo95.ini

cat >drive.sh <<'DRIVE'
set -euo pipefail
fail() { echo "FAIL: $*" >&2; exit 1; }
openbox --sm-disable >/dev/null 2>&1 &
wm=$!
trap 'kill $wm 2>/dev/null || true' EXIT
for _ in $(seq 50); do xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break; sleep 0.1; done
./varlo95 &
app=$!
frame=""
for _ in $(seq 100); do
  frame=$(xdotool search --onlyvisible --name '^Varlo95$' 2>/dev/null | head -1) || true
  [ -n "$frame" ] && break
  sleep 0.1
done
[ -n "$frame" ] || fail "no frame"
sleep 1.5  # framed and placed again
info=$(xwininfo -id "$frame")
x=$(sed -n 's/.*Absolute upper-left X: *//p' <<<"$info")
y=$(sed -n 's/.*Absolute upper-left Y: *//p' <<<"$info")
w=$(sed -n 's/.*Width: *//p' <<<"$info")
h=$(sed -n 's/.*Height: *//p' <<<"$info")
# Left, right, top and bottom decoration.
IFS=', ' read -r l r t b < <(xprop -id "$frame" _NET_FRAME_EXTENTS | sed 's/.*= //')
[ -n "$b" ] || fail "the window manager did not frame the window"
echo "client ${w}x${h} at $x,$y; decorations $l $r $t $b"
((x - l >= 0 && y - t >= 0)) || fail "the frame starts off the screen"
((x + w + r <= 1366 && y + h + b <= 768)) || fail "the frame ends at $((x + w + r)),$((y + h + b)), beyond 1366x768"
kill $app
wait $app 2>/dev/null || true
echo "driven"
DRIVE

xvfb-run -a -s "-screen 0 1366x768x24" bash ${VARLO_TRACE:+-x} drive.sh
echo "1 passed, 0 failed"
