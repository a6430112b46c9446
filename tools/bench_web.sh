#!/usr/bin/env bash
# Benchmark (not a test): serves a 256 MiB file from the tests' HTTP server
# (tests/testing/http_server.py) on 127.0.0.1 and measures under Wine, side by
# side, the launcher's web copy (copy_file through the web source factory)
# against a plain InternetOpenUrl + InternetReadFile loop with 64 KB reads,
# and the peak working set of each. The driver is built optimised, as the
# deliverable is, in <build>/x86_64-release.
# Usage: tools/bench_web.sh
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
B=${KX_BUILD_DIR:-build}
case $B in /*) ;; *) B=$root/$B ;; esac
cmake -S "$root" -B "$B/x86_64-release" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-mingw-x86_64.cmake" >/dev/null
cmake --build "$B/x86_64-release" --target web_bench >/dev/null
driver=$B/x86_64-release/tools/bench/web_bench.exe
[ -e "$B/x86_64/wine-run" ] || { echo "missing $B/x86_64/wine-run: run tools/build.sh first" >&2; exit 2; }

work=$(mktemp -d "${TMPDIR:-/tmp}/kxwebbench.XXXXXX")
server=$root/tests/testing/http_server.py
cleanup() {
  python3 "$server" stop "$work/server" || true
  rm -rf "$work"
}
trap cleanup EXIT
mkdir -p "$work/files"
head -c $((256 << 20)) /dev/urandom >"$work/files/big.bin"
python3 "$server" start "$work/server" --root "$work/files"
port=$(cat "$work/server/port")
unset http_proxy https_proxy HTTP_PROXY HTTPS_PROXY
echo "serving 256 MiB on http://127.0.0.1:$port/files/big.bin"
KX_WINEPREFIX=${KX_WINEPREFIX:-$B/wineprefix} "$B/x86_64/wine-run" "$driver" \
  "http://127.0.0.1:$port/files/big.bin" "Z:${work//\//\\}"
