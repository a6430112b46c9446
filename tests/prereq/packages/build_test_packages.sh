#!/bin/sh
# Builds the Windows Installer packages of the prerequisite tests into $2:
# KxPrqPlain.msi installs one file, KxPrqReboot.msi also schedules a reboot
# (3010), KxPrqFail.msi fails in an error custom action (1603). Product
# codes end in 1, 2 and 3 (see prereq_packages.h).
set -e
wxs="$1"
out="$2"
mkdir -p "$out"
build() {
  wixl -D KX_CODE=4B580000-7072-7100-0000-00000000000$1 -D KX_NAME=KxPrq$2 \
    -D KX_UPGRADE=4B580000-7072-7100-0001-00000000000$1 \
    -D KX_COMPONENT=4B580000-7072-7100-0002-00000000000$1 -D KX_REBOOT=$3 \
    -o "$out/KxPrq$2.msi.tmp" "$wxs"
}
build 1 Plain no
build 2 Reboot yes
build 3 Fail no
msibuild "$out/KxPrqFail.msi.tmp" \
  -q "INSERT INTO \`CustomAction\` (\`Action\`, \`Type\`, \`Source\`, \`Target\`) VALUES ('FailNow', 19, '', 'Failing on purpose')" \
  -q "INSERT INTO \`InstallExecuteSequence\` (\`Action\`, \`Condition\`, \`Sequence\`) VALUES ('FailNow', 'NOT REMOVE', 1450)"
for name in Plain Reboot Fail; do mv "$out/KxPrq$name.msi.tmp" "$out/KxPrq$name.msi"; done
