"""The launcher hosting the reference engine, end to end under Wine: a
payload setup.exe carrying KXSetup.dll, a data1.hdr and a data1.cab made
with gcab. The engine's journal shows the launcher's calls and their
arguments; the engine's test switches choose failures, result codes and the
disk space it needs. Installed files and uninstall entries are removed
afterwards."""
import os
import re
import shutil
import subprocess
import tempfile

import kxe2e
import kxpayload

ENGINE_DLL = os.environ.get("KX_ENGINE_DLL", "")
PRODUCT_GUID = "{3C1B9E77-2F4D-4A8B-9D61-7E5A0C2B4F18}"
UNINSTALL = "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + PRODUCT_GUID
TYPELIB = "HKCU\\Software\\Classes\\TypeLib\\{F809AAEF-11D2-4190-B695-5EF61F33EC0C}"
TRACE_SWITCH = "HKCU\\kxlogit"
TRACE_READER = os.environ.get("KX_TRACE_READER", "")
APP = bytes(range(256)) * 40
README = b"Read me first.\r\n"
ENGINE_SETUP_FAILED = -5006
ADMIN_INSTALLED = 0x80042002 - (1 << 32)

# The launcher's calls on a normal start, in order (QueryInterface lines
# name the interface asked for).
NORMAL_CALLS = [
    "InstallEngineTypelib noengine=0",
    "DllGetClassObject", "CreateInstance iid=IKxEngine",
    "QueryInterface object=Engine iid=IKxEngine",
    "OpenCabinet",
    "SetLanguage scope=0 language=0x00000000",
    "SetLanguage scope=0 language=0x00000409",
    "QueryInterface object=Cabinet iid=IKxFileOperations",
    "SetPlatformFlags flags=0x00000000",
    "SetPlatformFlags flags=0x00000800",
    "GetMedia",
    "GetComponent name=<Support>",
    "SetMode component=<Support> mode=2",
    "Prepare component=<Support>",
    "GetSize component=<Support>",
    "QueryInterface object=Engine iid=IKxPropertyProvider",
    "QueryService service=IKxProperties iid=IKxProperties",
    "QueryInterface object=Engine iid=IKxProperties",
    "GetProperty name=SUPPORTDIR",
    "GetComponent name=<Support>\\Engine\\Log",
    "SetHost component=<Support>\\Engine\\Log host=set",
    "SetMode component=<Support> mode=0",
    "Start flags=0",
    "SetMode component=<Support> mode=0",
    "SetMode component=<Support> mode=2",
    "SetProperty name=ENGINECOMMONDIR", "MarkProperty name=ENGINECOMMONDIR flags=1",
    "SetProperty name=ENGINEDIR", "MarkProperty name=ENGINEDIR flags=1",
    "SetProperty name=MULTI_INSTANCE_COUNT value=0",
    "MarkProperty name=MULTI_INSTANCE_COUNT flags=1",
    "SetProperty name=SHOW_PASSWORD_DIALOG value=0",
    "MarkProperty name=SHOW_PASSWORD_DIALOG flags=1",
    "SetHost component=<Support> host=set",
    "SetLanguage scope=0 language=0xffffffff",
    "ApplyFlags set=0x00000000 clear=0x00000000 target=-1",
    "QueryInterface object=Engine iid=IKxPropertyProvider",
    "QueryInterface object=Engine iid=IKxSetupInfo",
    "SetIniPath", "SetArguments", "GetValue id=3",
    "GetRunner",
    "Run",
    "QueryInterface object=Engine iid=IKxPropertyProvider",
    "QueryService service=IKxProperties iid=IKxProperties",
    "QueryInterface object=Engine iid=IKxProperties",
    "GetRestartNeeded",
    "Finish component=<Support> host=set",
    "GetResultCode",
    "RemoveEngineTypelib",
]


def reg(*args):
    return kxe2e.run_windows(["reg"] + list(args))[0]


