"""A prerequisite that only the web server has, end to end under Wine: a
payload setup.exe whose definition names the package's URL and MD5 but
carries no package. A silent run downloads it from a local HTTP server
(tests/testing/http_server.py), checks it, runs it and installs the
product. The same medium with a wrong CheckSum stops with the failure:
the package never runs and the product is not installed."""
import hashlib
import os
import shutil
import sys
import tempfile
import threading
from http.server import ThreadingHTTPServer

import kxe2e
import kxpayload

sys.path.insert(0, os.path.join(os.environ["KX_SOURCE_DIR"], "tests", "testing"))
import http_server  # noqa: E402

ENGINE_DLL = os.environ.get("KX_ENGINE_DLL", "")
PROBE_EXE = os.environ.get("KX_PROBE_EXE", "")
PRODUCT_GUID = "{7C2E9A41-5B8D-4E06-9F13-2D4A6C8E0B57}"
UNINSTALL = "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + PRODUCT_GUID
CV = "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion"
RUN_ONCE_VALUE = "  KXSetupPrerequisistes"
CANCELLED = 0x80042000 - (1 << 32)

for name in ("http_proxy", "https_proxy", "HTTP_PROXY", "HTTPS_PROXY"):
    os.environ.pop(name, None)


class Server:
    def __init__(self, root, log_folder):
        self.httpd = ThreadingHTTPServer(("127.0.0.1", 0), http_server.Handler)
        self.httpd.daemon_threads = True
        self.httpd.root = root
        self.httpd.log_path = os.path.join(log_folder, "requests.jsonl")
        open(self.httpd.log_path, "w").close()
        self.port = self.httpd.server_address[1]
        self.thread = threading.Thread(target=self.httpd.serve_forever, args=(0.1,), daemon=True)
        self.thread.start()

    def requests(self, path):
        with open(self.httpd.log_path, encoding="utf-8") as f:
            return [line for line in f if path in line]

    def close(self):
        self.httpd.shutdown()
        self.httpd.server_close()


def reg(*args):
    return kxe2e.run_windows(["reg"] + list(args))


def build_medium(work, url, check_sum, probe_log):
    install = os.path.join(work, "installed")
    disk1 = os.path.join(work, "medium", "Disk1")
    os.makedirs(os.path.join(disk1, "KXSetupPrerequisites"))
    kxe2e.write_product(disk1, "Download test", kxe2e.win_path(install),
                        {"readme.txt": b"installed after a downloaded prerequisite\r\n"})
    kxe2e.write_ini(os.path.join(disk1, "setup.ini"),
                    f"[Startup]\nProduct=Download test\nProductGUID={PRODUCT_GUID}\nAllUsers=0\n"
                    "CheckMD5=N\n"
                    "[KXSetupPrerequisites]\nPreReq0=runtime.prq\n"
                    "[Languages]\nDefault=0x0409\nSupported=0x0409\n")
    run = f"--log={kxe2e.win_path(probe_log)} --exit=0"
    # No KXSetupPrerequisites\runtime\ folder: only the server has the package.
    with open(os.path.join(disk1, "KXSetupPrerequisites", "runtime.prq"), "w") as f:
        f.write('<?xml version="1.0"?>\n<SetupPrereq>'
                f'<files><file LocalFile=".\\Runtime\\probe.exe" URL="{url}" '
                f'CheckSum="{check_sum}"/></files>'
                f'<execute file="probe.exe" cmdline="{run}" cmdlinesilent="{run}"/>'
                '<properties Id="runtime"/></SetupPrereq>\n')
    shutil.copy(os.path.join(os.environ["KX_SOURCE_DIR"], "resources", "0x0409.ini"), disk1)
    shutil.copy(ENGINE_DLL, os.path.join(disk1, "KXSetup.dll"))
    exe = os.path.join(work, "setup.exe")
    kxpayload.build(kxe2e.SETUP_EXE, os.path.join(work, "medium"), exe, "--quiet")
    return exe, install


def probe_runs(path):
    if not os.path.exists(path):
        return 0
    with open(path, encoding="utf-8", errors="replace") as f:
        return sum(1 for line in f.read().splitlines() if line.startswith("cmdline="))


def clean_state():
    for name in ("%KX_PREREQ%-Download test", "%KX_PREREQM%-Download test",
                 "%KX_PREREQN%-Download test"):
        reg("delete", CV, "/v", name, "/f")
    reg("delete", CV + "\\RunOnce", "/v", RUN_ONCE_VALUE, "/f")
    reg("delete", UNINSTALL, "/f")


def scenario(c, work, server, name, check_sum, expect_install):
    folder = os.path.join(work, name)
    os.makedirs(folder)
    log = os.path.join(folder, "probe.log")
    url = f"http://127.0.0.1:{server.port}/files/probe.exe?t={name}"
    exe, install = build_medium(folder, url, check_sum, log)
    try:
        code = kxe2e.run_setup(exe, "/s")
        fetched = len(server.requests(f"t={name}"))
        c.expect(fetched >= 1, f"{name}: the package was requested from the server ({fetched})")
        installed = os.path.isfile(os.path.join(install, "readme.txt"))
        if expect_install:
            c.expect(code == 0, f"{name}: the silent run succeeds (got {code})")
            c.expect(probe_runs(log) == 1, f"{name}: the downloaded package ran once")
            c.expect(installed, f"{name}: the product was installed after it")
        else:
            c.expect(code == CANCELLED, f"{name}: the run stops with the failure (got {code})")
            c.expect(probe_runs(log) == 0, f"{name}: the mismatching package never ran")
            c.expect(not installed, f"{name}: the product was not installed")
            c.expect(fetched == 2, f"{name}: fetched once more from the start ({fetched})")
    finally:
        shutil.rmtree(install, ignore_errors=True)
        clean_state()


def main():
    c = kxe2e.Checks()
    with open(PROBE_EXE, "rb") as f:
        probe = f.read()
    work = tempfile.mkdtemp(prefix="kxprqdl")
    root = os.path.join(work, "served")
    os.makedirs(root)
    with open(os.path.join(root, "probe.exe"), "wb") as f:
        f.write(probe)
    digest = hashlib.md5(probe).hexdigest()
    wrong = hashlib.md5(probe + b"x").hexdigest()
    server = Server(root, work)
    try:
        clean_state()
        # Lower case, and setup.ini's CheckMD5=N does not switch the check off.
        scenario(c, work, server, "verified", digest.lower(), True)
        scenario(c, work, server, "mismatch", wrong.upper(), False)
    finally:
        server.close()
        shutil.rmtree(work, ignore_errors=True)
    c.exit()


if __name__ == "__main__":
    main()
