#!/usr/bin/env bash
# Benchmark (not a test): the whole silent run of the demonstration medium
# under Wine (first launcher, its relaunched copy, the engine's installation)
# against two bare process starts of a trivial program, since a run always
# takes two launcher processes. Prints the medians and the launcher's
# overhead beyond the two starts.
# Every time is taken from Linux around one kx_run.exe (which starts one
# command and waits); the time of kx_run with a command that cannot start
# is taken off each figure, so what remains is the child's share.
# Run tools/build.sh first. Usage: tools/bench_run.sh [runs, default 7]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
B=${KX_BUILD_DIR:-build}
case $B in /*) ;; *) B=$root/$B ;; esac
runs=${1:-7}
[ -f "$B/x86_64/build.ninja" ] || { echo "missing $B/x86_64: run tools/build.sh first" >&2; exit 2; }
cmake --build "$B/x86_64" --target setup kx_engine kx_run >/dev/null
runner=$B/x86_64/tests/e2e/kx_run.exe
for f in "$runner" "$B/tools/kxmedium"; do
  [ -e "$f" ] || { echo "missing $f: run tools/build.sh first" >&2; exit 2; }
done
export KX_WINEPREFIX=${KX_WINEPREFIX:-$B/wineprefix}
wine_run() { "$B/x86_64/wine-run" "$@" 2>/dev/null | tr -d '\r'; }

work=$(mktemp -d "${TMPDIR:-/tmp}/kxbenchrun.XXXXXX")
key=$(tools/demo_medium.sh "$B/x86_64/launcher/setup.exe" "$B/x86_64/engine/KXSetup.dll" \
  "$B/tools/kxmedium" "$work")
installed="$KX_WINEPREFIX/drive_c/Program Files/Demo product"
uninstall() {
  wine_run reg delete "$key" /f >/dev/null || true
  rm -rf "$installed"
}
trap 'uninstall; rm -rf "$work"' EXIT
setup_line="Z:${work//\//\\}\\setup.exe /s"
trivial_line='C:\windows\system32\hostname.exe'
missing_line='C:\windows\system32\no-such-program.exe'

# Milliseconds of one kx_run with KX_RUN_COMMAND=$1; its output in $last.
last=
timed() {
  local start end
  start=$(date +%s%N)
  last=$(KX_RUN_COMMAND=$1 wine_run "$runner") || true  # kx_run ends with 1 for a failed start
  end=$(date +%s%N)
  echo $(((end - start) / 1000000))
}
median() { printf '%s\n' "$@" | sort -n | sed -n "$((($# + 1) / 2))p"; }

# Warm-up: the server, the prefix's services and the page cache.
timed "$missing_line" >/dev/null
timed "$trivial_line" >/dev/null
KX_RUN_COMMAND=$setup_line wine_run "$runner" | grep -q 'exit=0' ||
  { echo "the demo run failed" >&2; exit 1; }
uninstall

run_ms=() trivial_ms=() empty_ms=()
for _ in $(seq 1 "$runs"); do
  empty_ms+=("$(timed "$missing_line")")
  trivial_ms+=("$(timed "$trivial_line")")
  run_ms+=("$(timed "$setup_line")")
  uninstall
done
empty=$(median "${empty_ms[@]}")
trivial=$(median "${trivial_ms[@]}")
run=$(median "${run_ms[@]}")
start=$((trivial - empty))
whole=$((run - empty))
echo "medians of $runs runs under Wine (kx_run alone: $empty ms, taken off below):"
echo "  silent demo run (setup.exe /s, two processes, installation): $whole ms"
echo "  one bare start of a trivial program (hostname.exe):          $start ms"
echo "  launcher overhead beyond two bare starts:                    $((whole - 2 * start)) ms"
