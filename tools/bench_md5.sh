#!/usr/bin/env bash
# Benchmark (not a test): the MD5 that checks downloaded prerequisites,
# measured under Wine on a 512 MiB file against openssl's single-core MD5
# ("openssl speed -evp md5", 16 KiB blocks) and md5sum on the same file in
# the same run. The driver is built optimised in <build>/x86_64-release.
# The target is at least 0.8 of openssl's rate.
# Usage: tools/bench_md5.sh
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
B=${KX_BUILD_DIR:-build}
case $B in /*) ;; *) B=$root/$B ;; esac
cmake -S "$root" -B "$B/x86_64-release" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-mingw-x86_64.cmake" >/dev/null
cmake --build "$B/x86_64-release" --target md5_bench >/dev/null
driver=$B/x86_64-release/tools/bench/md5_bench.exe
[ -e "$B/x86_64/wine-run" ] || { echo "missing $B/x86_64/wine-run: run tools/build.sh first" >&2; exit 2; }

work=$(mktemp -d "${TMPDIR:-/tmp}/kxmd5bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
head -c $((512 << 20)) /dev/urandom >"$work/big.bin"

echo "== md5sum (512 MiB file, cached)"
cat "$work/big.bin" >/dev/null
start=$(date +%s.%N)
expected=$(md5sum "$work/big.bin" | cut -d' ' -f1)
end=$(date +%s.%N)
md5sum_rate=$(echo "536.870912 / ($end - $start)" | bc -l)
printf 'md5sum      %.1f MB/s, MD5 %s\n' "$md5sum_rate" "${expected^^}"

echo "== openssl speed -evp md5 (single core)"
openssl_line=$(openssl speed -evp md5 -seconds 3 2>/dev/null | grep '^md5')
echo "$openssl_line"
# The 16384-byte column, in kB/s ("738623.86k"), as MB/s.
openssl_rate=$(echo "$openssl_line" | awk '{v=$NF; sub(/k$/, "", v); printf "%.1f", v / 1000}')

echo "== the launcher's MD5 under Wine"
out=$(KX_WINEPREFIX=${KX_WINEPREFIX:-$B/wineprefix} "$B/x86_64/wine-run" "$driver" \
  "Z:${work//\//\\}\\big.bin" | tr -d '\r')
echo "$out"
case $out in *"MD5 ${expected^^}"*) echo "digest agrees with md5sum" ;;
  *) echo "DIGEST DIFFERS from md5sum" >&2; exit 1 ;; esac
file_rate=$(echo "$out" | awk '/^file digest/ {print $3}')
memory_rate=$(echo "$out" | awk '/^memory/ {print $2}')
echo "== ratios"
printf 'file digest / openssl  %.2f\n' "$(echo "$file_rate / $openssl_rate" | bc -l)"
printf 'memory      / openssl  %.2f   (target >= 0.80)\n' "$(echo "$memory_rate / $openssl_rate" | bc -l)"
printf 'file digest / md5sum   %.2f\n' "$(echo "$file_rate / $md5sum_rate" | bc -l)"
