#!/usr/bin/env python3
"""Runs a setup.exe interactively under Wine, clicks through its wizard
with the window probe as a person would, and saves a PNG screenshot of each
page: the language page, the progress page, the cancel question.

Usage: tools/demo_screens.py <setup.exe> <out folder>
Environment: KX_WINE_RUN (the Wine wrapper), KX_WINDOW_PROBE_EXE, KX_RUN_EXE,
DISPLAY (an X server, e.g. a private Xvfb).
"""
import os
import subprocess
import sys
import threading
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import bmp_to_png  # noqa: E402

WINE_RUN = os.environ.get("KX_WINE_RUN", "")
PROBE = os.environ.get("KX_WINDOW_PROBE_EXE", "")
RUN_EXE = os.environ.get("KX_RUN_EXE", "")
CAPTION = "Kestrix Wizard"


def win_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def probe(*args):
    p = subprocess.run([WINE_RUN, PROBE] + [str(a) for a in args], capture_output=True,
                       timeout=120, stdin=subprocess.DEVNULL)
    return p.returncode


def shot(out, name):
    bmp = os.path.join(out, name + ".bmp")
    if probe("shot", CAPTION, win_path(bmp)) != 0:
        print(f"could not take {name}")
        return
    png = os.path.join(out, name + ".png")
    bmp_to_png.convert(bmp, png)
    os.remove(bmp)
    print("screenshot:", png)


def main():
    if len(sys.argv) != 3 or not (WINE_RUN and PROBE and RUN_EXE):
        sys.exit(__doc__)
    exe, out = sys.argv[1], sys.argv[2]
    os.makedirs(out, exist_ok=True)
    env = dict(os.environ)
    env["KX_RUN_COMMAND"] = f'"{win_path(exe)}"'
    # The engine lingers in its last preparation call, so the progress page
    # stays up long enough to be seen.
    env["KX_ENGINE_DELAY"] = "GetRunner:8000"
    result = {}

    def run():
        p = subprocess.run([WINE_RUN, RUN_EXE], capture_output=True, timeout=600, env=env,
                           stdin=subprocess.DEVNULL)
        result["out"] = p.stdout.decode(errors="replace").strip()

    t = threading.Thread(target=run)
    t.start()
    # Let the run bring up its Wine services before the probe joins it.
    time.sleep(3)
    if probe("wait", CAPTION, 60000) != 0:
        print("no wizard window came up")
        t.join()
        return 1
    time.sleep(1.5)
    shot(out, "1-language-page")
    probe("click", CAPTION, 9)
    time.sleep(1.5)
    shot(out, "2-cancel-question")
    probe("click", CAPTION, 7)  # No: go on
    time.sleep(1)
    probe("click", CAPTION, 1)
    # The progress page comes up once the prerequisites are through.
    for _ in range(20):
        time.sleep(0.5)
        if probe("shot", CAPTION, win_path(os.path.join(out, "probe.bmp"))) == 0:
            break
    time.sleep(1)
    shot(out, "3-progress-page")
    if os.path.exists(os.path.join(out, "probe.bmp")):
        os.remove(os.path.join(out, "probe.bmp"))
    t.join()
    print("run result:", result.get("out", "?"))
    return 0


if __name__ == "__main__":
    sys.exit(main())
