#!/usr/bin/env bash
# The main job: builds setup.exe, packs a small demonstration medium into it
# with the medium builder, runs the result silently under Wine and prints
# what the run did and its exit code.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
tools/build.sh --no-tests
# The deliverable is 32-bit; only 64-bit Wine installs here, so the demo runs
# the same sources built for x86_64.
cmake -S . -B build/x86_64 -G Ninja -DCMAKE_BUILD_TYPE=Debug \
  -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw-x86_64.cmake >/dev/null
cmake --build build/x86_64 --target setup
export KX_WINEPREFIX="$root/build/wineprefix"

work=$(mktemp -d "${TMPDIR:-/tmp}/kxdemo.XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/medium/Disk1"
utf16() { printf '\xff\xfe'; sed 's/$/\r/' | iconv -f UTF-8 -t UTF-16LE; }
utf16 >"$work/medium/Disk1/setup.ini" <<'EOF'
[Startup]
Product=Demo product
ProductGUID={0D3E6B1A-5C4F-4E8B-9A27-6F1C2D3E4B5A}
CompanyName=Demo vendor
[Languages]
Default=0x0409
Supported=0x0409
EOF
if [ -f resources/0x0409.ini ]; then cp resources/0x0409.ini "$work/medium/Disk1/"; fi
echo "Read me." >"$work/medium/Disk1/readme.txt"
build/tools/kxmedium --quiet build/x86_64/launcher/setup.exe "$work/medium" "$work/setup.exe"
echo "built $(stat -c %s "$work/setup.exe")-byte setup.exe carrying $(find "$work/medium" -type f | wc -l) files"

set +e
# Wine shows only 8 bits of an exit code: ask cmd for the whole value.
out=$(cmake/wine-run.sh cmd.exe /c "$(winepath -w "$work/setup.exe") /s & echo exit=%errorlevel%" \
  2>/dev/null | tr -d '\r')
set -e
wineserver -k 2>/dev/null || true
code=$(echo "$out" | grep -o 'exit=.*' | sed 's/exit=//')
echo "setup.exe /s exit code: $code"
case $code in
  0) echo "the installation completed" ;;
  -5001 | -5003)
    echo "unpacked and relaunched from the temporary folder; the medium carries no loadable"
    echo "installation engine (KXSetup.dll) yet, so the run ends with the launcher's failure code" ;;
  *) echo "the run failed" ;;
esac
