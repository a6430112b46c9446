#!/usr/bin/env bash
# The main job: builds setup.exe and the reference engine, packs a small
# demonstration medium into setup.exe with the medium builder, runs it
# silently under Wine in the project's private prefix, prints what the run
# did (exit code, installed files, uninstall entry) and removes the
# installation again.
# With --screenshots it then runs the same setup.exe interactively under a
# private Xvfb, clicks through the wizard and writes a PNG of each page into
# build/x86_64/demo-screenshots/.
set -euo pipefail
screenshots=0
[ "${1:-}" = "--screenshots" ] && screenshots=1
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
tools/build.sh --no-tests
# The deliverable is 32-bit; only 64-bit Wine installs here, so the demo runs
# the same sources built for x86_64.
cmake -S . -B build/x86_64 -G Ninja -DCMAKE_BUILD_TYPE=Debug \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-mingw-x86_64.cmake" >/dev/null
cmake --build build/x86_64 --target setup kx_engine kx_window_probe kx_run
export KX_WINEPREFIX="$root/build/wineprefix"
wine_run() { cmake/wine-run.sh "$@" 2>/dev/null | tr -d '\r'; }

work=$(mktemp -d "${TMPDIR:-/tmp}/kxdemo.XXXXXX")
key=$(tools/demo_medium.sh build/x86_64/launcher/setup.exe build/x86_64/engine/KXSetup.dll \
  build/tools/kxmedium "$work")
installed="$KX_WINEPREFIX/drive_c/Program Files/Demo product"
cleanup() {
  wine_run reg delete "$key" /f >/dev/null || true
  rm -rf "$installed" "$work"
}
trap cleanup EXIT
echo "built $(stat -c %s "$work/setup.exe")-byte setup.exe carrying" \
  "$(find "$work/medium" -type f | wc -l) files (engine, data1.hdr, data1.cab, setup.ini, strings)"

set +e
# Wine shows only 8 bits of an exit code: ask cmd for the whole value.
# Z: is the root of the Linux file system in every Wine prefix.
out=$(wine_run cmd.exe /c "Z:${work//\//\\}\\setup.exe /s & echo exit=%errorlevel%")
set -e
code=$(echo "$out" | grep -o 'exit=.*' | sed 's/exit=//')
echo "setup.exe /s exit code: $code"
case $code in
  0) echo "the installation completed" ;;
  *) echo "the run failed (negative codes are the launcher's own, see README)" ;;
esac
echo
echo "installed files (C:\\Program Files\\Demo product):"
if [ -d "$installed" ]; then
  (cd "$installed" && find . -type f | sed 's|^\./|  |' | sort)
else
  echo "  none"
fi
echo
echo "uninstall entry:"
wine_run reg query "$key" | sed -n '/REG_/p' || echo "  none"
echo
echo "(the demo removes the installation and its uninstall entry again)"

if [ "$screenshots" = 1 ]; then
  wine_run reg delete "$key" /f >/dev/null || true
  rm -rf "$installed"
  shots="$root/build/x86_64/demo-screenshots"
  n=90
  while [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ]; do n=$((n + 1)); done
  Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb=$!
  sleep 1
  mkdir -p "$work/run"
  cp "$work/setup.exe" "$work/run/setup.exe"
  DISPLAY=":$n" KX_WINE_RUN="$root/cmake/wine-run.sh" \
    KX_WINDOW_PROBE_EXE="$root/build/x86_64/tests/e2e/kx_window_probe.exe" \
    KX_RUN_EXE="$root/build/x86_64/tests/e2e/kx_run.exe" \
    python3 tools/demo_screens.py "$work/run/setup.exe" "$shots" || true
  kill "$xvfb" 2>/dev/null || true
  echo "screenshots of the interactive run are in $shots"
fi
