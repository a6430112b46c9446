"""Helpers for end-to-end scenarios: run Windows programs under the test prefix."""
import os
import subprocess

SETUP_EXE = os.environ.get("KX_SETUP_EXE", "")
WINE_RUN = os.environ.get("KX_WINE_RUN", "")


def run_windows(args, timeout=300, env=None):
    """Runs a Windows program under Wine; returns (exit code, stdout, stderr).

    Wine passes only the low 8 bits of an exit code to Linux; scenarios that
    need the full code read it from a file the program or a probe writes.
    """
    e = dict(os.environ)
    if env:
        e.update(env)
    p = subprocess.run([WINE_RUN] + list(args), capture_output=True, timeout=timeout, env=e,
                       stdin=subprocess.DEVNULL)
    return p.returncode, p.stdout.decode(errors="replace"), p.stderr.decode(errors="replace")
