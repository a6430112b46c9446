"""The launcher's wizard as a person sees it: an interactive run of a medium
with two languages shows the language page, the choice reaches the engine,
the progress page moves forward, a confirmed Cancel ends the run with the
cancel code and nothing installed, No keeps it going; a silent run opens no
window at all. A dressed medium (the demo's, with the example skin and a
splash picture) shows its splash between the language and the progress
page for its SplashTime, and none with "hide_splash".

Windows are driven with the window probe (kx_window_probe.exe) in the same
prefix and display; the reference engine's journal shows what the engine
was told, and its transfer hook (KX_ENGINE_TRANSFER) has it report bytes
while the progress page is up, so the bar can be watched moving. The same
run is repeated at 144 DPI (LogPixels of the prefix's user), where every
control must still lie inside the wizard.
"""
import os
import shutil
import subprocess
import sys
import tempfile
import threading
import time

sys.path.insert(0, os.path.dirname(__file__))
import kxe2e  # noqa: E402

PROBE = os.environ.get("KX_WINDOW_PROBE_EXE", "")
ENGINE_DLL = os.environ.get("KX_ENGINE_DLL", "")
SOURCE = os.environ.get("KX_SOURCE_DIR", "")
MEDIUM_TOOL = os.environ.get("KX_MEDIUM_TOOL", "")
SKIN_TOOL = os.environ.get("KX_SKIN_TOOL", "")
CANCELLED = -2147213312  # 0x80042000
CAPTION = "Kestrix Wizard"
GUID = "{0D3E6B1A-5C4F-4E8B-9A27-6F1C2D3E4B5A}"
UNINSTALL_KEY = "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + GUID


DPI_KEY = "HKCU\\Control Panel\\Desktop"
# The transfer the engine reports from Start: 8 s at 2 MB/s.
TRANSFER = "16000000:2000000"


def probe(*args):
    """Runs the window probe; (exit code, output).

    The output goes through a file, not a pipe: the first program of a display
    that needs the desktop starts Wine's desktop process, which inherits its
    standard handles and lives as long as the run's windows do, so a pipe
    would not reach its end before the run is over.
    """
    with tempfile.TemporaryFile() as f:
        p = subprocess.run([kxe2e.WINE_RUN, PROBE] + [str(a) for a in args], stdout=f,
                           stderr=subprocess.DEVNULL, stdin=subprocess.DEVNULL, timeout=120)
        f.seek(0)
        return p.returncode, f.read().decode(errors="replace")


def rect(text):
    return tuple(int(v) for v in text.split(","))


def window_state():
    """(client rectangle, {id: [(class, text, enabled, visible, rectangle)]}) of
    the wizard and its page; the client is None without a wizard."""
    code, out = probe("controls", CAPTION)
    client, found = None, {}
    for line in out.splitlines():
        parts = line.rstrip("\r").split("\t")
        if parts[0] == "client" and len(parts) == 2:
            client = rect(parts[1])
        if len(parts) == 6 and parts[0].lstrip("-").isdigit():
            found.setdefault(int(parts[0]), []).append(
                (parts[1], parts[2], parts[3] == "1", parts[4] == "1", rect(parts[5])))
    return client, found


def controls():
    return window_state()[1]


def visible_text(found, control_id):
    for cls, text, _, visible, _ in found.get(control_id, []):
        if visible:
            return text
    return None


def visible_one(found, control_id):
    """(enabled, visible) of the page's control: the visible one, else any."""
    rows = found.get(control_id, [])
    for _, _, enabled, visible, _ in sorted(rows, key=lambda r: not r[3]):
        return enabled, visible
    return None


def outside(client, found):
    """The visible controls that reach beyond the client area. Etched lines
    (2 pixels high) are drawn 2 pixels wider than their template asks; the
    page clips that, so they get those pixels."""
    if client is None:
        return ["no wizard"]
    left, top, right, bottom = client
    bad = []
    for control_id, rows in found.items():
        for cls, _, _, visible, (l, t, r, b) in rows:
            slack = 2 if cls == "Static" and b - t <= 2 else 0
            if visible and (l < left or t < top or r > right + slack or b > bottom):
                bad.append(f"{control_id} {cls} {l},{t},{r},{b}")
    return bad


def bar_samples():
    """The progress bar's positions, sampled every 100 ms until the page goes
    (at most 20 s)."""
    code, out = probe("pos", CAPTION, 301, 200, 100)
    return [int(v) for v in out.split() if v.lstrip("-").isdigit()]


