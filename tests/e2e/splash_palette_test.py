"""The splash on a 256-colour screen: the splash cases of the UI tests run
once more on a private X server of depth 8, in a prefix of their own (Wine's
desktop belongs to the display its session started on), where the splash
must draw through a palette. KX_SCREEN_BITS tells the cases what depth they
are meant to see, so a server that came up with another depth fails them
rather than passing the true-colour branch again.
"""
import os
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(__file__))
import kxe2e  # noqa: E402

UI_TESTS = os.environ.get("KX_UI_TESTS_EXE", "")


def free_display():
    for n in range(140, 200):
        if not os.path.exists(f"/tmp/.X11-unix/X{n}") and not os.path.exists(f"/tmp/.X{n}-lock"):
            return n
    raise RuntimeError("no free X display number")


def main():
    if not (UI_TESTS and kxe2e.WINE_RUN):
        print("needs KX_UI_TESTS_EXE and KX_WINE_RUN")
        return 1
    c = kxe2e.Checks()
    n = free_display()
    xvfb = subprocess.Popen(["Xvfb", f":{n}", "-screen", "0", "800x600x8", "-nolisten", "tcp"],
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    prefix = os.path.join(os.environ["KX_BINARY_DIR"], "..", "wineprefix-8bit")
    env = dict(os.environ, DISPLAY=f":{n}", KX_WINEPREFIX=prefix, KX_SCREEN_BITS="8")
    try:
        for _ in range(50):
            if os.path.exists(f"/tmp/.X11-unix/X{n}"):
                break
            time.sleep(0.1)
        # Through a file: the program may be the one that starts the desktop.
        with tempfile.TemporaryFile() as f:
            p = subprocess.run([kxe2e.WINE_RUN, UI_TESTS, "--gtest_filter=SplashTest.*"],
                               stdout=f, stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL,
                               env=env, timeout=400)
            f.seek(0)
            out = f.read().decode(errors="replace")
        c.expect(p.returncode == 0 and "[  PASSED  ]" in out,
                 "the splash cases pass on an 8-bit screen:\n" + out[-3000:])
    finally:
        subprocess.run(["wineserver", "-k"], env=dict(env, WINEPREFIX=os.path.abspath(prefix)),
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        xvfb.terminate()
        xvfb.wait(10)
    c.exit()


if __name__ == "__main__":
    sys.exit(main())
