"""A setup.exe signed after the builder wrote it, as an author would sign
it: the payload still starts at the end of the image, the signature is not
taken for payload, and a one-byte change inside the payload either unpacks
exactly what the changed entries say or fails cleanly."""
import os
import random
import shutil
import subprocess
import tempfile

import kxe2e
import kxpayload

c = kxe2e.Checks()
work = tempfile.mkdtemp(prefix="kxsigned")
try:
    key, cert = os.path.join(work, "key.pem"), os.path.join(work, "cert.pem")
    subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2",
                    "-subj", "/CN=Throwaway test signer", "-keyout", key, "-out", cert],
                   check=True, capture_output=True)
    medium = os.path.join(work, "medium")
    os.makedirs(os.path.join(medium, "Disk1"))
    for name, data in {"setup.ini": b"[Startup]\r\n", "data1.cab": os.urandom(60000),
                       "notes.txt": b"notes " * 100}.items():
        with open(os.path.join(medium, "Disk1", name), "wb") as f:
            f.write(data)
    unsigned = os.path.join(work, "unsigned.exe")
    kxpayload.build(kxe2e.SETUP_EXE, medium, unsigned, "--quiet")
    exe = os.path.join(work, "setup.exe")
    subprocess.run(["osslsigncode", "sign", "-certs", cert, "-key", key, "-h", "sha256",
                    "-in", unsigned, "-out", exe], check=True, capture_output=True)
    data = open(exe, "rb").read()
    start, limit = kxpayload.layout(data)
    raw = open(unsigned, "rb").read()
    c.expect(limit < len(data) and start == kxpayload.layout(raw)[0],
             "the signature follows the payload; the payload offset is the image's end")
    c.expect(data[:start] != raw[:start] and data[start:limit].rstrip(b"\0") ==
             raw[start:].rstrip(b"\0"), "signing changed only headers and appended the signature")

    expected = {e[1]: e[3] for e in kxpayload.read_entries(data)}
    out = os.path.join(work, "all")
    code = kxe2e.run_setup(exe, f'/s -extract_all:"{kxe2e.win_path(out)}"')
    c.expect(code == 0 and kxpayload.tree(out) == expected,
             f"the signed launcher unpacks its payload exactly (exit {code})")

    # One changed byte at a time, all over the payload's entries.
    rng = random.Random(1234)
    entries_end = start + 4 + sum(len(kxpayload.entry(n, p, d, v)) for n, p, v, d in
                                  kxpayload.read_entries(data))
    offsets = [start + k for k in range(4)] + [rng.randrange(start, entries_end) for _ in range(14)]
    before = sorted(os.listdir(work) + ["case"])
    for at in offsets:
        flipped = bytearray(data)
        flipped[at] ^= 0x5A
        case = os.path.join(work, "case")
        os.makedirs(case)
        exe2 = os.path.join(case, "setup.exe")
        with open(exe2, "wb") as f:
            f.write(flipped)
        target = os.path.join(case, "out")
        code = kxe2e.run_setup(exe2, f'/s -extract_all:"{kxe2e.win_path(target)}"')
        got = {k.lower(): v for k, v in kxpayload.tree(target).items()} \
            if os.path.isdir(target) else {}
        read, error = kxpayload.read_entries_partly(bytes(flipped))
        says = {e[1].replace("/", "\\").lower(): e[3] for e in read}
        # A failed silent run leaves its report, setup.log, beside the
        # launcher; nothing else may appear outside the output folder.
        report = {"setup.log"} if code != 0 else set()
        outside = sorted(set(os.listdir(case)) - {"setup.exe", "out"} - report)
        c.expect(not outside and sorted(os.listdir(work)) == before,
                 f"byte {at - start}: nothing written beside the output ({outside})")
        if code == 0:
            c.expect(error is None and got == says,
                     f"byte {at - start}: exit 0 and exactly what the entries say")
        else:
            c.expect(all(says.get(k) == v for k, v in got.items()),
                     f"byte {at - start}: failed cleanly with {code}; every file left is "
                     f"complete ({sorted(got)})")
        shutil.rmtree(case, ignore_errors=True)
finally:
    shutil.rmtree(work, ignore_errors=True)
c.exit()
