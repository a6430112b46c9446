"""An installed product maintained through its own uninstall entry, end to
end under Wine: a payload setup.exe with the reference engine installs
silently, a run for the installed instance repairs a deleted file, and the
entry's UninstallString, run silently, removes every file, folder and value
the installation made - and nothing else in the prefix's drive_c or
uninstall keys."""
import os
import re
import shutil
import tempfile
import time

import kxe2e
import kxpayload

ENGINE_DLL = os.environ.get("KX_ENGINE_DLL", "")
GUID = "{7B2E4C91-3D5A-4F60-8E1B-9C0D2A4F6E38}"
UNINSTALL = "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall"
ENTRY = UNINSTALL + "\\" + GUID
PREFIX = os.environ.get("KX_WINEPREFIX") or os.path.join(os.environ["KX_BINARY_DIR"], "..",
                                                         "wineprefix")
DRIVE_C = os.path.join(PREFIX, "drive_c")
INSTALL = os.path.join(DRIVE_C, "Program Files", "Maintenance test")
MAINTENANCE = os.path.join(INSTALL, "_Setup", GUID)
APP = b"MZ" + bytes(range(256)) * 20


def reg(*args):
    return kxe2e.run_windows(["reg"] + list(args))


def uninstall_keys():
    """The subkeys of the machine's and the user's uninstall keys."""
    keys = set()
    for root in (UNINSTALL, UNINSTALL.replace("HKLM", "HKCU", 1)):
        _, out, _ = reg("query", root)
        keys |= {line.strip() for line in out.splitlines() if line.strip().startswith("HKEY_")}
    return keys


def value(name):
    code, out, _ = reg("query", ENTRY, "/v", name)
    for line in out.splitlines() if code == 0 else []:
        parts = line.strip().split(None, 2)
        if len(parts) == 3 and parts[0] == name:
            return parts[2]
    return None


def drive_c_files():
    """Every file and folder below drive_c, relative and lower-case."""
    found = set()
    for top, dirs, files in os.walk(DRIVE_C):
        for name in dirs + files:
            found.add(os.path.relpath(os.path.join(top, name), DRIVE_C).lower())
    return found


def settled(before, seconds=60):
    """The drive_c files once they equal `before` or `seconds` have passed:
    the launcher's copy and the in-use maintenance launcher are removed by
    command interpreters after their processes end."""
    deadline = time.time() + seconds
    now = drive_c_files()
    while now != before and time.time() < deadline:
        time.sleep(1)
        now = drive_c_files()
    return now


def run_line(line, env=None):
    """Runs a whole command line through kx_run; returns the signed exit code."""
    e = dict(env or {})
    e["KX_RUN_COMMAND"] = line
    code, out, err = kxe2e.run_windows([kxe2e.RUN_EXE], env=e)
    m = re.search(r"exit=(-?\d+)", out)
    if not m:
        raise RuntimeError(f"no exit code from kx_run ({code}): {out} {err}")
    return int(m.group(1))


def build_medium(work):
    disk1 = os.path.join(work, "medium", "Disk1")
    kxe2e.write_product(disk1, "Maintenance test", "%ProgramFiles%\\Maintenance test",
                        {"readme.txt": b"Read me.\r\n", "bin/app.exe": APP})
    kxe2e.write_ini(os.path.join(disk1, "setup.ini"),
                    f"[Startup]\nProduct=Maintenance test\nProductGUID={GUID}\nAllUsers=1\n"
                    "[Languages]\nDefault=0x0409\nSupported=0x0409\n")
    shutil.copy(os.path.join(os.environ["KX_SOURCE_DIR"], "resources", "0x0409.ini"), disk1)
    shutil.copy(ENGINE_DLL, os.path.join(disk1, "KXSetup.dll"))
    exe = os.path.join(work, "setup.exe")
    kxpayload.build(kxe2e.SETUP_EXE, os.path.join(work, "medium"), exe, "--quiet")
    return exe


def clean():
    reg("delete", ENTRY, "/f")
    shutil.rmtree(INSTALL, ignore_errors=True)


