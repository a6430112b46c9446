"""The failure report of silent runs end to end: setup.log where the
deployment script finds it (beside the launcher it started, or where "f2"
says), with the sections of an earlier file kept, and not one window shown
while the run fails."""
import os
import re
import shutil
import subprocess
import tempfile
import threading
import time

import kxe2e

GENERAL_FAILURE = -5001
# Every window of the launcher names the product in its caption; a name of
# its own tells the scenario's windows from those of tests running beside it.
PRODUCT = "Report scenario product"
INI = kxe2e.DEFAULT_INI.replace("Test product", PRODUCT)


def read_log(path):
    """The text of a result file (the writer's default is the ANSI code
    page; a file that was UTF-16 stays UTF-16)."""
    with open(path, "rb") as f:
        data = f.read()
    if data.startswith(b"\xff\xfe"):
        return data[2:].decode("utf-16-le")
    return data.decode("cp1252")


def x_windows():
    """The X windows of the test's display: id to name."""
    p = subprocess.run(["xwininfo", "-root", "-tree"], capture_output=True, timeout=30)
    return dict(re.findall(r'(0x[0-9a-f]+) "([^"]*)"', p.stdout.decode(errors="replace")))


def viewable(window):
    """Whether the X window is mapped and visible (Wine keeps unmapped X
    windows for hidden ones, such as its input-method window)."""
    p = subprocess.run(["xwininfo", "-id", window], capture_output=True, timeout=30)
    return b"IsViewable" in p.stdout


c = kxe2e.Checks()

if not os.environ.get("DISPLAY") or shutil.which("xwininfo") is None:
    c.expect(False, "the scenario needs an X display (xvfb-run) and xwininfo (x11-utils)")
    c.exit()

with kxe2e.Medium(INI) as m:
    log = m.file("setup.log")
    shown = set()
    done = threading.Event()
    before = x_windows()

    def watch():
        while not done.is_set():
            for window, name in x_windows().items():
                if window not in before and PRODUCT in name and viewable(window):
                    shown.add(name)
            time.sleep(0.1)

    watcher = threading.Thread(target=watch)
    watcher.start()
    try:
        code = kxe2e.run_setup(m.exe, "/s -show_err_dlg", timeout=180)
    except subprocess.TimeoutExpired:
        code = None
    finally:
        done.set()
        watcher.join()
    c.expect(code == GENERAL_FAILURE, f"a silent run with show_err_dlg ends with -5001 (got {code})")
    c.expect(not shown, f"the failing silent run shows no window (saw {sorted(shown)})")

    c.expect(os.path.exists(log), "setup.log lies beside the launcher that was started")
    text = read_log(log) if os.path.exists(log) else ""
    c.expect("[Kestrix Silent]\r\nFile=Log File\r\nVersion=v7.00\r\n" in text,
             "it names itself a Kestrix Silent log file")
    c.expect("[ResponseResult]\r\nResultCode=-5001\r\n" in text, "it holds ResultCode=-5001")
    c.expect(re.search(r"ErrorInfo=.*>launcher\\setup\.cpp \(175\).*PAPP:Report scenario product "
                       r"PVENDOR:.*PGUID:\{6F1D3F8E-0B7A-4C55-9E21-3A5B7C9D0E11\}", text)
             is not None, f"ErrorInfo names the site and the product ({text!r})")
    c.expect(re.search(r"\r\nErrorInfo=>[^\r\n]*IE Version: [^\r\n]*\r\n$", text) is not None,
             "the error information stays on one line")

    # A second failure into a file the deployment script wrote itself.
    kxe2e.write_ini(log, "[Deployment]\nJob=42\n[ResponseResult]\nResultCode=0\nNote=kept\n")
    code = kxe2e.run_setup(m.exe, "/s -show_err_msg", timeout=180)
    c.expect(code == 0, f"show_err_msg ends with 0 (got {code})")
    with open(log, "rb") as f:
        c.expect(f.read(2) == b"\xff\xfe", "a UTF-16 result file stays UTF-16")
    text = read_log(log)
    c.expect("[Deployment]\r\nJob=42\r\n" in text, "the script's own section stays")
    c.expect("[ResponseResult]\r\nResultCode=-5001\r\nNote=kept\r\n" in text,
             f"ResultCode is replaced and the section's other keys stay ({text!r})")

with kxe2e.Medium() as m:
    work = tempfile.mkdtemp(prefix="kxreport")
    try:
        chosen = os.path.join(work, "result.log")
        code = kxe2e.run_setup(m.exe, f"/s -show_err_dlg -f2{kxe2e.win_path(chosen)}",
                               timeout=180)
        c.expect(code == GENERAL_FAILURE, f"with f2 the run still ends with -5001 (got {code})")
        c.expect(os.path.exists(chosen), "f2 names where setup.log goes")
        c.expect(not os.path.exists(m.file("setup.log")), "and nothing lands beside the launcher")
        text = read_log(chosen) if os.path.exists(chosen) else ""
        c.expect("ResultCode=-5001\r\n" in text, "the chosen file holds ResultCode=-5001")

        quoted = os.path.join(work, "quoted.log")
        code = kxe2e.run_setup(m.exe, f'/s -show_err_dlg -f2"{kxe2e.win_path(quoted)}"',
                               timeout=180)
        c.expect(os.path.exists(quoted), "a quoted f2 path works as well")
    finally:
        shutil.rmtree(work, ignore_errors=True)

c.exit()
