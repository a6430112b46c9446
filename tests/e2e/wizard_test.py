"""The launcher's wizard as a person sees it: an interactive run of a medium
with two languages shows the language page, the choice reaches the engine,
the progress page moves forward, a confirmed Cancel ends the run with the
cancel code and nothing installed, No keeps it going; a silent run opens no
window at all.

Windows are driven with the window probe (kx_window_probe.exe) in the same
prefix and display; the reference engine's journal shows what the engine
was told, and its delay hook keeps the progress page up long enough.
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
CANCELLED = -2147213312  # 0x80042000
CAPTION = "Kestrix Wizard"
GUID = "{0D3E6B1A-5C4F-4E8B-9A27-6F1C2D3E4B5A}"
UNINSTALL_KEY = "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + GUID


def probe(*args):
    code, out, _ = kxe2e.run_windows([PROBE] + [str(a) for a in args], timeout=120)
    return code, out


def controls():
    """{id: (class, text, enabled, visible)} of the wizard and its page."""
    code, out = probe("controls", CAPTION)
    found = {}
    for line in out.splitlines():
        parts = line.rstrip("\r").split("\t")
        if len(parts) == 6 and parts[0].lstrip("-").isdigit():
            found.setdefault(int(parts[0]), []).append((parts[1], parts[2], parts[3] == "1",
                                                        parts[4] == "1"))
    return found


def visible_text(found, control_id):
    for cls, text, _, visible in found.get(control_id, []):
        if visible:
            return text
    return None


class Run:
    """setup.exe started in the background; `result` holds its exit code."""

    def __init__(self, exe, journal, env=None):
        self.result = None
        e = {"KX_ENGINE_JOURNAL": kxe2e.win_path(journal)}
        e.update(env or {})
        self.thread = threading.Thread(target=self._run, args=(exe, e))
        self.thread.start()

    def _run(self, exe, env):
        self.result = kxe2e.run_setup(exe, "", timeout=300, env=env)

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


def build_medium(work):
    subprocess.run([os.path.join(SOURCE, "tools", "demo_medium.sh"), kxe2e.SETUP_EXE, ENGINE_DLL,
                    MEDIUM_TOOL, work], check=True, capture_output=True)
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


def choose_and_install(c, exe, out):
    journal = os.path.join(out, "journal.txt")
    run = Run(exe, journal, {"KX_ENGINE_DELAY": "GetRunner:4000"})
    c.expect(probe("wait", CAPTION, 60000)[0] == 0, "the wizard comes up")
    time.sleep(1)
    found = controls()
    c.expect(visible_text(found, 52) == "Choose Setup Language", f"language page title: {found}")
    c.expect(any(cls == "ListBox" for cls, *_ in found.get(304, [])), "the language list")
    probe("select", CAPTION, 304, 1)  # English, German: German
    probe("click", CAPTION, 1)
    for _ in range(30):
        time.sleep(0.2)
        found = controls()
        if visible_text(found, 52) == "Preparing Setup":
            break
    c.expect(visible_text(found, 52) == "Preparing Setup", "the progress page follows")
    code = run.wait()
    lines = journal_lines(journal)
    c.expect(code == 0, f"the run completes: {code}")
    c.expect("SetLanguage scope=0 language=0x00000407" in lines, "the engine gets the choice")
    c.expect(any(line.startswith("SetArguments") and "-sel_lang0407" in line for line in lines),
             "the arguments carry the choice")
    c.expect("Run" in lines, "the engine ran")
    remove_installation()


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
    probe("click", CAPTION, 9)
    c.expect(probe("wait", "class:#32770", 10000)[0] == 0, "the question comes up")
    time.sleep(0.5)
    probe("click", CAPTION, answer)  # the message box is the topmost match
    time.sleep(1)
    if answer == 7:  # No: the page is still there; Next goes on
        found = controls()
        c.expect(visible_text(found, 52) == "Choose Setup Language", "No keeps the page")
        probe("click", CAPTION, 1)
        code = run.wait()
        c.expect(code == 0, f"after No the run completes: {code}")
        remove_installation()
    else:
        code = run.wait()
        lines = journal_lines(journal)
        c.expect(code == CANCELLED, f"Yes ends the run with the cancel code: {code}")
        c.expect("Run" not in lines, "nothing was installed")
    c.expect(os.path.isfile(exe) and os.path.isfile(beside), "the launcher's folder stays as it was")


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
    if not (PROBE and ENGINE_DLL and MEDIUM_TOOL and os.environ.get("DISPLAY")):
        print("needs KX_WINDOW_PROBE_EXE, KX_ENGINE_DLL, KX_MEDIUM_TOOL and a DISPLAY")
        return 1
    c = kxe2e.Checks()
    work = tempfile.mkdtemp(prefix="kxwizard")
    out = tempfile.mkdtemp(prefix="kxwizardout")
    try:
        end_runs()
        remove_installation()
        exe = build_medium(work)
        choose_and_install(c, exe, out)
        cancel_on_language_page(c, exe, out, 7)
        cancel_on_language_page(c, exe, out, 6)
        silent_opens_no_window(c, exe, out)
    finally:
        end_runs()
        remove_installation()
        shutil.rmtree(work, ignore_errors=True)
        shutil.rmtree(out, ignore_errors=True)
    c.exit()


if __name__ == "__main__":
    sys.exit(main())