def answer_question(c, answer):
    """Presses `answer` (6 Yes, 7 No) on the cancel question once it is up:
    neither the wizard nor its page has such a button."""
    for _ in range(50):
        if probe("click", CAPTION, answer)[0] == 0:
            c.expect(True, f"the question is answered with {answer}")
            return
        time.sleep(0.2)
    c.expect(False, f"the question comes up to be answered with {answer}")


def check_bar(c, samples):
    pairs = list(zip(samples, samples[1:]))
    c.expect(len(samples) >= 10, f"the bar was sampled: {samples}")
    c.expect(all(b >= a for a, b in pairs), f"the bar never moves back: {samples}")
    c.expect(any(b > a for a, b in pairs), f"the bar moves forward: {samples}")
    # The steps stand at 50 while the engine transfers; the bytes fill the
    # bar from there towards 95.
    c.expect(len({v for v in samples if 50 < v < 95}) >= 2,
             f"the transferred bytes move the bar between the steps: {samples}")


class Run:
    """setup.exe started in the background; `result` holds its exit code."""

    def __init__(self, exe, journal, env=None, arguments=""):
        self.result = None
        e = {"KX_ENGINE_JOURNAL": kxe2e.win_path(journal)}
        e.update(env or {})
        self.thread = threading.Thread(target=self._run, args=(exe, e, arguments))
        self.thread.start()

    def _run(self, exe, env, arguments):
        self.result = kxe2e.run_setup(exe, arguments, timeout=300, env=env)

    def wait(self, seconds=120):
        self.thread.join(seconds)
        if self.thread.is_alive():
            # A run left waiting on a window would hold the product's
            # single-instance lock for every later scenario.
            end_runs()
            self.thread.join(30)
        return self.result


def end_runs():
    """Ends every launcher still running in the prefix (a scenario that failed
    may leave one waiting on a window, holding the single-instance lock)."""
    kxe2e.run_windows(["taskkill", "/f", "/im", "setup.exe"], timeout=60)


def build_medium(work, dressed=False):
    subprocess.run([os.path.join(SOURCE, "tools", "demo_medium.sh"), kxe2e.SETUP_EXE, ENGINE_DLL,
                    MEDIUM_TOOL, work] + ([SKIN_TOOL] if dressed else []), check=True,
                   capture_output=True)
    run_dir = os.path.join(work, "run")
    os.makedirs(run_dir)
    exe = os.path.join(run_dir, "setup.exe")
    shutil.copy(os.path.join(work, "setup.exe"), exe)
    return exe


def remove_installation():
    """The demo product's uninstall entry and files: an installed product
    would answer the language question itself."""
    kxe2e.run_windows(["reg", "delete", UNINSTALL_KEY, "/f"])
    prefix = os.environ.get("KX_WINEPREFIX") or os.path.join(os.environ.get("KX_BINARY_DIR", ""),
                                                             "..", "wineprefix")
    shutil.rmtree(os.path.join(prefix, "drive_c", "Program Files", "Demo product"),
                  ignore_errors=True)


def journal_lines(path):
    if not os.path.exists(path):
        return []
    with open(path, encoding="utf-8") as f:
        return f.read().splitlines()


def choose_and_install(c, exe, out, label="96 DPI"):
    """Chooses German, watches the progress page move and the run complete;
    returns the wizard's client rectangle on the language page."""
    journal = os.path.join(out, f"journal-{label.replace(' ', '')}.txt")
    run = Run(exe, journal, {"KX_ENGINE_TRANSFER": TRANSFER})
    c.expect(probe("wait", CAPTION, 60000)[0] == 0, f"{label}: the wizard comes up")
    time.sleep(1)
    client, found = window_state()
    c.expect(visible_text(found, 52) == "Choose Setup Language", f"language page title: {found}")
    c.expect(any(cls == "ListBox" for cls, *_ in found.get(304, [])), "the language list")
    c.expect(visible_one(found, 12) == (False, True), "the language page shows Back, disabled")
    c.expect(not outside(client, found), f"{label}: the language page fits: {outside(client, found)}")
    c.expect(probe("select", CAPTION, 304, 1)[0] == 0, "German is selected")  # English, German
    c.expect(probe("click", CAPTION, 1)[0] == 0, "Next is pressed")
    for _ in range(30):
        time.sleep(0.2)
        page_client, found = window_state()
        if visible_text(found, 52) == "Preparing Setup":
            break
    c.expect(visible_text(found, 52) == "Preparing Setup", f"{label}: the progress page follows")
    c.expect((visible_one(found, 12) or (None, True))[1] is False, "the progress page hides Back")
    c.expect(not outside(page_client, found),
             f"{label}: the progress page fits: {outside(page_client, found)}")
    check_bar(c, bar_samples())
    code = run.wait()
    lines = journal_lines(journal)
    c.expect(code == 0, f"{label}: the run completes: {code}")
    c.expect("SetLanguage scope=0 language=0x00000407" in lines, "the engine gets the choice")
    c.expect(any(line.startswith("SetArguments") and "-sel_lang0407" in line for line in lines),
             "the arguments carry the choice")
    c.expect("Transfer bytes=16000000 rate=2000000" in lines, "the engine reported its bytes")
    c.expect("Run" in lines, "the engine ran")
    remove_installation()
    return client


