"""Helpers for end-to-end scenarios: run Windows programs under the test prefix."""
import os
import re
import shutil
import subprocess
import tempfile

SETUP_EXE = os.environ.get("KX_SETUP_EXE", "")
RUN_EXE = os.environ.get("KX_RUN_EXE", "")
WINE_RUN = os.environ.get("KX_WINE_RUN", "")


def win_path(path):
    """The Windows name of a Linux path (Wine maps Z: to /)."""
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def run_windows(args, timeout=300, env=None):
    """Runs a Windows program under Wine; returns (exit code, stdout, stderr).

    Wine passes only the low 8 bits of an exit code to Linux: use run_setup
    for the whole code.
    """
    e = dict(os.environ)
    if env:
        e.update(env)
    p = subprocess.run([WINE_RUN] + list(args), capture_output=True, timeout=timeout, env=e,
                       stdin=subprocess.DEVNULL)
    return p.returncode, p.stdout.decode(errors="replace"), p.stderr.decode(errors="replace")


def run_setup(exe, arguments="", timeout=300, env=None):
    """Runs a launcher with a command-line text; returns its whole signed exit code."""
    line = f'"{win_path(exe)}"' + (" " + arguments if arguments else "")
    e = dict(env or {})
    e["KX_RUN_COMMAND"] = line
    code, out, err = run_windows([RUN_EXE], timeout=timeout, env=e)
    m = re.search(r"exit=(-?\d+)", out)
    if not m:
        raise RuntimeError(f"no exit code from kx_run ({code}): {out} {err}")
    return int(m.group(1))


def write_ini(path, text):
    """Writes an INI file as the media builder does: UTF-16LE with a BOM, CRLF."""
    with open(path, "wb") as f:
        f.write(b"\xff\xfe" + text.replace("\r\n", "\n").replace("\n", "\r\n").encode("utf-16-le"))


def write_product(disk1, name, install_dir, files, with_cabinet=True):
    """The engine's half of a medium in `disk1` (made if missing): data1.cab
    holding `files` ({path with "/": bytes}, packed by gcab from a scratch
    folder outside the medium; none without `with_cabinet`) and data1.hdr
    naming the product, its install folder and the files in that order."""
    os.makedirs(disk1, exist_ok=True)
    if with_cabinet:
        src = tempfile.mkdtemp(prefix="kxproduct")
        try:
            for path, data in files.items():
                os.makedirs(os.path.join(src, os.path.dirname(path)), exist_ok=True)
                with open(os.path.join(src, path), "wb") as f:
                    f.write(data)
            subprocess.run(["gcab", "-c", "-z", os.path.join(disk1, "data1.cab"), *files],
                           cwd=src, check=True, capture_output=True)
        finally:
            shutil.rmtree(src, ignore_errors=True)
    listing = "".join(f"File{i}={p.replace('/', chr(92))}\n" for i, p in enumerate(files, 1))
    write_ini(os.path.join(disk1, "data1.hdr"),
              f"[Product]\nName={name}\nInstallDir={install_dir}\n[Files]\n{listing}")


DEFAULT_INI = "[Startup]\nProduct=Test product\nProductGUID={6F1D3F8E-0B7A-4C55-9E21-3A5B7C9D0E11}\n"


class Medium:
    """A medium folder holding a copy of setup.exe and its setup.ini (none
    when `ini` is None); removed on exit."""

    def __init__(self, ini=DEFAULT_INI):
        self.dir = tempfile.mkdtemp(prefix="kxmedium")
        self.exe = os.path.join(self.dir, "setup.exe")
        shutil.copy(SETUP_EXE, self.exe)
        if ini is not None:
            write_ini(self.file("setup.ini"), ini)

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        shutil.rmtree(self.dir, ignore_errors=True)

    def file(self, name):
        return os.path.join(self.dir, name)


class Checks:
    """Collects failed expectations so a scenario reports all of them."""

    def __init__(self):
        self.failures = []

    def expect(self, cond, what):
        print(("ok   " if cond else "FAIL ") + what)
        if not cond:
            self.failures.append(what)

    def exit(self):
        raise SystemExit(1 if self.failures else 0)
