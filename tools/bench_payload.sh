#!/usr/bin/env bash
# Benchmark (not a test): builds a setup.exe with a 512 MiB medium (one large
# file and 200 small ones) and measures under Wine, side by side, unpacking
# with "setup.exe -extract_all:" against a plain 16 KB ReadFile/WriteFile copy
# of the same bytes, and the unpacking process's peak working set.
# The launcher and the driver are built optimised (as the deliverable is) in
# <build>/x86_64-release: a Debug launcher would measure the compiler's
# unoptimised code, not the unpacking.
# Run tools/build.sh first. Usage: tools/bench_payload.sh
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
B=${KX_BUILD_DIR:-build}
case $B in /*) ;; *) B=$root/$B ;; esac
cmake -S "$root" -B "$B/x86_64-release" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-mingw-x86_64.cmake" >/dev/null
cmake --build "$B/x86_64-release" --target setup payload_bench >/dev/null
launcher=$B/x86_64-release/launcher/setup.exe
driver=$B/x86_64-release/tools/bench/payload_bench.exe
for f in "$launcher" "$driver" "$B/tools/kxmedium"; do
  [ -e "$f" ] || { echo "missing $f: run tools/build.sh first" >&2; exit 2; }
done

work=$(mktemp -d "${TMPDIR:-/tmp}/kxbench.XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/medium/Disk1/small"
small_total=0
for i in $(seq 1 200); do
  size=$(( (i * 7919) % 98304 + 1024 ))
  head -c "$size" /dev/urandom >"$work/medium/Disk1/small/file$i.bin"
  small_total=$((small_total + size))
done
head -c $(( (512 << 20) - small_total )) /dev/urandom >"$work/medium/Disk1/large.bin"
"$B/tools/kxmedium" --quiet "$launcher" "$work/medium" "$work/setup.exe"
rm -rf "$work/medium"
# The same launcher with a tiny payload: the cost of starting it alone.
mkdir -p "$work/tiny/medium/Disk1"
head -c 65536 /dev/urandom >"$work/tiny/medium/Disk1/tiny.bin"
"$B/tools/kxmedium" --quiet "$launcher" "$work/tiny/medium" "$work/tiny/setup.exe"

echo "setup.exe: $(stat -c %s "$work/setup.exe") bytes, 201 medium files + the launcher copy"
KX_WINEPREFIX=${KX_WINEPREFIX:-$B/wineprefix} "$B/x86_64/wine-run" "$driver" \
  "Z:${work//\//\\}\\setup.exe" "Z:${work//\//\\}" "Z:${work//\//\\}\\tiny\\setup.exe"
