#!/usr/bin/env bash
# Runs one built fuzz target for some seconds over its seed corpus.
# Usage: tools/fuzz-one.sh <fuzz build dir> <fuzz_name> <seconds>
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
dir=$1 target=$2 seconds=$3
name=${target#fuzz_}
work="$dir/corpus/$name"
crashes="$dir/crashes/$name"
mkdir -p "$work" "$crashes" "$root/fuzz/corpus/$name"
echo "fuzzing $name for ${seconds}s"
"$dir/$target" -max_total_time="$seconds" -print_final_stats=1 -artifact_prefix="$crashes/" \
  "$work" "$root/fuzz/corpus/$name" 2>&1 | tail -n 12