class EngineMedium:
    """A payload setup.exe with the reference engine; the install folder and
    the journal live in the same scratch folder."""

    def __init__(self, work, ini_extra=""):
        self.work = work
        self.install = os.path.join(work, "installed")
        self.journal = os.path.join(work, "journal.txt")
        disk1 = os.path.join(work, "medium", "Disk1")
        kxe2e.write_product(disk1, "Engine test application", kxe2e.win_path(self.install),
                            {"readme.txt": README, "bin/app.exe": APP})
        kxe2e.write_ini(os.path.join(disk1, "setup.ini"),
                        f"[Startup]\nProduct=Engine test\nProductGUID={PRODUCT_GUID}\n"
                        f"AllUsers=0\n{ini_extra}[Languages]\nDefault=0x0409\nSupported=0x0409\n")
        shutil.copy(os.path.join(os.environ["KX_SOURCE_DIR"], "resources", "0x0409.ini"), disk1)
        shutil.copy(ENGINE_DLL, os.path.join(disk1, "KXSetup.dll"))
        self.exe = os.path.join(work, "setup.exe")
        kxpayload.build(kxe2e.SETUP_EXE, os.path.join(work, "medium"), self.exe, "--quiet")

    def run(self, arguments="/s", **switches):
        """Runs the launcher with the engine's switches (KX_ENGINE_*); returns
        (exit code, journal lines)."""
        for stale in (self.journal, os.path.join(self.work, "setup.log")):
            if os.path.exists(stale):
                os.remove(stale)
        env = {"KX_ENGINE_JOURNAL": kxe2e.win_path(self.journal)}
        for name in ("FAIL", "RESULT", "RESTART", "SIZE"):
            env["KX_ENGINE_" + name] = str(switches.get(name.lower(), ""))
        code = kxe2e.run_setup(self.exe, arguments, env=env)
        lines = []
        if os.path.exists(self.journal):
            with open(self.journal, encoding="utf-8") as f:
                lines = f.read().splitlines()
        return code, lines

    def take_result_file(self):
        """The text of the setup.log that a failed silent run left beside
        setup.exe ("" without one); the file is removed."""
        log = os.path.join(self.work, "setup.log")
        if not os.path.exists(log):
            return ""
        with open(log, "rb") as f:
            raw = f.read()
        os.remove(log)
        return raw.decode("utf-16") if raw[:2] == b"\xff\xfe" else raw.decode("latin-1")

    def installed(self):
        return kxpayload.tree(self.install) if os.path.isdir(self.install) else {}

    def clean(self):
        reg("delete", UNINSTALL, "/f")
        shutil.rmtree(self.install, ignore_errors=True)


def first_difference(lines, expected):
    """None when each journal line starts with the expected text, else the
    first line that does not (with what was expected there)."""
    for i in range(max(len(lines), len(expected))):
        line = lines[i] if i < len(lines) else "<end>"
        want = expected[i] if i < len(expected) else "<end>"
        if not (line == want or line.startswith(want + " ")):
            return f"line {i + 1}: {line!r}, expected {want!r}"
    return None


def arg(lines, call, name):
    for line in lines:
        if line.split(" ", 1)[0] == call:
            for part in line.split(" ")[1:]:
                if part.startswith(name + "="):
                    return part[len(name) + 1:]
    return None


def uninstall_value(name):
    code, out, _ = kxe2e.run_windows(["reg", "query", UNINSTALL, "/v", name])
    if code != 0:
        return None
    for line in out.splitlines():
        parts = line.strip().split(None, 2)
        if len(parts) >= 2 and parts[0] == name:
            return parts[2] if len(parts) == 3 else ""
    return None


def normal_run(c, m):
    code, lines = m.run("/s")
    c.expect(code == 0, f"a normal run ends with the engine's result 0 (got {code})")
    difference = first_difference(lines, NORMAL_CALLS)
    c.expect(difference is None, f"the journal shows the normal call sequence ({difference})")
    header = arg(lines, "OpenCabinet", "header") or ""
    c.expect(header.lower().endswith("\\disk1\\data1.hdr"), f"the header path ({header})")
    c.expect(arg(lines, "OpenCabinet", "launcher") == "setup.exe", "the launcher's file name")
    c.expect(arg(lines, "OpenCabinet", "installguid") == "" and
             arg(lines, "OpenCabinet", "webcache") == "" and
             arg(lines, "OpenCabinet", "password") == "", "no install GUID, web cache or password")
    temp = header.rsplit("\\", 2)[0]
    c.expect(arg(lines, "SetProperty", "value") == temp,
             f"ENGINECOMMONDIR is the temporary folder without its backslash ({temp})")
    c.expect(arg(lines, "SetIniPath", "path") == temp + "\\setup.ini", "the setup.ini path")
    text = [line for line in lines if line.startswith("SetArguments ")]
    c.expect(text and text[0].endswith(" -sel_lang0409") and "-package:" in text[0],
             f"the argument text ends with the language ({text})")
    files = m.installed()
    c.expect(files.get("readme.txt") == README and files.get("bin\\app.exe") == APP,
             f"the files are installed ({sorted(files)})")
    c.expect(uninstall_value("DisplayName") == "Engine test application",
             "the uninstall entry names the product")
    c.expect((uninstall_value("UninstallString") or "").endswith("-l0x0409"),
             "the uninstall string carries the language")
    c.expect(reg("query", TYPELIB) != 0, "the engine's type library is removed at the end")


