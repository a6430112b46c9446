"""Payload media for end-to-end scenarios: building them with the medium
builder, reading them back with an independent reference reader, and making
hostile ones by hand."""
import glob
import os
import shutil
import struct
import subprocess
import uuid

import kxe2e

MEDIUM_TOOL = os.environ.get("KX_MEDIUM_TOOL", "")
TAIL_RULE = 51200


def build(launcher, medium_dir, output, *options):
    """Runs the builder; returns its CompletedProcess (raises when it fails)."""
    p = subprocess.run([MEDIUM_TOOL, *options, launcher, medium_dir, output],
                       capture_output=True, text=True, timeout=600)
    if p.returncode != 0:
        raise RuntimeError(f"kxmedium failed ({p.returncode}): {p.stdout} {p.stderr}")
    return p


def layout(data):
    """(P, limit) of a launcher file: P from the headers, the limit at the
    certificate table of a signed file, else the file size."""
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    sections, = struct.unpack_from("<H", data, pe + 6)
    opt_size, = struct.unpack_from("<H", data, pe + 20)
    opt = pe + 24
    magic, = struct.unpack_from("<H", data, opt)
    dirs = opt + (112 if magic == 0x20B else 96)
    count, = struct.unpack_from("<I", data, dirs - 4)
    headers, = struct.unpack_from("<I", data, opt + 60)
    table = opt + opt_size
    raw = [struct.unpack_from("<IIII", data, table + 40 * i + 8) for i in range(sections)]
    total = headers + sum(r[2] for r in raw)
    extra = 0
    if count > 6:
        rva, size = struct.unpack_from("<II", data, dirs + 48)
        for vsize, va, rsize, ptr in raw:
            if rva and va <= rva < va + rsize:
                at = ptr + rva - va
                for i in range(size // 28):
                    dsize, = struct.unpack_from("<I", data, at + 28 * i + 16)
                    dptr, = struct.unpack_from("<I", data, at + 28 * i + 24)
                    if dptr + dsize > total:
                        extra += dsize
    limit = len(data)
    if count > 4:
        cert, cert_size = struct.unpack_from("<II", data, dirs + 32)
        if cert and cert_size:
            limit = cert
    return total + extra, limit


def text16(text):
    return text.encode("utf-16-le") + b"\0\0"


def entry(name, path, data, version="0.0.0.0", size_text=None):
    size = str(len(data)) if size_text is None else size_text
    return text16(name) + text16(path) + text16(version) + text16(size) + data


def payload(entries, count=None, padding=TAIL_RULE + 1):
    return struct.pack("<I", len(entries) if count is None else count) + b"".join(entries) + \
        b"\0" * padding


def read_entries(data):
    """The entries of a launcher file as the launcher must read them:
    [(name, path, version, bytes)], or ValueError for a broken payload."""
    entries, error = read_entries_partly(data)
    if error:
        raise ValueError(error)
    return entries


def read_entries_partly(data):
    """(the entries read before the first broken one, the reason or None)."""
    out = []
    try:
        _read(data, out)
    except (ValueError, struct.error, UnicodeDecodeError) as e:
        return out, str(e) or "broken"
    return out, None


def _read(data, out):
    start, limit = layout(data)
    at = start
    (n,) = struct.unpack_from("<I", data, at)
    at += 4

    def text(limit_chars):
        nonlocal at
        for i in range(limit_chars + 1):
            if at + 2 * i + 2 > limit:
                break
            if data[at + 2 * i:at + 2 * i + 2] == b"\0\0":
                s = data[at:at + 2 * i].decode("utf-16-le", errors="surrogatepass")
                at += 2 * i + 2
                return s
        raise ValueError("unterminated text")

    if n * 14 > limit - at:
        raise ValueError("bad count")
    for _ in range(n):
        name, path, version, size = text(259), text(259), text(259), text(14)
        if not size.isascii() or not size.isdigit():
            raise ValueError("bad size")
        size = int(size)
        if size > limit - at:
            raise ValueError("beyond limit")
        out.append((name, path, version, data[at:at + size]))
        at += size


def bare_launcher(exe):
    """The launcher's image up to P: no payload, no signature, no symbols."""
    with open(exe, "rb") as f:
        data = f.read()
    start, _ = layout(data)
    return data[:start]


def without_checksum(data):
    """A PE image with its CheckSum field zeroed: the medium's launcher copy
    carries a checksum of its own, the payload launcher one of the whole
    file, and otherwise they are the same bytes."""
    if len(data) < 0x40:
        return data
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    at = pe + 24 + 64
    if at + 4 > len(data):
        return data
    return data[:at] + b"\0\0\0\0" + data[at + 4:]


def temp_roots():
    """The Temp folders of the test prefix's users (as Linux paths)."""
    prefix = os.environ.get("KX_WINEPREFIX") or os.path.join(
        os.environ.get("KX_BINARY_DIR", "."), "..", "wineprefix")
    return glob.glob(os.path.join(prefix, "drive_c", "users", "*", "Temp"))


class Marker:
    """A unique file name put into a medium, to find the run's temporary
    folders among those of other tests."""

    def __init__(self):
        self.name = f"marker-{uuid.uuid4().hex}.txt"

    def folders(self):
        found = []
        for root in temp_roots():
            for d in glob.glob(os.path.join(root, "*")):
                if os.path.exists(os.path.join(d, "Disk1", self.name)):
                    found.append(d)
        return found

    def remove(self):
        for d in self.folders():
            shutil.rmtree(d, ignore_errors=True)


def tree(folder):
    """{relative path: bytes} of every file below folder."""
    files = {}
    for base, _, names in os.walk(folder):
        for n in names:
            p = os.path.join(base, n)
            with open(p, "rb") as f:
                files[os.path.relpath(p, folder).replace(os.sep, "\\")] = f.read()
    return files


def run_setup(exe, arguments=""):
    return kxe2e.run_setup(exe, arguments)
