"""Real launcher runs with the trace switched on, read back with the trace
reader (kxtrace, built for this host), and the clean-up they leave behind:
the relaunched copy's folder removed after it exits, "no_deleter" keeping
everything, a launcher started by hand from a folder of the user's keeping
everything, and a launcher in its own temporary folder removing that folder
once nothing uses it any more.

Sets HKEY_CURRENT_USER\\kxlogit while it runs (an existing key is saved and
put back) and must run alone: any launcher started meanwhile would trace.
"""
import glob
import os
import re
import shutil
import subprocess
import tempfile
import time

import kxe2e

READER = os.environ.get("KX_TRACE_READER", "")
PROBE = os.environ.get("KX_PROBE_EXE", "")
PREFIX = os.environ.get("KX_WINEPREFIX") or os.path.join(
    os.environ.get("KX_BINARY_DIR", ""), "..", "wineprefix")
SWITCH = "HKCU\\kxlogit"
HEADER_RECORDS = 7


def reg(*args):
    code, out, err = kxe2e.run_windows(["reg"] + list(args))
    return code


def host_path(windows_path):
    """The Linux path of a Windows path in the test prefix."""
    drive, rest = windows_path[0].lower(), windows_path[2:].replace("\\", "/")
    if drive == "z":
        return rest
    return os.path.join(PREFIX, "drive_" + drive) + rest


def user_desktop():
    code, out, _ = kxe2e.run_windows(["cmd", "/c", "echo %USERPROFILE%"])
    profile = out.strip().splitlines()[-1].strip()
    return os.path.realpath(host_path(profile + "\\Desktop"))


class Switch:
    """HKCU\\kxlogit for the scenario; what was there before comes back."""

    def __init__(self):
        self.saved = os.path.join(tempfile.mkdtemp(prefix="kxswitch"), "kxlogit.reg")
        self.had_key = reg("export", SWITCH, kxe2e.win_path(self.saved), "/y") == 0 and \
            os.path.exists(self.saved)

    def set(self, file_name_path=None):
        reg("delete", SWITCH, "/f")
        if file_name_path is None:
            assert reg("add", SWITCH, "/f") == 0
        else:
            assert reg("add", SWITCH, "/v", "FileNamePath", "/d", file_name_path, "/f") == 0

    def restore(self):
        reg("delete", SWITCH, "/f")
        if self.had_key:
            reg("import", kxe2e.win_path(self.saved))
        shutil.rmtree(os.path.dirname(self.saved), ignore_errors=True)


def unescape(text):
    out = bytearray()
    i = 0
    raw = text.encode("latin-1")
    while i < len(raw):
        c = raw[i:i + 1]
        if c != b"\\":
            out += c
            i += 1
            continue
        e = raw[i + 1:i + 2]
        if e == b"x":
            out.append(int(raw[i + 2:i + 4], 16))
            i += 4
        else:
            out += {b"\\": b"\\", b"r": b"\r", b"n": b"\n", b"t": b"\t"}[e]
            i += 2
    return out.decode("cp1252")


def read_records(path):
    """The record texts of a trace file, through kxtrace --records."""
    p = subprocess.run([READER, "--records", path], capture_output=True)
    assert p.returncode == 0, f"kxtrace failed ({p.returncode}): {p.stderr!r}"
    records = []
    for line in p.stdout.decode("latin-1").split("\n")[:-1]:
        offset, length, text = line.split("\t", 2)
        records.append(unescape(text))
        assert int(length) == len(records[-1].encode("cp1252")), line
    return records


def events(records):
    """(category|sub-category, details) pairs of the records after the header."""
    body = records[HEADER_RECORDS:]
    return [(body[i], body[i + 1]) for i in range(0, len(body) - 1, 2)]


def wait_gone(path, seconds=30):
    for _ in range(seconds * 10):
        if not os.path.exists(path):
            return True
        time.sleep(0.1)
    return False


