"""The launcher's run end to end under Wine: a launcher beside its medium
relaunches itself from a temporary folder, and the copy's exit code follows
the run's rules (failure codes, custom return codes, the single-instance
lock, the start delay)."""
import os
import subprocess
import tempfile
import time

import kxe2e

PROBE = os.environ.get("KX_PROBE_EXE", "")
GUID = "{6F1D3F8E-0B7A-4C55-9E21-3A5B7C9D0E11}"
GENERAL_FAILURE = -5001
ENGINE_DLL_FAILED = -5003


def medium(extra_startup="", engine=True):
    """A medium whose engine DLL cannot be loaded: the install path ends
    with the engine-DLL code unless something stops it first."""
    m = kxe2e.Medium(kxe2e.DEFAULT_INI + extra_startup)
    if engine:
        with open(m.file("KXSetup.dll"), "wb") as f:
            f.write(b"this is no DLL")
    return m


c = kxe2e.Checks()

with kxe2e.Medium(ini=None) as m:
    code = kxe2e.run_setup(m.exe, "/s")
    c.expect(code == GENERAL_FAILURE, f"a medium without setup.ini fails with -5001 (got {code})")

with medium(engine=False) as m:
    code = kxe2e.run_setup(m.exe, "/s")
    c.expect(code == ENGINE_DLL_FAILED,
             f"a medium without KXSetup.dll ends with the engine-DLL code (got {code})")

with medium() as m:
    code = kxe2e.run_setup(m.exe, "/s")
    c.expect(code == ENGINE_DLL_FAILED, f"an engine that does not load ends with -5003 (got {code})")
    code = kxe2e.run_setup(m.exe, "/s -show_err_dlg")
    c.expect(code == GENERAL_FAILURE, f"show_err_dlg ends with -5001 (got {code})")
    code = kxe2e.run_setup(m.exe, "/s -show_err_msg")
    c.expect(code == 0, f"show_err_msg reports and ends with 0 (got {code})")

with medium("CustomRetCode=Y\nCustomRetCodeOnFail=1603\nCustomRetCodeOnSuccess=7\n") as m:
    code = kxe2e.run_setup(m.exe, "/s -show_err_dlg")
    c.expect(code == 1603, f"CustomRetCodeOnFail replaces the failure code (got {code})")
    code = kxe2e.run_setup(m.exe, "/s")
    c.expect(code == 1603, f"and the engine-DLL failure code (got {code})")

with medium("CustomRetCode=Y\nCustomRetCodeOnSuccess=7\n") as m:
    code = kxe2e.run_setup(m.exe, "/s -show_err_dlg")
    c.expect(code == GENERAL_FAILURE,
             f"without CustomRetCodeOnFail the launcher's own code stays (got {code})")

with medium() as m:
    code = kxe2e.run_setup(m.exe, "/s -cmdline_is_ignored_when_unknown")
    c.expect(code == ENGINE_DLL_FAILED, f"unknown switches pass on to the engine (got {code})")

# A second launcher of the same product while the first holds the lock.
work = tempfile.mkdtemp(prefix="kxspine")
log = os.path.join(work, "holder.log")
release = os.path.join(work, "release")
holder = subprocess.Popen([kxe2e.WINE_RUN, PROBE, f"--mutex={GUID}",
                           f"--log={kxe2e.win_path(log)}",
                           f"--wait-for={kxe2e.win_path(release)}"],
                          stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                          stderr=subprocess.DEVNULL)
try:
    for _ in range(600):
        if os.path.exists(log) and b"end" in open(log, "rb").read():
            break
        time.sleep(0.05)
    c.expect(os.path.exists(log), "the lock holder started")
    with medium() as m:
        code = kxe2e.run_setup(m.exe, "/s")
        c.expect(code == 0, f"a second launcher of the product ends with 0 (got {code})")
finally:
    open(release, "w").close()
    holder.wait(timeout=60)
    for name in (log, release):
        if os.path.exists(name):
            os.remove(name)
    os.rmdir(work)

with medium() as m:
    started = time.monotonic()
    code = kxe2e.run_setup(m.exe, "/s")
    plain = time.monotonic() - started
    c.expect(code == ENGINE_DLL_FAILED, f"the lock is free again once its holder ended (got {code})")

    # Only the launcher that was started waits: the copy it relaunches must
    # not wait a second time.
    started = time.monotonic()
    code = kxe2e.run_setup(m.exe, "/s -delayedstart:4")
    elapsed = time.monotonic() - started
    c.expect(code == ENGINE_DLL_FAILED and 4.0 <= elapsed < plain + 4.0 + 2.5,
             f"delayedstart:4 waits four seconds, once (got {code} after {elapsed:.1f} s; "
             f"{plain:.1f} s without the switch)")

c.exit()