def logpixels():
    """The prefix user's LogPixels, or None when it is not set."""
    code, out, _ = kxe2e.run_windows(["reg", "query", DPI_KEY, "/v", "LogPixels"])
    for line in out.splitlines():
        parts = line.split()
        if len(parts) == 3 and parts[0] == "LogPixels":
            return int(parts[2], 0)
    return None


def set_logpixels(value):
    if value is None:
        kxe2e.run_windows(["reg", "delete", DPI_KEY, "/v", "LogPixels", "/f"])
    else:
        kxe2e.run_windows(["reg", "add", DPI_KEY, "/v", "LogPixels", "/t", "REG_DWORD", "/d",
                           str(value), "/f"])


def at_144_dpi(c, exe, out, client_at_96):
    """The same run at 144 DPI: bigger, and still every control inside."""
    before = logpixels()
    set_logpixels(144)
    try:
        client = choose_and_install(c, exe, out, "144 DPI")
    finally:
        set_logpixels(before)
    if client and client_at_96:
        ratio = (client[2] - client[0]) / (client_at_96[2] - client_at_96[0])
        c.expect(1.3 < ratio < 1.7, f"at 144 DPI the wizard is half as large again: {ratio:.2f}")
    c.expect(logpixels() == before, f"LogPixels is restored: {logpixels()} (was {before})")


def cancel_on_progress_page(c, exe, out, answer):
    """Cancel on the progress page once the launcher lets it: Yes ends the run
    with the cancel code before the engine runs, No lets it go on."""
    journal = os.path.join(out, f"journal-progress{answer}.txt")
    # The engine lingers after its set-up, when Cancel is enabled.
    run = Run(exe, journal, {"KX_ENGINE_DELAY": "GetRunner:8000"})
    c.expect(probe("wait", CAPTION, 60000)[0] == 0, "the wizard comes up")
    time.sleep(1)
    c.expect(probe("click", CAPTION, 1)[0] == 0, "Next is pressed")
    enabled = False
    for _ in range(40):
        time.sleep(0.2)
        found = controls()
        if visible_text(found, 52) == "Preparing Setup" and visible_one(found, 9) == (True, True):
            enabled = True
            break
    c.expect(enabled, "the progress page's Cancel comes alive")
    c.expect(probe("click", CAPTION, 9)[0] == 0, "Cancel is pressed on the progress page")
    answer_question(c, answer)
    code = run.wait()
    lines = journal_lines(journal)
    if answer == 7:
        c.expect(code == 0, f"after No on the progress page the run completes: {code}")
        c.expect("Run" in lines, "after No the engine ran")
        remove_installation()
    else:
        c.expect(code == CANCELLED, f"Yes on the progress page ends with the cancel code: {code}")
        c.expect("Run" not in lines, "after Yes nothing was installed")


def cancel_on_language_page(c, exe, out, answer):
    journal = os.path.join(out, f"journal{answer}.txt")
    # A file of somebody else's beside the launcher: a cancelled run must
    # leave the launcher's folder as it found it.
    beside = os.path.join(os.path.dirname(exe), "beside.txt")
    with open(beside, "w") as f:
        f.write("not the run's")
    run = Run(exe, journal)
    c.expect(probe("wait", CAPTION, 60000)[0] == 0, "the wizard comes up")
    time.sleep(1)
    c.expect(probe("click", CAPTION, 9)[0] == 0, "Cancel is pressed")
    answer_question(c, answer)
    time.sleep(1)
    if answer == 7:  # No: the page is still there; Next goes on
        found = controls()
        c.expect(visible_text(found, 52) == "Choose Setup Language", "No keeps the page")
        c.expect(probe("click", CAPTION, 1)[0] == 0, "Next is pressed after No")
        code = run.wait()
        c.expect(code == 0, f"after No the run completes: {code}")
        remove_installation()
    else:
        code = run.wait()
        lines = journal_lines(journal)
        c.expect(code == CANCELLED, f"Yes ends the run with the cancel code: {code}")
        c.expect("Run" not in lines, "nothing was installed")
    c.expect(os.path.isfile(exe) and os.path.isfile(beside), "the launcher's folder stays as it was")


