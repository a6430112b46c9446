#!/usr/bin/env bash
# The main job: builds setup.exe and the reference engine, packs a small
# demonstration medium into setup.exe with the medium builder, runs it
# silently under Wine in the project's private prefix, prints what the run
# did (exit code, installed files, uninstall entry), then runs the entry's
# UninstallString silently and shows that files and entry are gone.
# With --screenshots it then runs the same setup.exe interactively under a
# private Xvfb, clicks through the wizard and writes a PNG of each page into
# build/x86_64/demo-screenshots/: the language page, the cancel question and
# the progress page twice while the engine's test transfer moves its bar.
# With --instances it then installs the product twice, each installation
# with an install GUID of its own ("ig"), runs setup.exe interactively and
# saves the instance page that lists both, then removes both installations
# through their uninstall entries.
# With --dressed it then builds the medium again with the example skin and a
# splash picture (tools/skins/), runs it interactively and saves the skinned
# language page, the splash and the skinned progress page.
set -euo pipefail
screenshots=0
instances=0
dressed=0
case "${1:-}" in
  --screenshots) screenshots=1 ;;
  --instances) instances=1 ;;
  --dressed) dressed=1 ;;
  "") ;;
  *) echo "usage: $0 [--screenshots | --instances | --dressed]" >&2; exit 2 ;;
esac
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
extra_keys=()
cleanup() {
  wine_run reg delete "$key" /f >/dev/null || true
  for k in "${extra_keys[@]}"; do wine_run reg delete "$k" /f >/dev/null || true; done
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

# The life cycle's end: the entry's own command, as Programs and Features
# would start it, run silently. kx_run reports the whole exit code.
uninstall=$(wine_run reg query "$key" /v UninstallString | sed -n 's/.*REG_SZ *//p' || true)
echo
if [ -n "$uninstall" ]; then
  echo "running the entry's UninstallString silently: $uninstall /s"
  out=$(KX_RUN_COMMAND="$uninstall /s" wine_run build/x86_64/tests/e2e/kx_run.exe || true)
  echo "exit code: $(echo "$out" | sed -n 's/^exit=//p')"
  # The launcher copy that ran the removal goes once its process has ended.
  for _ in $(seq 1 30); do
    [ -e "$installed" ] || break
    sleep 1
  done
  echo "files left in C:\Program Files\Demo product:"
  if [ -d "$installed" ]; then
    (cd "$installed" && find . -type f | sed 's|^\./|  |' | sort)
  else
    echo "  none (the folder is gone)"
  fi
  echo "uninstall entry:"
  wine_run reg query "$key" >/dev/null && echo "  still there" || echo "  none (removed)"
else
  echo "no UninstallString to run"
fi

# The interactive runs share a private X server and the screenshot folder.
# Wine's desktop belongs to the display its session started on, so the
# prefix's session (a test run's, say) is ended before and after them.
shots="$root/build/x86_64/demo-screenshots"
screens() {
  WINEPREFIX="$KX_WINEPREFIX" wineserver -k 2>/dev/null || true
  local n=90
  while [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ]; do n=$((n + 1)); done
  Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
  local xvfb=$!
  sleep 1
  mkdir -p "$work/run"
  cp "${setup_exe:-$work/setup.exe}" "$work/run/setup.exe"
  DISPLAY=":$n" KX_WINE_RUN="$root/cmake/wine-run.sh" \
    KX_WINDOW_PROBE_EXE="$root/build/x86_64/tests/e2e/kx_window_probe.exe" \
    KX_RUN_EXE="$root/build/x86_64/tests/e2e/kx_run.exe" \
    python3 tools/demo_screens.py "$work/run/setup.exe" "$shots" "$@" || true
  WINEPREFIX="$KX_WINEPREFIX" wineserver -k 2>/dev/null || true
  kill "$xvfb" 2>/dev/null || true
}

if [ "$instances" = 1 ]; then
  uninstall_root=${key%\\*}
  guids=('{0D3E6B1A-5C4F-4E8B-9A27-6F1C2D3E4B01}' '{0D3E6B1A-5C4F-4E8B-9A27-6F1C2D3E4B02}')
  echo
  for guid in "${guids[@]}"; do
    extra_keys+=("$uninstall_root\\$guid")
    out=$(wine_run cmd.exe /c "Z:${work//\//\\}\\setup.exe /s -ig$guid & echo exit=%errorlevel%")
    echo "setup.exe /s -ig$guid exit code: $(echo "$out" | grep -o 'exit=.*' | sed 's/exit=//')"
  done
  echo "uninstall entries of the two instances:"
  for guid in "${guids[@]}"; do
    wine_run reg query "$uninstall_root\\$guid" /v DisplayName | sed -n 's/.*REG_SZ *//p' |
      sed "s|^|  $guid  |" || echo "  $guid  none"
  done
  screens instances
  echo "the instance page is in $shots/5-instance-page.png"
  for guid in "${guids[@]}"; do
    command=$(wine_run reg query "$uninstall_root\\$guid" /v UninstallString |
      sed -n 's/.*REG_SZ *//p' || true)
    [ -n "$command" ] || continue
    out=$(KX_RUN_COMMAND="$command /s" wine_run build/x86_64/tests/e2e/kx_run.exe || true)
    echo "removed $guid through its entry: exit code $(echo "$out" | sed -n 's/^exit=//p')"
  done
  for _ in $(seq 1 30); do
    [ -e "$installed" ] || break
    sleep 1
  done
fi

if [ "$screenshots" = 1 ]; then
  wine_run reg delete "$key" /f >/dev/null || true
  rm -rf "$installed"
  screens
  echo "screenshots of the interactive run are in $shots"
fi

if [ "$dressed" = 1 ]; then
  wine_run reg delete "$key" /f >/dev/null || true
  rm -rf "$installed"
  mkdir -p "$work/dressed"
  tools/demo_medium.sh build/x86_64/launcher/setup.exe build/x86_64/engine/KXSetup.dll \
    build/tools/kxmedium "$work/dressed" build/skin_builder/kxskin >/dev/null
  setup_exe="$work/dressed/setup.exe" screens dressed
  echo "screenshots of the dressed run are in $shots"
fi
