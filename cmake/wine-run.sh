#!/usr/bin/env bash
# Runs a Windows test program under Wine in the project-private prefix.
# The prefix lives in the build tree (KX_WINEPREFIX, set by the test driver);
# it is created once and reused.
set -u
# The server and its services outlive this script: they must not inherit
# descriptors beyond the standard three, or a caller that holds a lock on one
# (flock) would keep it for the server's lifetime.
for fd in /proc/$BASHPID/fd/*; do
  fd=${fd##*/}
  if [ "$fd" -gt 2 ] 2>/dev/null; then eval "exec $fd>&-" 2>/dev/null || true; fi
done
: "${KX_WINEPREFIX:=$(cd "$(dirname "$0")/.." && pwd)/build/wineprefix}"
export WINEPREFIX="$KX_WINEPREFIX"
# Quiet unless the caller asks for a channel (a test that listens for one).
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="mscoree,mshtml="
unset http_proxy https_proxy HTTP_PROXY HTTPS_PROXY
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  mkdir -p "$WINEPREFIX"
  wineboot -i </dev/null >/dev/null 2>&1
  wineserver -w
  # Wine reads fonts only from the prefix's Fonts folder.
  cp -f /usr/share/wine/fonts/{tahoma,tahomabd,marlett}.ttf \
    "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null || true
fi
# A persistent server; its services start detached from our pipes, so that a
# caller reading our output (CTest discovery) is not kept waiting by them.
if wineserver -p </dev/null >/dev/null 2>&1; then
  wine cmd.exe /c exit </dev/null >/dev/null 2>&1
fi
exec wine "$@"
