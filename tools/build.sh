#!/usr/bin/env bash
# Builds the deliverable (i686), the medium builder (host), the fuzzers (host,
# clang) and the test build (x86_64) under build/. Usage: tools/build.sh [--no-tests]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
B=${KX_BUILD_DIR:-build}
if [ "$(id -u)" = 0 ]; then tools/install-deps.sh; fi

jobs=$(nproc)
# Toolchain files by absolute path: CMake keeps the one of a tree's first
# configure as an absolute path and calls a different text given later unused.
cmake -S . -B $B/i686 -G Ninja -DCMAKE_BUILD_TYPE=MinSizeRel \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-mingw-i686.cmake" >/dev/null
cmake --build $B/i686 -j "$jobs"
cmake -S tools/medium_builder -B $B/tools -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build $B/tools -j "$jobs"
cmake -S tools/trace_reader -B $B/trace_reader -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build $B/trace_reader -j "$jobs"
cmake -S tools/prq_checker -B $B/prq_checker -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build $B/prq_checker -j "$jobs"
cmake -S tools/skin_builder -B $B/skin_builder -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null && cmake --build $B/skin_builder -j "$jobs"
[ "${1:-}" = --no-tests ] && exit 0

cmake -S fuzz -B $B/fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_COMPILER=clang++-14 >/dev/null
cmake --build $B/fuzz -j "$jobs"

cmake -S . -B $B/x86_64 -G Ninja -DCMAKE_BUILD_TYPE=Debug \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-mingw-x86_64.cmake" -DKX_BUILD_TESTS=ON \
  -DKX_DELIVERABLE_EXE="$root/$B/i686/launcher/setup.exe" \
  -DKX_FUZZ_DIR="$root/$B/fuzz" \
  -DKX_TOOLS_DIR="$root/$B/tools" >/dev/null
cmake --build $B/x86_64 -j "$jobs"
