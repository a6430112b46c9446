#!/usr/bin/env bash
# Builds the demonstration medium into a setup.exe: setup.ini, the English
# string file (also standing in for a second language), the reference engine KXSetup.dll, a data1.hdr naming a small
# application and its data1.cab (made with gcab), packed by the medium
# builder. The demo and the run benchmark share it.
# Usage: tools/demo_medium.sh <setup.exe> <KXSetup.dll> <kxmedium> <work folder> [<kxskin>]
# Writes <work folder>/setup.exe; prints the product's uninstall key. With
# the skin builder as a fifth argument the medium is dressed: it carries the
# example skin (tools/skins/example, packed by kxskin) and a splash picture
# (setup.bmp) that stays up for three seconds.
set -euo pipefail
[ $# -eq 4 ] || [ $# -eq 5 ] ||
  { echo "usage: $0 <setup.exe> <KXSetup.dll> <kxmedium> <work folder> [<kxskin>]" >&2; exit 2; }
root=$(cd "$(dirname "$0")/.." && pwd)
launcher=$1 engine=$2 builder=$3 work=$4 skinner=${5:-}
for f in "$launcher" "$engine" "$builder" $skinner; do
  [ -e "$f" ] || { echo "missing $f" >&2; exit 2; }
done
command -v gcab >/dev/null || { echo "gcab is missing: run tools/install-deps.sh" >&2; exit 2; }
guid='{0D3E6B1A-5C4F-4E8B-9A27-6F1C2D3E4B5A}'
disk1=$work/medium/Disk1
app=$work/app
mkdir -p "$disk1" "$app/bin" "$app/docs"

# INI files as the medium builder writes them: UTF-16LE with a BOM, CRLF.
utf16() { printf '\xff\xfe'; sed 's/$/\r/' | iconv -f UTF-8 -t UTF-16LE; }
dressing=
if [ -n "$skinner" ]; then
  dressing=$'Skin=example.skn\nSplashTime=3'
  "$skinner" "$root/tools/skins/example" "$disk1/example.skn" >/dev/null
  python3 "$root/tools/skins/draw_example_skin.py" --splash "$disk1/setup.bmp"
fi
utf16 >"$disk1/setup.ini" <<EOT
[Startup]
Product=Demo product
ProductGUID=$guid
CompanyName=Demo vendor
AllUsers=1
EnableLangDlg=Y
$dressing
[Languages]
Default=0x0409
Supported=0x0409,0x0407
[0x0407]
0x0407=Deutsch
EOT
utf16 >"$disk1/data1.hdr" <<'EOT'
[Product]
Name=Demo application
InstallDir=%ProgramFiles%\Demo product
[Files]
File1=readme.txt
File2=bin\demo.cmd
File3=docs\notes.txt
EOT
cp "$root/resources/0x0409.ini" "$disk1/"
# A second language, so that an interactive run offers the choice; its
# texts are the English ones.
cp "$root/resources/0x0409.ini" "$disk1/0x0407.ini"
cp "$engine" "$disk1/KXSetup.dll"

printf 'Demo application, installed by setup.exe.\r\n' >"$app/readme.txt"
printf '@echo Hello from the demo application.\r\n' >"$app/bin/demo.cmd"
printf 'Notes on the demo application.\r\n' >"$app/docs/notes.txt"
(cd "$app" && gcab -c -z "$disk1/data1.cab" readme.txt bin/demo.cmd docs/notes.txt)

"$builder" --quiet "$launcher" "$work/medium" "$work/setup.exe"
echo "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\$guid"