def resume_run(c, m):
    """After a restart the installation of the normal run completes: a file
    it lacks is put back."""
    os.remove(os.path.join(m.install, "bin", "app.exe"))
    code, lines = m.run("/s -reboot")
    calls = [line.split(" ")[0] for line in lines if not line.startswith("QueryInterface")]
    c.expect(code == 0, f"a resumed run ends with 0 (got {code})")
    c.expect(calls == ["InstallEngineTypelib", "DllGetClassObject", "CreateInstance",
                       "SetIniPath", "SetArguments", "GetValue", "OpenCabinet",
                       "SetLanguage", "SetLanguage", "SetPlatformFlags", "SetPlatformFlags",
                       "GetMedia", "GetComponent", "SetMode", "Prepare", "GetSize", "QueryService",
                       "GetProperty", "GetComponent", "SetHost", "SetMode", "Start", "SetMode",
                       "SetMode"] + ["SetProperty", "MarkProperty"] * 4 +
             ["SetHost", "SetLanguage", "ApplyFlags", "GetRunner", "Complete", "QueryService",
              "GetRestartNeeded", "Finish", "GetResultCode", "RemoveEngineTypelib"],
             "the resume sequence: arguments before the cabinet, Complete instead of Run:\n  "
             + "\n  ".join(lines))
    c.expect(m.installed().get("bin\\app.exe") == APP, "the resumed run puts the file back")


def failures(c, m):
    cases = [
        ("InstallEngineTypelib", -5003), ("DllGetClassObject", -5004),
        ("CreateInstance", -5004), ("OpenCabinet", -5005), ("SetPlatformFlags", -5006),
        ("GetComponent", -5006), ("GetSize", -5006), ("SetProperty", -5006),
        ("ApplyFlags", -5006), ("SetArguments", -5008), ("GetValue", -5008),
        ("GetRunner", -5009), ("Run", -5011), ("GetRestartNeeded", -5012), ("Finish", -5012),
    ]
    for call, want in cases:
        code, lines = m.run("/s", fail=f"{call}:0x80070005")
        c.expect(code == want, f"a failing {call} ends with {want} (got {code})")
        c.expect(lines and lines[-1] == "RemoveEngineTypelib",
                 f"after a failing {call} the type library is removed last")
        c.expect(not m.installed(), f"a failing {call} leaves nothing installed")
        c.expect(f"ResultCode={want}\r\n" in m.take_result_file(),
                 f"the silent run's setup.log reports {want} for a failing {call}")
        m.clean()
    # A failing run: the driver hears of the abort, the runner completes it.
    code, lines = m.run("/s", fail="Run:0x80004005")
    calls = [line.split(" ")[0] for line in lines]
    c.expect("Abort" in calls and "CompleteAborted" in calls and
             calls.index("Run") < calls.index("Abort") < calls.index("CompleteAborted"),
             f"the abort path after a failing run ({calls[-6:]})")
    m.clean()


def results(c, m):
    code, _ = m.run("/s", result=3010)
    c.expect(code == 3010, f"the engine's result becomes the exit code (got {code})")
    m.clean()
    code, _ = m.run("/s", size=1 << 60)
    c.expect(code == ENGINE_SETUP_FAILED,
             f"not enough disk space ends with the engine set-up's -5006 (got {code})")
    c.expect(not m.installed(), "nothing is installed without the space")
    text = m.take_result_file()
    c.expect("ResultCode=-5006\r\n" in text, "setup.log reports -5006")
    found = re.search(r"not enough space .* at least (\d+) KB on your Z: drive", text)
    shortfall = int(found.group(1)) if found else 0
    c.expect((1 << 50) - (1 << 40) < shortfall <= 1 << 50,
             f"setup.log carries the disk-space message with the shortfall ({shortfall} KB)")