def life_cycle(c, exe, journal):
    env = {"KX_ENGINE_JOURNAL": kxe2e.win_path(journal)}
    files_before = drive_c_files()
    keys_before = uninstall_keys()

    code = kxe2e.run_setup(exe, "/s", env=env)
    c.expect(code == 0, f"the installation ends with 0 (got {code})")
    app = os.path.join(INSTALL, "bin", "app.exe")
    c.expect(os.path.isfile(app) and os.path.isfile(os.path.join(MAINTENANCE, "setup.exe")),
             "the product's files and the maintenance copy are installed")
    c.expect(sorted(os.listdir(MAINTENANCE)) ==
             ["0x0409.ini", "KXSetup.dll", "data1.hdr", "files.lst", "install.log", "setup.exe",
              "setup.ini"], f"the maintenance copy carries no cabinet ({os.listdir(MAINTENANCE)})")
    command = value("UninstallString") or ""
    c.expect(command.endswith(f'\\_Setup\\{GUID}\\setup.exe" -ig"{GUID}" -uninstall -l0x0409'),
             f"the entry starts the maintenance copy with the removal request ({command})")
    c.expect((value("LogFile") or "").lower() ==
             f"c:\\program files\\maintenance test\\_setup\\{GUID.lower()}\\install.log",
             "the entry's log lies beside the maintenance copy")

    os.remove(app)
    code = kxe2e.run_setup(exe, f"/s -ig{GUID}", env=env)
    c.expect(code == 0, f"the repair ends with 0 (got {code})")
    with open(app, "rb") as f:
        c.expect(f.read() == APP, "the repair restores the deleted file")

    code = run_line(command + " /s", env=env)
    c.expect(code == 0, f"the entry's UninstallString ends with 0 (got {code})")
    c.expect(value("DisplayName") is None, "the uninstall entry is gone")
    c.expect(uninstall_keys() == keys_before, "no other uninstall key changed")
    after = settled(files_before)
    c.expect(not os.path.exists(INSTALL), "no file or folder of the product is left")
    c.expect(after == files_before,
             f"nothing else in drive_c changed (added {sorted(after - files_before)[:10]}, "
             f"removed {sorted(files_before - after)[:10]})")
    with open(journal, encoding="utf-8") as f:
        lines = f.read().splitlines()
    removed = [line for line in lines if line.startswith("Removed ")]
    c.expect(removed == [f"Removed installguid={GUID} left=1"],
             f"the engine removed the instance, leaving its running launcher for later ({removed})")
    c.expect(not [line for line in lines if line.startswith("RecordRefused")],
             "the engine's own record is accepted whole")


def planted_record(c, exe, journal, work):
    """A record that names files outside the product: those stay."""
    code = kxe2e.run_setup(exe, "/s")
    c.expect(code == 0, f"the second installation ends with 0 (got {code})")
    outside = os.path.join(DRIVE_C, "maintenance-test-outside.txt")
    with open(outside, "wb") as f:
        f.write(b"not the product's")
    try:
        kxe2e.write_ini(os.path.join(MAINTENANCE, "files.lst"),
                        "file=..\\..\\maintenance-test-outside.txt\nfile=C:\\maintenance-test-"
                        "outside.txt\nfile=readme.txt\n")
        code = run_line((value("UninstallString") or "") + " /s",
                        env={"KX_ENGINE_JOURNAL": kxe2e.win_path(journal)})
        c.expect(code == 0, f"the removal with a planted record ends with 0 (got {code})")
        c.expect(os.path.isfile(outside), "the file outside the product folder stays")
        c.expect(not os.path.exists(os.path.join(INSTALL, "readme.txt")),
                 "the product's own file named by the record goes")
    finally:
        os.remove(outside)


c = kxe2e.Checks()
work = tempfile.mkdtemp(prefix="kxmaint")
try:
    c.expect(os.path.exists(ENGINE_DLL), f"the built engine is given ({ENGINE_DLL})")
    clean()
    exe = build_medium(work)
    life_cycle(c, exe, os.path.join(work, "journal.txt"))
    planted_record(c, exe, os.path.join(work, "journal2.txt"), work)
finally:
    clean()
    shutil.rmtree(work, ignore_errors=True)
c.exit()
