#!/usr/bin/env bash
# Builds everything and runs every test: unit tests under Wine, end-to-end
# scenarios, a short run of each fuzzer, the deliverable's import check.
# Ends with CTest's summary; exits non-zero when any test fails.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
B=${KX_BUILD_DIR:-build}
tools/build.sh

export KX_WINEPREFIX="$root/$B/wineprefix"
export WINEPREFIX="$KX_WINEPREFIX"
xvfb_pid=
if [ -z "${DISPLAY:-}" ]; then
  for n in $(seq 90 120); do
    [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] && continue
    Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
    xvfb_pid=$!
    export DISPLAY=":$n"
    break
  done
  sleep 1
fi
cleanup() {
  wineserver -k 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
}
trap cleanup EXIT

status=0
ctest --test-dir $B/x86_64 --output-on-failure -j "$(nproc)" || status=$?
exit $status