def splash_client():
    """The splash's client rectangle, or None while there is none: the
    topmost dialog, when it has no caption (the wizard's frame has one)."""
    code, out = probe("controls", "class:#32770")
    fields = dict(line.rstrip("\r").split("\t", 1) for line in out.splitlines()
                  if line.startswith(("caption\t", "client\t")))
    if code != 0 or fields.get("caption", "") != "" or "client" not in fields:
        return None
    return rect(fields["client"])


def splash_between_pages(c, exe, out, hidden):
    """Next on the language page of the dressed medium: the splash (360 x 200,
    SplashTime 3 s) comes up and has gone once the progress page shows;
    with "hide_splash" none comes up at all."""
    label = "hide_splash" if hidden else "splash"
    journal = os.path.join(out, f"journal-{label}.txt")
    # The engine's transfer keeps the progress page up for a while.
    run = Run(exe, journal, {"KX_ENGINE_TRANSFER": TRANSFER},
              arguments="/hide_splash" if hidden else "")
    c.expect(probe("wait", CAPTION, 60000)[0] == 0, f"{label}: the wizard comes up")
    time.sleep(1)
    c.expect(probe("click", CAPTION, 1)[0] == 0, f"{label}: Next is pressed")
    seen, first, last, progress = None, None, None, False
    for _ in range(60):
        client = splash_client()
        if client:
            seen = client
            first = first or time.monotonic()
            last = time.monotonic()
        if visible_text(controls(), 52) == "Preparing Setup":
            progress = True
            break
    c.expect(progress, f"{label}: the progress page follows")
    if hidden:
        c.expect(seen is None, f"hide_splash: no splash comes up: {seen}")
    else:
        size = seen and (seen[2] - seen[0], seen[3] - seen[1])
        c.expect(size == (360, 200), f"the splash has its picture's size: {size}")
        c.expect(splash_client() is None, "the splash has gone before the progress page")
        # Seen over at least two of its three seconds: each look takes time.
        c.expect(first and last - first >= 2.0,
                 f"the splash stays for its SplashTime: {first and last - first:.1f} s")
    c.expect(run.wait() == 0, f"{label}: the run completes")
    remove_installation()


def silent_opens_no_window(c, exe, out):
    env = dict(os.environ)
    env.pop("DISPLAY", None)
    env["WINEDEBUG"] = "-all,err+winediag"
    env["KX_RUN_COMMAND"] = f'"{kxe2e.win_path(exe)}" /s'
    p = subprocess.run([kxe2e.WINE_RUN, kxe2e.RUN_EXE], capture_output=True, timeout=300, env=env,
                       stdin=subprocess.DEVNULL)
    err = p.stderr.decode(errors="replace")
    c.expect("exit=0" in p.stdout.decode(errors="replace"), "the silent run completes")
    # Wine's own desktop process reports its window too when it starts
    # without a display; only the run's windows count.
    desktop = {l.split(":")[0] for l in err.splitlines() if "explorer process failed" in l}
    ours = [l for l in err.splitlines()
            if "nodrv_CreateWindow" in l and l.split(":")[0] not in desktop]
    c.expect(not ours, "a silent run creates no window: " + " | ".join(ours))
    remove_installation()


def main():
    if not (PROBE and ENGINE_DLL and MEDIUM_TOOL and SKIN_TOOL and os.environ.get("DISPLAY")):
        print("needs KX_WINDOW_PROBE_EXE, KX_ENGINE_DLL, KX_MEDIUM_TOOL, KX_SKIN_TOOL and a DISPLAY")
        return 1
    c = kxe2e.Checks()
    work = tempfile.mkdtemp(prefix="kxwizard")
    out = tempfile.mkdtemp(prefix="kxwizardout")
    try:
        end_runs()
        remove_installation()
        exe = build_medium(work)
        client_at_96 = choose_and_install(c, exe, out)
        at_144_dpi(c, exe, out, client_at_96)
        cancel_on_progress_page(c, exe, out, 7)
        cancel_on_progress_page(c, exe, out, 6)
        cancel_on_language_page(c, exe, out, 7)
        cancel_on_language_page(c, exe, out, 6)
        silent_opens_no_window(c, exe, out)
        dressed = build_medium(os.path.join(work, "dressed"), dressed=True)
        splash_between_pages(c, dressed, out, hidden=False)
        splash_between_pages(c, dressed, out, hidden=True)
    finally:
        end_runs()
        remove_installation()
        shutil.rmtree(work, ignore_errors=True)
        shutil.rmtree(out, ignore_errors=True)
    c.exit()


if __name__ == "__main__":
    sys.exit(main())