def check_header(c, records, exe):
    c.expect(len(records) > HEADER_RECORDS, f"more than the header ({len(records)} records)")
    if len(records) <= HEADER_RECORDS:
        return
    c.expect(records[0] == "FormatVersion=00000112\r\n\r\n", f"format version: {records[0]!r}")
    c.expect(re.fullmatch(r"[^\r\n]+\r\n\r\n", records[1]) is not None, "notice line")
    c.expect(re.fullmatch(r"TraceStarted: \d\d/\d\d/\d{4} \d\d:\d\d:\d\d\r\n", records[2])
             is not None, f"start time: {records[2]!r}")
    c.expect(records[3] == f"SetupExe: {exe}\r\n", f"program: {records[3]!r}")
    c.expect(re.fullmatch(r"SetupExeVersion: \d+\.\d+\.\d+\.\d+\r\n", records[4]) is not None and
             records[4] != "SetupExeVersion: 0.0.0.0\r\n", f"version: {records[4]!r}")
    c.expect(records[5:7] == ["\r\nTraceData:\r\n", "Category|SubCategory|Details\r\n"],
             "column line")
    pairs = events(records)
    c.expect(all(re.fullmatch(r"[^|\r\n]+\|[^|\r\n]+\|", k) and d.endswith("\r\n") and
                 "\r" not in d[:-2] and "\n" not in d[:-2] for k, d in pairs) and
             (len(records) - HEADER_RECORDS) % 2 == 0,
             "every event is a category record and one details line")


def relaunch_scenario(c, switch):
    """The launcher relaunches itself from a temporary folder; both processes
    trace into the one file named by FileNamePath; the copy's folder goes."""
    out = tempfile.mkdtemp(prefix="kxtraceout")
    trace = os.path.join(out, "trace.bin")
    try:
        with kxe2e.Medium() as m:
            switch.set(kxe2e.win_path(trace))
            code = kxe2e.run_setup(m.exe, "/s")
            reg("delete", SWITCH, "/f")
            print(f"exit code {code}")
            records = read_records(trace)
            check_header(c, records, kxe2e.win_path(m.exe))
            c.expect(records.count("FormatVersion=00000112\r\n\r\n") == 1,
                     "the second process appends without a header")
            pairs = events(records)
            starts = [d for k, d in pairs if k == "KXSetupInit|EXEProcessBegin|"]
            c.expect(len(starts) == 2, f"two process starts: {starts}")
            if len(starts) != 2:
                return
            c.expect(starts[0] == f"EXE={kxe2e.win_path(m.exe)}\r\n", f"first: {starts[0]!r}")
            copy_exe = starts[1][len("EXE="):-2]
            run_folder = copy_exe[:copy_exe.rfind("\\") + 1]
            c.expect(re.fullmatch(r"C:\\users\\[^\\]+\\Temp\\[^\\]+\\setup\.exe", copy_exe,
                                  re.IGNORECASE) is not None, f"the copy runs from {copy_exe}")
            # The first process copies setup.ini from the medium, then itself.
            ini_source = kxe2e.win_path(m.file("setup.ini"))
            ini_target = run_folder + "setup.ini"
            c.expect(("KXSetupDLLOp|CopyDisk1FileToTempBegin|",
                      f"SourceFile={ini_source}\tTargetFile={ini_target}\r\n") in pairs,
                     "the copy of setup.ini is traced before it starts")
            size = os.path.getsize(m.file("setup.ini"))
            c.expect(("KXSetupDLLOp|CopyDisk1FileToTempEnd|",
                      f"Result=Success\tCopied={size}\tSourceFile={ini_source}\t"
                      f"TargetFile={ini_target}\r\n") in pairs,
                     "and its end with the bytes copied")
            copy_part = pairs[[d for k, d in pairs].index(starts[1]):]
            c.expect(("KXSetupDLLOp|DeleterDeleteFolder|", f"Folder={run_folder}\r\n") in copy_part,
                     "the copy's deleter names its temporary folder")
            folder = host_path(run_folder)
            c.expect(wait_gone(folder), f"the copy's folder {folder} is gone after it exited")
            shutil.rmtree(folder, ignore_errors=True)

            # The reader's plain output is the text as written.
            plain = subprocess.run([READER, trace], capture_output=True)
            c.expect(plain.returncode == 0 and
                     f"KXSetupInit|EXEProcessBegin|EXE={copy_exe}\r\n".encode() in plain.stdout,
                     "kxtrace prints the events as lines")
            damaged_file_scenario(c, trace, len(records))
    finally:
        shutil.rmtree(out, ignore_errors=True)


