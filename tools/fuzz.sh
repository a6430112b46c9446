#!/usr/bin/env bash
# Runs every fuzz target for a chosen time. Usage: tools/fuzz.sh [seconds] [target...]
# New interesting inputs land in build/fuzz/corpus/<name>/; copy the ones worth
# keeping into fuzz/corpus/<name>/. Crashes are written to build/fuzz/crashes/.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-30}
shift || true
cmake -S "$root/fuzz" -B "$root/build/fuzz" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_COMPILER=clang++-14 >/dev/null
cmake --build "$root/build/fuzz"
targets=("$@")
if ((${#targets[@]} == 0)); then
  for f in "$root"/fuzz/fuzz_*.cpp; do targets+=("$(basename "$f" .cpp)"); done
fi
for t in "${targets[@]}"; do
  "$root/tools/fuzz-one.sh" "$root/build/fuzz" "$t" "$seconds"
done
