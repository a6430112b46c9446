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

if [ "${1:-}" = "--start-session" ]; then
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    mkdir -p "$WINEPREFIX"
    wineboot -i
    wineserver -w
    # Wine reads fonts only from the prefix's Fonts folder.
    cp -f /usr/share/wine/fonts/{tahoma,tahomabd,marlett}.ttf \
      "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null || true
  fi
  # A persistent server. Wine's services and desktop keep the standard handles
  # of the program that started them, and a desktop started by a test program
  # would keep CTest reading that test's output until the desktop ends, so
  # both are started here, detached from any caller's pipes. The desktop
  # itself ends whenever no program uses it; the keeper (tests/testing) holds
  # it for as long as the server lives.
  started=0
  if wineserver -p; then started=1; fi
  keeper=${KX_DESKTOP_KEEPER:-}
  pid_file="$WINEPREFIX.keeper"
  if [ -n "$keeper" ] && [ -f "$keeper" ]; then
    if [ "$started" = 1 ] || ! kill -0 "$(cat "$pid_file" 2>/dev/null)" 2>/dev/null; then
      ready="$WINEPREFIX.keeper-ready"
      rm -f "$ready"
      setsid wine "$keeper" "Z:${ready//\//\\}" </dev/null >/dev/null 2>&1 &
      echo $! >"$pid_file"
      for _ in $(seq 300); do
        [ -f "$ready" ] && break
        kill -0 "$(cat "$pid_file")" 2>/dev/null || break
        sleep 0.1
      done
    fi
  elif [ "$started" = 1 ]; then
    wine cmd.exe /c exit
  fi
  exit 0
fi

# Test programs start in parallel; only one may create the prefix and start
# the session, and none may run before the desktop is up.
mkdir -p "$(dirname "$WINEPREFIX")"
flock -o "$WINEPREFIX.lock" "$0" --start-session </dev/null >/dev/null 2>&1

# Two ways Wine fails a test case that never failed, seen now and then on a
# loaded machine: its process trips an assertion in the C library's exit code
# (_dl_fini) after the program has ended, or the process dies before the
# program's first line, printing nothing (the test programs write their
# output unbuffered, so a program that ran always shows something). A test
# case (a GoogleTest filter) that ends either way is run once more; every
# other program runs once, as it is. Its output goes through files, which
# also keeps any process it leaves behind from holding CTest's pipes.
case " $* " in
  *" --gtest_filter="*) ;;
  *) exec wine "$@" ;;
esac
out=$(mktemp "${TMPDIR:-/tmp}/kx-wine-run.XXXXXX")
err=$(mktemp "${TMPDIR:-/tmp}/kx-wine-run.XXXXXX")
wine "$@" >"$out" 2>"$err"
rc=$?
if [ "$rc" -ne 0 ]; then
  why=
  if grep -q "Inconsistency detected by ld.so: dl-fini.c" "$err"; then
    why="the program ended inside the C library's exit code"
  elif [ ! -s "$out" ]; then
    why="the process ended with code $rc before the program printed anything"
  fi
  if [ -n "$why" ]; then
    cat "$out"
    cat "$err" >&2
    echo "wine-run: $why; running it again" >&2
    wine "$@" >"$out" 2>"$err"
    rc=$?
  fi
fi
cat "$out"
cat "$err" >&2
rm -f "$out" "$err"
exit "$rc"