def run_from_temp_scenario(c, switch):
    """With "runfromtemp" the first launcher keeps its temporary folder and
    the copy removes it itself: not its deleter (the folder is not one the
    copy made) but the self-delete of the whole folder once the copy has
    exited."""
    out = tempfile.mkdtemp(prefix="kxtraceout")
    trace = os.path.join(out, "trace.bin")
    try:
        with kxe2e.Medium() as m:
            switch.set(kxe2e.win_path(trace))
            code = kxe2e.run_setup(m.exe, "/s -runfromtemp -clone_wait")
            reg("delete", SWITCH, "/f")
            print(f"exit code {code}")
            pairs = events(read_records(trace))
            starts = [i for i, (k, d) in enumerate(pairs) if k == "KXSetupInit|EXEProcessBegin|"]
            c.expect(len(starts) == 2, f"two process starts: {starts}")
            if len(starts) != 2:
                return
            first, copy = pairs[:starts[1]], pairs[starts[1]:]
            c.expect(not any(k.startswith("KXSetupDLLOp|Deleter") for k, d in first),
                     "the first launcher keeps the folder for its copy")
            copy_exe = copy[0][1][len("EXE="):-2]
            run_folder = copy_exe[:copy_exe.rfind("\\") + 1]
            c.expect(("KXSetupDLLOp|DeleterDeleteFolder|", f"Folder={run_folder}\r\n") not in copy,
                     "the copy's deleter leaves the folder it was given alone")
            folder = host_path(run_folder)
            c.expect(wait_gone(folder), f"the copy's folder {folder} went after the copy exited")
            shutil.rmtree(folder, ignore_errors=True)
            c.expect(os.path.exists(m.exe) and os.path.exists(m.file("setup.ini")),
                     "the medium the first launcher ran from stays")
    finally:
        shutil.rmtree(out, ignore_errors=True)


def no_deleter_scenario(c, switch):
    """Without FileNamePath each process writes setuptrace<pid>.bin on the
    desktop; with "no_deleter" nothing is deleted and the deleter is silent."""
    desktop = user_desktop()
    before = set(glob.glob(os.path.join(desktop, "setuptrace*.bin")))
    new = []
    try:
        with kxe2e.Medium() as m:
            switch.set(None)
            code = kxe2e.run_setup(m.exe, "/s -no_deleter")
            reg("delete", SWITCH, "/f")
            print(f"exit code {code}")
            new = sorted(set(glob.glob(os.path.join(desktop, "setuptrace*.bin"))) - before)
            c.expect(len(new) == 2, f"one desktop trace file per process: {new}")
            exes = []
            for path in new:
                c.expect(re.fullmatch(r"setuptrace\d+\.bin", os.path.basename(path)) is not None,
                         f"default name {os.path.basename(path)}")
                records = read_records(path)
                c.expect(len(records) > HEADER_RECORDS and
                         records[0] == "FormatVersion=00000112\r\n\r\n", f"{path} has a header")
                pairs = events(records)
                exes += [d[len("EXE="):-2] for k, d in pairs if k == "KXSetupInit|EXEProcessBegin|"]
                c.expect(not any(k.startswith("KXSetupDLLOp|Deleter") for k, d in pairs),
                         f"no deleter events in {os.path.basename(path)}")
            copies = [e for e in exes if e.lower() != kxe2e.win_path(m.exe).lower()]
            c.expect(len(copies) == 1, f"the copy's start is traced: {exes}")
            for copy_exe in copies:
                folder = host_path(copy_exe[:copy_exe.rfind("\\")])
                time.sleep(2)
                c.expect(os.path.exists(host_path(copy_exe)), "the copy stays with no_deleter")
                shutil.rmtree(folder, ignore_errors=True)
    finally:
        for path in new:
            os.remove(path)


def started_by_hand_scenario(c, switch):
    """Started by hand from a folder of the user's with the internal
    "tempdisk1folder:" switch: that folder is not the run's, so nothing of
    it goes, not even the program (the medium's own setup.exe)."""
    temp = tempfile.mkdtemp(prefix="kxruntemp")
    try:
        with kxe2e.Medium() as m:
            mine = m.file("mine.txt")
            with open(mine, "w") as f:
                f.write("the user's own file")
            code = kxe2e.run_setup(m.exe, f'/s -tempdisk1folder:"{kxe2e.win_path(temp)}"')
            print(f"exit code {code}")
            time.sleep(3)
            c.expect(os.path.exists(m.exe), "the medium's program stays after it exited")
            c.expect(os.path.exists(mine) and os.path.exists(m.file("setup.ini")),
                     "the folder it was started from and its other files stay")
            left = os.listdir(temp) if os.path.isdir(temp) else None
            c.expect(left == [], f"the folder it was given stays, with nothing left in it ({left})")
    finally:
        shutil.rmtree(temp, ignore_errors=True)


