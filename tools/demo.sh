#!/usr/bin/env bash
# The main job: builds setup.exe and runs it under Wine, then prints its exit
# code.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
tools/build.sh
export KX_WINEPREFIX="$root/build/wineprefix"
set +e
# Wine shows only 8 bits of an exit code: ask cmd for the whole value.
out=$(cmake/wine-run.sh cmd.exe /c "$(winepath -w build/x86_64/launcher/setup.exe) & echo exit=%errorlevel%" 2>/dev/null | tr -d '\r')
set -e
wineserver -k 2>/dev/null || true
echo "$out" | grep -o 'exit=.*' | sed 's/exit=/setup.exe exit code: /'