def privilege_refusal(c, m):
    """A user who may not maintain the product: the engine never runs, and
    the exit code and setup.log say so to the deployment script."""
    code, lines = m.run("/s -show_err_msg_invalid_identity")
    c.expect(code == ADMIN_INSTALLED, f"the privilege refusal ends with 0x80042002 (got {code})")
    c.expect("OpenCabinet" not in [line.split(" ")[0] for line in lines],
             f"the engine is not started ({lines})")
    c.expect(not m.installed(), "nothing is installed")
    c.expect(f"ResultCode={ADMIN_INSTALLED}\r\n" in m.take_result_file(),
             f"the silent run's setup.log reports {ADMIN_INSTALLED}")


def read_trace(path):
    """The record texts of a trace file, through the trace reader."""
    p = subprocess.run([TRACE_READER, "--records", path], capture_output=True)
    if p.returncode != 0:
        return []
    return [line.split("\t", 2)[2] for line in p.stdout.decode("latin-1").split("\n")[:-1]]


def restart(c, m):
    """An installation that asks for a restart: the launcher finishes with
    EngineState 100, as its trace tells (HKCU\\kxlogit is set meanwhile; a key
    that was there comes back)."""
    saved = os.path.join(m.work, "kxlogit.reg")
    had_key = reg("export", TRACE_SWITCH, kxe2e.win_path(saved), "/y") == 0
    trace = os.path.join(m.work, "trace.bin")
    try:
        reg("delete", TRACE_SWITCH, "/f")
        reg("add", TRACE_SWITCH, "/v", "FileNamePath", "/d", kxe2e.win_path(trace), "/f")
        code, lines = m.run("/s", restart=1)
    finally:
        reg("delete", TRACE_SWITCH, "/f")
        if had_key:
            reg("import", kxe2e.win_path(saved))
    c.expect(code == 0, f"a run that asks for a restart ends with 0 (got {code})")
    calls = [line.split(" ")[0] for line in lines]
    c.expect("GetRestartNeeded" in calls and "Finish" in calls and
             calls.index("GetRestartNeeded") < calls.index("Finish"),
             "the restart flag is read before the finish")
    records = read_trace(trace)
    finish = [records[i + 1] for i in range(len(records) - 1)
              if records[i] == "KXSetupDLLOp|EngineFinish|"]
    # The reader escapes the line end of each details record.
    c.expect(finish == ["EngineState=100\\r\\n"], f"the finish traces EngineState=100 ({finish})")
    opened = [records[i + 1] for i in range(len(records) - 1)
              if records[i] == "KXSetupDLLOp|OpenCABEnd|"]
    c.expect(len(opened) == 1 and opened[0].startswith("Result=Success\\t"),
             f"the cabinet opening is traced ({opened})")


def custom_codes(c, work):
    m = EngineMedium(os.path.join(work, "custom"),
                     "CustomRetCode=Y\nCustomRetCodeOnSuccess=77\nCustomRetCodeOnFail=1603\n")
    try:
        code, _ = m.run("/s")
        c.expect(code == 77, f"result 0 becomes CustomRetCodeOnSuccess (got {code})")
        m.clean()
        code, _ = m.run("/s", result=5)
        c.expect(code == 5, f"a non-zero result stays (got {code})")
        m.clean()
        code, _ = m.run("/s", fail="Run:0x80070005")
        c.expect(code == 1603, f"a failing run ends with CustomRetCodeOnFail (got {code})")
        code, _ = m.run("/s -show_err_msg_invalid_identity")
        c.expect(code == 1603, f"so does the privilege refusal (got {code})")
    finally:
        m.clean()


c = kxe2e.Checks()
work = tempfile.mkdtemp(prefix="kxengine")
medium = None
try:
    c.expect(os.path.exists(ENGINE_DLL), f"the built engine is given ({ENGINE_DLL})")
    medium = EngineMedium(os.path.join(work, "plain"))
    normal_run(c, medium)
    resume_run(c, medium)
    medium.clean()
    failures(c, medium)
    results(c, medium)
    privilege_refusal(c, medium)
    restart(c, medium)
    medium.clean()
    custom_codes(c, work)
finally:
    if medium:
        medium.clean()
    shutil.rmtree(work, ignore_errors=True)
c.exit()
