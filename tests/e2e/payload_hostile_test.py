"""Hostile and broken payloads under Wine: nothing is written outside the
destination, no short file is left, the run ends with the failure code (not
0, not even with -extract_all:), and a launcher whose tail is 50 KB or less
does not take its tail for a payload."""
import os
import shutil
import tempfile
import uuid

import kxe2e
import kxpayload

FAILED = -5001
ENGINE_DLL_FAILED = -5003

c = kxe2e.Checks()
work = tempfile.mkdtemp(prefix="kxhostile")
image = kxpayload.bare_launcher(kxe2e.SETUP_EXE)
evil = f"evil-{uuid.uuid4().hex}.txt"
prefix_c = os.path.join(os.path.dirname(kxpayload.temp_roots()[0]), "..", "..") \
    if kxpayload.temp_roots() else work
places = [work, "/", os.path.abspath(prefix_c), os.path.dirname(work)]


def evil_anywhere(case):
    hits = [p for p in places + [case] if os.path.exists(os.path.join(p, evil))]
    for base, _, names in os.walk(case):
        hits += [os.path.join(base, n) for n in names if n.startswith("evil")]
    return hits


good = kxpayload.entry("good.txt", "Disk1\\good.txt", b"good " * 100)
hostile = {
    "parent folder": kxpayload.entry(evil, "..\\" + evil, b"x"),
    "forward slashes": kxpayload.entry(evil, "Disk1/../../" + evil, b"x"),
    "root of the drive": kxpayload.entry(evil, "\\" + evil, b"x"),
    "drive letter": kxpayload.entry(evil, "C:\\" + evil, b"x"),
    "separator in the name": kxpayload.entry("..\\..\\" + evil, "Disk1\\" + evil, b"x"),
    "alternate data stream": kxpayload.entry("good.txt:" + evil, "Disk1\\good.txt:" + evil,
                                             b"x"),
    "device name": kxpayload.entry("CON", "Disk1\\CON", b"x"),
    "size not a number": kxpayload.entry(evil, "Disk1\\" + evil, b"xx", size_text="2x"),
    "size beyond the file": kxpayload.entry(evil, "Disk1\\" + evil, b"xx",
                                            size_text="99999999"),
    "unterminated name": "x".encode("utf-16-le") * 300,
}

try:
    for what, bad in hostile.items():
        case = os.path.join(work, "case")
        os.makedirs(case)
        exe = os.path.join(case, "setup.exe")
        padding = 0 if what == "size beyond the file" else kxpayload.TAIL_RULE + 1
        body = kxpayload.payload([good, bad], padding=padding)
        if what == "size beyond the file":
            body += b"\x01" * (kxpayload.TAIL_RULE + 1)
        with open(exe, "wb") as f:
            f.write(image + body)
        out = os.path.join(case, "out")
        code = kxe2e.run_setup(exe, f'/s -extract_all:"{kxe2e.win_path(out)}"')
        c.expect(code == FAILED, f"{what}: extract_all fails with {FAILED} (got {code})")
        t = kxpayload.tree(out) if os.path.isdir(out) else {}
        c.expect(t == {"Disk1\\good.txt": b"good " * 100},
                 f"{what}: the entry before is kept whole, nothing else written ({sorted(t)})")
        c.expect(not evil_anywhere(case), f"{what}: nothing outside ({evil_anywhere(case)})")
        shutil.rmtree(case, ignore_errors=True)

    # A count that the data cannot hold, and a normal run of a broken payload.
    case = os.path.join(work, "case")
    os.makedirs(case)
    exe = os.path.join(case, "setup.exe")
    with open(exe, "wb") as f:
        f.write(image + kxpayload.payload([good], count=0x7FFFFFFF))
    out = os.path.join(case, "out")
    code = kxe2e.run_setup(exe, f'/s -extract_all:"{kxe2e.win_path(out)}"')
    c.expect(code == FAILED and not kxpayload.tree(out) if os.path.isdir(out) else code == FAILED,
             f"a count beyond the data fails before writing anything (got {code})")
    marker = kxpayload.Marker()
    with open(exe, "wb") as f:
        f.write(image + kxpayload.payload([kxpayload.entry(marker.name, "Disk1\\" + marker.name,
                                                            b"m"), hostile["parent folder"]]))
    code = kxe2e.run_setup(exe, "/s -no_deleter")
    c.expect(code == FAILED, f"a normal run of a hostile payload fails (got {code})")
    c.expect(all(not os.path.exists(os.path.join(f, "setup.exe")) for f in marker.folders()),
             "and relaunches nothing")
    c.expect(not evil_anywhere(case), "and writes nothing outside")
    marker.remove()
    shutil.rmtree(case, ignore_errors=True)

    # The 51200-byte rule, seen from a whole run: a launcher beside its
    # medium with a short tail runs the relaunch path (and fails only at the
    # engine); with one byte more the tail is taken for a broken payload.
    for tail, expected in ((kxpayload.TAIL_RULE, ENGINE_DLL_FAILED),
                           (kxpayload.TAIL_RULE + 1, FAILED)):
        m = os.path.join(work, "m")
        os.makedirs(m)
        with open(os.path.join(m, "setup.exe"), "wb") as f:
            f.write(image + b"\xee" * tail)
        kxe2e.write_ini(os.path.join(m, "setup.ini"), "[Languages]\nSupported=0x0409\n")
        kxe2e.write_ini(os.path.join(m, "0x0409.ini"), "[Strings]\n")
        with open(os.path.join(m, "KXSetup.dll"), "wb") as f:
            f.write(b"no DLL")
        code = kxe2e.run_setup(os.path.join(m, "setup.exe"), "/s")
        c.expect(code == expected, f"a tail of {tail} bytes ends with {expected} (got {code})")
        shutil.rmtree(m, ignore_errors=True)
finally:
    shutil.rmtree(work, ignore_errors=True)
c.exit()
