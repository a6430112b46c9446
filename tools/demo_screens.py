#!/usr/bin/env python3
"""Runs a setup.exe interactively under Wine, clicks through its wizard
with the window probe as a person would, and saves a PNG screenshot of each
page: the language page, the cancel question and the progress page while
its bar moves (twice, a few seconds apart).

With "instances" as a third argument it instead expects the instance page
(two instances of the product are installed), saves it and cancels the run.
With "dressed" it expects a medium with a skin and a splash picture: it saves
the skinned language page, the splash once Next is pressed,
and the skinned progress page, and lets the run complete.

Usage: tools/demo_screens.py <setup.exe> <out folder> [instances | dressed]
Environment: KX_WINE_RUN (the Wine wrapper), KX_WINDOW_PROBE_EXE, KX_RUN_EXE,
DISPLAY (an X server, e.g. a private Xvfb).
"""
import os
import subprocess
import sys
import tempfile
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


def probe_output(*args):
    """(exit code, output) of the window probe. The output goes through a
    file: Wine's desktop process, started by the first program that needs
    it, inherits the standard handles and would keep a pipe open."""
    with tempfile.TemporaryFile() as f:
        p = subprocess.run([WINE_RUN, PROBE] + [str(a) for a in args], stdout=f,
                           stderr=subprocess.DEVNULL, timeout=120, stdin=subprocess.DEVNULL)
        f.seek(0)
        return p.returncode, f.read().decode(errors="replace")


def probe(*args):
    return probe_output(*args)[0]


def bar_position():
    """The progress bar's position, or None while there is no bar."""
    code, out = probe_output("pos", CAPTION, 301)
    values = [int(v) for v in out.split() if v.isdigit()]
    return values[-1] if code == 0 and values else None


def progress_moving():
    """Waits up to 15 s for the progress page, until the engine's bytes move
    its bar past 50; whether they did."""
    for _ in range(60):
        time.sleep(0.25)
        position = bar_position()
        if position is not None and position > 50:
            return True
    return False


def shot(out, name, window=CAPTION):
    bmp = os.path.join(out, name + ".bmp")
    if probe("shot", window, win_path(bmp)) != 0:
        print(f"could not take {name}")
        return
    png = os.path.join(out, name + ".png")
    bmp_to_png.convert(bmp, png)
    os.remove(bmp)
    print("screenshot:", png)


def start_wizard(exe, transfer=None):
    """Starts `exe` in a thread, with the engine reporting `transfer`
    ("bytes:rate") while the progress page is up, and waits until its wizard
    has come up: (the thread, a dict that gets the run's output as "out" once
    it has ended), or None when no wizard came."""
    env = dict(os.environ)
    env["KX_RUN_COMMAND"] = f'"{win_path(exe)}"'
    if transfer:
        env["KX_ENGINE_TRANSFER"] = transfer
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
        return None
    time.sleep(1.5)
    return t, result


def instance_page(exe, out):
    """Saves the instance page of a run that finds two instances, then
    cancels the run (Cancel, then Yes), so nothing is maintained."""
    started = start_wizard(exe)
    if not started:
        return 1
    t, result = started
    shot(out, "5-instance-page")
    probe("click", CAPTION, 9)
    for _ in range(20):
        time.sleep(0.5)
        if probe("click", CAPTION, 6) == 0:  # Yes: end the run
            break
    t.join()
    print("run result (cancelled on purpose):", result.get("out", "?"))
    return 0


def dressed_run(exe, out):
    """Saves the pages of a dressed medium and its splash; the run completes."""
    started = start_wizard(exe, "12000000:2000000")
    if not started:
        return 1
    t, result = started
    shot(out, "6-skinned-language-page")
    probe("click", CAPTION, 1)
    # The splash, a dialog without caption, comes up once the prerequisites
    # are through and stays for the medium's SplashTime (3 s) before the
    # progress page.
    if probe("wait", "class:#32770", 20000) == 0:
        time.sleep(0.3)
        shot(out, "7-splash", "class:#32770")
    else:
        print("no splash came up")
    if not progress_moving():
        print("no progress page came up")
    else:
        shot(out, "8-skinned-progress-page")
    t.join()
    print("run result:", result.get("out", "?"))
    return 0


def main():
    if len(sys.argv) not in (3, 4) or not (WINE_RUN and PROBE and RUN_EXE):
        sys.exit(__doc__)
    exe, out = sys.argv[1], sys.argv[2]
    os.makedirs(out, exist_ok=True)
    if len(sys.argv) == 4:
        modes = {"instances": instance_page, "dressed": dressed_run}
        if sys.argv[3] not in modes:
            sys.exit(__doc__)
        return modes[sys.argv[3]](exe, out)
    # The engine reports a transfer of 20 MB at 2 MB/s while the progress
    # page is up, so the bar is seen moving.
    started = start_wizard(exe, "20000000:2000000")
    if not started:
        return 1
    t, result = started
    shot(out, "1-language-page")
    probe("click", CAPTION, 9)
    time.sleep(1.5)
    shot(out, "2-cancel-question")
    probe("click", CAPTION, 7)  # No: go on
    time.sleep(1)
    probe("click", CAPTION, 1)
    # The progress page comes up once the prerequisites are through; the
    # bytes then move its bar from 50 towards 95.
    if not progress_moving():
        print("no progress page came up")
    else:
        shot(out, "3-progress-page")
        first = bar_position()
        time.sleep(3)
        shot(out, "4-progress-page-later")
        print(f"progress bar at {first}, then {bar_position()} three seconds later")
    t.join()
    print("run result:", result.get("out", "?"))
    return 0


if __name__ == "__main__":
    sys.exit(main())
