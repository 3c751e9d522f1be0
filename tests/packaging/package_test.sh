#!/usr/bin/env bash
# Builds the Debian package with cpack, unpacks it into a scratch root with
# dpkg -x and checks what a person installing it gets: the three programs
# run from /usr/bin, the desktop entry is valid, the manual pages render,
# and the package names the libraries it needs.
#   package_test.sh BUILD_DIR
set -euo pipefail
build=$(realpath "$1")
for tool in cpack dpkg-deb dpkg-shlibdeps file desktop-file-validate groff; do
  command -v $tool >/dev/null || { echo "FAIL: $tool is not installed (scripts/ensure-packages.sh installs it)" >&2; exit 1; }
done
work=$(mktemp -d)
sim=""
trap '[ -n "$sim" ] && kill $sim 2>/dev/null; rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

(cd "$build" && cpack -G DEB -B "$work/out" >"$work/cpack.log" 2>&1) || { cat "$work/cpack.log"; fail "cpack"; }
deb=$(ls "$work"/out/varlo95_*.deb 2>/dev/null | head -1)
[ -n "$deb" ] || fail "no package in $work/out"
root="$work/root"
dpkg -x "$deb" "$root"
usr="$root/usr"

# What is in it.
for f in bin/varlo95 bin/varlo-cli bin/orbsim share/applications/varlo95.desktop \
         share/icons/hicolor/scalable/apps/varlo95.svg \
         share/man/man1/varlo95.1.gz share/man/man1/varlo-cli.1.gz share/man/man1/orbsim.1.gz; do
  [ -e "$usr/$f" ] || fail "missing /usr/$f"
done
control=$(dpkg-deb -f "$deb")
for dep in libqt6widgets6 libqt6printsupport6 qt6-qpa-plugins; do
  grep -q "^Depends:.*\b$dep\b" <<<"$control" || fail "Depends lacks $dep: $(grep ^Depends <<<"$control")"
done
grep -q '^Version: 1\.0\.31\.41$' <<<"$control" || fail "version: $(grep ^Version <<<"$control")"

# varlo-cli and orbsim: their usage and version, exit 0.
"$usr/bin/varlo-cli" --help | grep -q '^usage: varlo-cli' || fail "varlo-cli --help"
for tool in varlo-cli orbsim; do
  [ "$("$usr/bin/$tool" --version)" = "$tool 1.0.31.41" ] || fail "$tool --version"
done

# orbsim serves a line.
"$usr/bin/orbsim" --listen 127.0.0.1:0 --control 127.0.0.1:0 --devices 1 >"$work/sim.out" 2>&1 &
sim=$!
for _ in $(seq 50); do grep -q '^CONTROL ' "$work/sim.out" && break; sleep 0.1; done
grep -q '^LISTENING [0-9]' "$work/sim.out" || fail "orbsim: $(cat "$work/sim.out")"
kill $sim; wait $sim 2>/dev/null || true; sim=""

# varlo95 reads no arguments: its version record survives stripping, and it
# starts on the offscreen platform and keeps running until stopped.
readelf -x .varlo_version "$usr/bin/varlo95" >/dev/null 2>&1 || fail "varlo95 lost its version record"
set +e
XDG_CONFIG_HOME="$work/config" QT_QPA_PLATFORM=offscreen timeout 3 "$usr/bin/varlo95" >"$work/varlo95.out" 2>&1
status=$?
set -e
[ $status -eq 124 ] || fail "varlo95 ended with $status: $(cat "$work/varlo95.out")"

desktop-file-validate "$usr/share/applications/varlo95.desktop" || fail "desktop entry"
for page in varlo95 varlo-cli orbsim; do
  warnings=$(zcat "$usr/share/man/man1/$page.1.gz" | groff -man -ww -z 2>&1)
  [ -z "$warnings" ] || fail "$page.1: $warnings"
done
echo "1 passed, 0 failed"
