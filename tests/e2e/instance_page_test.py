"""Two installed instances of the demo product: an interactive run shows the
instance page with both (name and folder from their uninstall entries), the
one picked there reaches the engine as the install GUID, the engine is told
that two instances exist, and the run's language becomes the one that
instance was installed in.

The entries are written directly into the prefix's registry and removed
afterwards, with everything the run installed.
"""
import os
import shutil
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(__file__))
import kxe2e  # noqa: E402
import wizard_test as wizard  # noqa: E402

LIST_PROBE = os.environ.get("KX_LIST_PROBE_EXE", "")
UNINSTALL = "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\"
FIRST = "{7A0C5B2E-1D3F-4A6B-8C9D-0E1F2A3B4C51}"
SECOND = "{7A0C5B2E-1D3F-4A6B-8C9D-0E1F2A3B4C52}"
# A program of somebody else's, without a ProductGuid value.
FOREIGN = "{7A0C5B2E-1D3F-4A6B-8C9D-0E1F2A3B4C53}"
INSTANCES = [(FIRST, "Demo first", "C:\\Demo first", "0x0409"),
             (SECOND, "Demo second", "C:\\Demo second", "0x0407")]


def reg_add(key, name, value):
    code, _, err = kxe2e.run_windows(["reg", "add", key, "/v", name, "/d", value, "/f"])
    if code != 0:
        raise RuntimeError(f"reg add {key} {name}: {err}")


def plant_instances():
    for guid, name, folder, language in INSTANCES:
        key = UNINSTALL + guid
        reg_add(key, "ProductGuid", wizard.GUID)
        reg_add(key, "DisplayName", name)
        reg_add(key, "InstallLocation", folder)
        reg_add(key, "UninstallString", f'"{folder}\\setup.exe" -l{language}')
    reg_add(UNINSTALL + FOREIGN, "DisplayName", "Somebody else's program")


def remove_instances():
    for guid in (FIRST, SECOND, FOREIGN):
        kxe2e.run_windows(["reg", "delete", UNINSTALL + guid, "/f"])
    wizard.remove_installation()


def rows():
    """[(data, name, folder, selected)] of the instance list."""
    code, out, _ = kxe2e.run_windows([LIST_PROBE, "rows", wizard.CAPTION, "1005"], timeout=120)
    found = []
    for line in out.splitlines():
        parts = line.rstrip("\r").split("\t")
        if code == 0 and len(parts) == 5:
            found.append((int(parts[1]), parts[2], parts[3], parts[4] == "1"))
    return found


def start_desktop():
    """Brings Wine's desktop process up from a call whose output nobody reads:
    started by a probe whose output is captured, it would keep that pipe
    open and the probe's call would never return."""
    subprocess.run([kxe2e.WINE_RUN, wizard.PROBE, "wait", "no window has this caption", "1"],
                   stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                   timeout=120)


def pick_the_second(c, exe, out):
    journal = os.path.join(out, "journal.txt")
    start_desktop()
    run = wizard.Run(exe, journal)
    c.expect(wizard.probe("wait", wizard.CAPTION, 60000)[0] == 0, "the wizard comes up")
    found = {}
    for _ in range(50):
        time.sleep(0.2)
        found = wizard.controls()
        if wizard.visible_text(found, 52) == "Existing Installed Instances Detected":
            break
    c.expect(wizard.visible_text(found, 52) == "Existing Installed Instances Detected",
             f"the instance page comes first: {found}")
    listed = rows()
    # Wine enumerates keys sorted, so FIRST is instance 0.
    c.expect(listed == [(0, "Demo first", "C:\\Demo first", True),
                        (1, "Demo second", "C:\\Demo second", False)],
             f"both instances are listed, the first selected: {listed}")
    second = [i for i, (_, name, _, _) in enumerate(listed) if name == "Demo second"]
    c.expect(bool(second), "the second instance has a row")
    if second:
        code, _, _ = kxe2e.run_windows([LIST_PROBE, "select", wizard.CAPTION, "1005", str(second[0])])
        c.expect(code == 0, "its row is selected")
    c.expect(wizard.probe("click", wizard.CAPTION, 1)[0] == 0, "Next is pressed")
    code = run.wait()
    lines = wizard.journal_lines(journal)
    c.expect(code == 0, f"the run completes: {code}")
    c.expect(any(line.startswith("OpenCabinet") and f"installguid={SECOND}" in line
                 for line in lines), "the engine maintains the chosen instance")
    c.expect("SetProperty name=MULTI_INSTANCE_COUNT value=2" in lines,
             "the engine hears of two instances")
    # The chosen instance was installed in German, so the language is not
    # asked for again.
    c.expect("SetLanguage scope=0 language=0x00000407" in lines,
             "the run takes the chosen instance's language")


def main():
    if not (LIST_PROBE and wizard.PROBE and wizard.ENGINE_DLL and wizard.MEDIUM_TOOL and
            os.environ.get("DISPLAY")):
        print("needs KX_LIST_PROBE_EXE, KX_WINDOW_PROBE_EXE, KX_ENGINE_DLL, KX_MEDIUM_TOOL and a "
              "DISPLAY")
        return 1
    c = kxe2e.Checks()
    work = tempfile.mkdtemp(prefix="kxinstances")
    out = tempfile.mkdtemp(prefix="kxinstancesout")
    try:
        wizard.end_runs()
        remove_instances()
        exe = wizard.build_medium(work)
        plant_instances()
        pick_the_second(c, exe, out)
    finally:
        wizard.end_runs()
        remove_instances()
        shutil.rmtree(work, ignore_errors=True)
        shutil.rmtree(out, ignore_errors=True)
    c.exit()


if __name__ == "__main__":
    sys.exit(main())
