"""The medium builder, native and as a Windows program under Wine: the same
medium gives the same setup.exe byte for byte; --help, progress on large
media, refusals that leave nothing behind."""
import os
import shutil
import subprocess
import tempfile

import kxe2e
import kxpayload

WINDOWS_TOOL = os.environ.get("KX_MEDIUM_TOOL_EXE", "")

c = kxe2e.Checks()
work = tempfile.mkdtemp(prefix="kxbuilder")
try:
    p = subprocess.run([kxpayload.MEDIUM_TOOL, "--help"], capture_output=True, text=True)
    c.expect(p.returncode == 0 and "Usage: kxmedium" in p.stdout and "--compress" in p.stdout,
             "--help shows the usage and ends with 0")
    p = subprocess.run([kxpayload.MEDIUM_TOOL, "--bogus", "a", "b", "c"], capture_output=True,
                       text=True)
    c.expect(p.returncode == 2 and "unknown option" in p.stderr, "an unknown option ends with 2")

    medium = os.path.join(work, "medium")
    os.makedirs(os.path.join(medium, "Disk1", "sub"))
    for rel, data in {"setup.ini": b"[Startup]\r\n", "data1.cab": os.urandom(80000),
                      "sub/Notes.txt": b"notes\r\n" * 3000}.items():
        with open(os.path.join(medium, "Disk1", rel), "wb") as f:
            f.write(data)
    native = os.path.join(work, "native.exe")
    kxpayload.build(kxe2e.SETUP_EXE, medium, native, "--quiet", "--compress",
                    "Disk1\\sub\\Notes.txt")

    code, out, err = kxe2e.run_windows([WINDOWS_TOOL, "--quiet", "--compress",
                                        "Disk1\\sub\\Notes.txt", kxe2e.win_path(kxe2e.SETUP_EXE),
                                        kxe2e.win_path(medium),
                                        kxe2e.win_path(os.path.join(work, "windows.exe"))])
    windows = os.path.join(work, "windows.exe")
    c.expect(code == 0 and os.path.exists(windows), f"the Windows build writes a medium ({err})")
    if os.path.exists(windows):
        c.expect(open(windows, "rb").read() == open(native, "rb").read(),
                 "both builds write the same bytes")

    # Refusals: exit 1, a message naming the entry, no output file.
    order = os.path.join(work, "order.txt")
    for line in ("..\\outside.txt", "Disk1\\con.txt", "Disk1\\a.txt:stream", "C:\\x.txt"):
        with open(order, "w") as f:
            f.write(line + "\n")
        out_exe = os.path.join(work, "refused.exe")
        p = subprocess.run([kxpayload.MEDIUM_TOOL, "--order", order, kxe2e.SETUP_EXE, medium,
                            out_exe], capture_output=True, text=True)
        c.expect(p.returncode == 1 and "refused" in p.stderr and not os.path.exists(out_exe),
                 f"{line!r} is refused without output ({p.stderr.strip()})")

    # Progress on a large medium (a sparse file keeps the test quick).
    big = os.path.join(work, "big")
    os.makedirs(os.path.join(big, "Disk1"))
    with open(os.path.join(big, "Disk1", "big.bin"), "wb") as f:
        f.truncate(80 << 20)
    big_exe = os.path.join(work, "big.exe")
    p = kxpayload.build(kxe2e.SETUP_EXE, big, big_exe)
    lines = [ln for ln in p.stderr.splitlines() if ln.startswith("kxmedium: ")]
    c.expect(len(lines) >= 10 and lines[-1].startswith("kxmedium: 100%"),
             f"progress is shown in steps up to 100% ({len(lines)} lines)")
    c.expect("Disk1\\big.bin" in p.stdout and "wrote" in p.stdout, "a summary lists the entries")
finally:
    shutil.rmtree(work, ignore_errors=True)
c.exit()