def user_temp():
    code, out, _ = kxe2e.run_windows(["cmd", "/c", "echo %TEMP%"])
    return out.strip().splitlines()[-1].strip()


def self_delete_waits_scenario(c):
    """A launcher running from its own folder below the user's temporary
    folder removes that folder after it exited, even while something in it
    is still in use for a while after the launcher has ended."""
    name = f"kxselfdel{os.getpid()}"
    folder_win = user_temp() + "\\" + name
    folder = host_path(folder_win)
    work = tempfile.mkdtemp(prefix="kxholder")
    log, release = os.path.join(work, "holder.log"), os.path.join(work, "release")
    holder = None
    try:
        os.makedirs(folder)
        shutil.copy(kxe2e.SETUP_EXE, os.path.join(folder, "setup.exe"))
        kxe2e.write_ini(os.path.join(folder, "setup.ini"), kxe2e.DEFAULT_INI)
        # A program that runs from the folder until it is told to end, so
        # the folder cannot go before then.
        shutil.copy(PROBE, os.path.join(folder, "holder.exe"))
        holder = subprocess.Popen([kxe2e.WINE_RUN, folder_win + "\\holder.exe",
                                   f"--log={kxe2e.win_path(log)}",
                                   f"--wait-for={kxe2e.win_path(release)}"],
                                  stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                  stderr=subprocess.DEVNULL)
        for _ in range(600):
            if os.path.exists(log) and b"end" in open(log, "rb").read():
                break
            time.sleep(0.05)
        c.expect(os.path.exists(log), "the program holding the folder started")
        # Started by its C: name: the Z: name of the same file lies outside
        # the user's temporary folder. The output goes to a file, not a pipe:
        # the interpreter of the self-delete would hold a pipe open, and the
        # run would not return before the interpreter ended.
        env = dict(os.environ)
        env["KX_RUN_COMMAND"] = f'"{folder_win}\\setup.exe" /s -tempdisk1folder:"{folder_win}"'
        output = os.path.join(work, "run.out")
        with open(output, "wb") as out:
            subprocess.run([kxe2e.WINE_RUN, kxe2e.RUN_EXE], env=env, stdout=out,
                           stderr=subprocess.DEVNULL, stdin=subprocess.DEVNULL, timeout=300)
        print(open(output, errors="replace").read().strip())
        time.sleep(3)
        c.expect(os.path.isdir(folder), "the folder stays while it is in use after the launcher ended")
        open(release, "w").close()
        holder.wait(timeout=60)
        c.expect(wait_gone(folder), f"its folder {folder} is gone once nothing uses it")
    finally:
        if holder is not None and holder.poll() is None:
            open(release, "w").close()
            holder.wait(timeout=60)
        shutil.rmtree(folder, ignore_errors=True)
        shutil.rmtree(work, ignore_errors=True)


def damaged_file_scenario(c, trace, count):
    """kxtrace reports a damaged file after printing what came before."""
    with open(trace, "rb") as f:
        data = f.read()
    broken = trace + ".cut"
    with open(broken, "wb") as f:
        f.write(data[:-3])
    p = subprocess.run([READER, "--records", broken], capture_output=True)
    c.expect(p.returncode == 2 and b"damaged at offset" in p.stderr,
             f"a cut file is reported ({p.returncode}, {p.stderr!r})")
    c.expect(p.stdout.count(b"\n") == count - 1, "the records before the damage are printed")
    with open(broken, "wb") as f:
        f.write(b"\x00\x00\x01\x00" + b"x" * 70000)
    p = subprocess.run([READER, broken], capture_output=True)
    c.expect(p.returncode == 2 and b"more than the 16384" in p.stderr,
             f"an impossible length is reported ({p.stderr!r})")
    p = subprocess.run([READER, trace + ".missing"], capture_output=True)
    c.expect(p.returncode == 1, "a missing file is an error")


c = kxe2e.Checks()
if not READER or not os.path.exists(READER):
    raise SystemExit(f"the trace reader is missing: {READER!r}")
switch = Switch()
try:
    relaunch_scenario(c, switch)
    run_from_temp_scenario(c, switch)
    no_deleter_scenario(c, switch)
    started_by_hand_scenario(c, switch)
    self_delete_waits_scenario(c)
finally:
    switch.restore()
c.exit()
