"""The prerequisite phase of silent runs, end to end under Wine: a payload
setup.exe with the reference engine and a [KXSetupPrerequisites] list. One
medium carries a prerequisite that is already present and one installed by
an MSI built with wixl; another carries a package that asks for a reboot,
after which the RunOnce entry is run as Explorer would run it at logon. The
registry values, the MSI and the installed product are removed afterwards."""
import os
import shutil
import subprocess
import tempfile

import kxe2e
import kxpayload

ENGINE_DLL = os.environ.get("KX_ENGINE_DLL", "")
PROBE_EXE = os.environ.get("KX_PROBE_EXE", "")
PRODUCT_GUID = "{5A0C7B21-3E9F-4D18-8C42-1B6E9F0A7D35}"
MSI_CODE = "{8E2F4A61-7C3B-4B90-A1D5-6F0E9C2B4A17}"
UNINSTALL = "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + PRODUCT_GUID
RUNTIME_KEY = "HKCU\\Software\\KxE2ERuntime"
PRESENT_KEY = "HKCU\\Software\\KxE2EPresent"
CV = "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion"
RUN_ONCE_VALUE = "  KXSetupPrerequisistes"
CANCELLED = 0x80042000 - (1 << 32)

WXS = f"""<?xml version="1.0"?>
<Wix xmlns="http://schemas.microsoft.com/wix/2006/wi">
  <Product Id="{MSI_CODE}" Name="KxE2E Runtime" Language="1033" Version="1.0.0"
           Manufacturer="KxTest" UpgradeCode="{{2B7D9E14-6A3C-4F85-9B01-D4E8C6A2F039}}">
    <Package InstallerVersion="200" Compressed="yes" InstallScope="perMachine"/>
    <Media Id="1" Cabinet="r.cab" EmbedCab="yes"/>
    <Directory Id="TARGETDIR" Name="SourceDir">
      <Component Id="Reg" Guid="{{9C4E1A73-2D6B-4E08-B5F3-7A1C0D9E2B64}}">
        <RegistryValue Root="HKCU" Key="Software\\KxE2ERuntime" Name="Installed"
                       Type="integer" Value="1" KeyPath="yes"/>
      </Component>
    </Directory>
    <Feature Id="Main" Level="1"><ComponentRef Id="Reg"/></Feature>
  </Product>
</Wix>
"""


def reg(*args):
    return kxe2e.run_windows(["reg"] + list(args))


def reg_value(key, name):
    code, out, _ = reg("query", key, "/v", name)
    if code != 0:
        return None
    for line in out.splitlines():
        if name.strip() and line.strip().startswith(name.strip()):
            parts = line.split("REG_SZ", 1)
            return parts[1].strip() if len(parts) == 2 else ""
    return None


def prq(conditions, execute, ident, package):
    return (f'<?xml version="1.0"?>\n<SetupPrereq>{conditions}'
            f'<files><file LocalFile="{package}"/></files>{execute}'
            f'<properties Id="{ident}"/></SetupPrereq>\n')


def missing(key):
    path = "HKEY_CURRENT_USER\\" + key.split("\\", 1)[1]
    return f'<conditions><condition Type="1" Comparison="2" Path="{path}"/></conditions>'


class PrereqMedium:
    """A payload setup.exe with the engine and the given definitions:
    {name: (prq text, id, package file name, package bytes)}."""

    def __init__(self, work, names, definitions):
        self.work = work
        self.install = os.path.join(work, "installed")
        disk1 = os.path.join(work, "medium", "Disk1")
        os.makedirs(os.path.join(disk1, "KXSetupPrerequisites"))
        kxe2e.write_product(disk1, "Prerequisite test", kxe2e.win_path(self.install),
                            {"readme.txt": b"prerequisites first\r\n"})
        listing = "".join(f"PreReq{i}={n}\n" for i, n in enumerate(names))
        kxe2e.write_ini(os.path.join(disk1, "setup.ini"),
                        f"[Startup]\nProduct=Prereq test\nProductGUID={PRODUCT_GUID}\nAllUsers=0\n"
                        f"[KXSetupPrerequisites]\n{listing}"
                        "[Languages]\nDefault=0x0409\nSupported=0x0409\n")
        for name, (text, ident, package, data) in definitions.items():
            folder = os.path.join(disk1, "KXSetupPrerequisites", ident)
            os.makedirs(folder, exist_ok=True)
            with open(os.path.join(folder, package), "wb") as f:
                f.write(data)
            with open(os.path.join(disk1, "KXSetupPrerequisites", name), "w") as f:
                f.write(text)
        shutil.copy(os.path.join(os.environ["KX_SOURCE_DIR"], "resources", "0x0409.ini"), disk1)
        shutil.copy(ENGINE_DLL, os.path.join(disk1, "KXSetup.dll"))
        self.exe = os.path.join(work, "setup.exe")
        kxpayload.build(kxe2e.SETUP_EXE, os.path.join(work, "medium"), self.exe, "--quiet")

    def installed(self):
        return os.path.isfile(os.path.join(self.install, "readme.txt"))

    def clean(self):
        reg("delete", UNINSTALL, "/f")
        shutil.rmtree(self.install, ignore_errors=True)


def build_msi(work):
    wxs = os.path.join(work, "runtime.wxs")
    msi = os.path.join(work, "runtime.msi")
    with open(wxs, "w") as f:
        f.write(WXS)
    subprocess.run(["wixl", "-o", msi, wxs], check=True, capture_output=True)
    with open(msi, "rb") as f:
        return f.read()


def probe_log(path):
    if not os.path.exists(path):
        return []
    with open(path, encoding="utf-8", errors="replace") as f:
        # One record per run, each with one "cmdline=" line.
        return [line for line in f.read().splitlines() if line.startswith("cmdline=")]


def probe_definition(log, code, extra=""):
    run = f'--log={kxe2e.win_path(log)} --exit={code}'
    return f'<execute file="probe.exe" cmdline="{run}" cmdlinesilent="{run}" {extra}/>'


def clean_state():
    for name in ("%KX_PREREQ%-Prereq test", "%KX_PREREQM%-Prereq test",
                 "%KX_PREREQN%-Prereq test"):
        reg("delete", CV, "/v", name, "/f")
    reg("delete", CV + "\\RunOnce", "/v", RUN_ONCE_VALUE, "/f")


def missing_one_installed(c, work, probe):
    present_log = os.path.join(work, "present.log")
    definitions = {
        "present.prq": (prq(missing(PRESENT_KEY), probe_definition(present_log, 0), "present",
                            "probe.exe"), "present", "probe.exe", probe),
        "runtime.prq": (prq(missing(RUNTIME_KEY),
                            '<execute file="runtime.msi" cmdline="/qn" cmdlinesilent="/qn"/>',
                            "runtime", "runtime.msi"), "runtime", "runtime.msi",
                        build_msi(work)),
    }
    m = PrereqMedium(os.path.join(work, "a"), ["present.prq", "runtime.prq"], definitions)
    try:
        reg("add", PRESENT_KEY, "/f")
        code = kxe2e.run_setup(m.exe, "/s")
        c.expect(code == 0, f"the silent run succeeds (got {code})")
        c.expect(not probe_log(present_log), "the package already present is not run")
        c.expect(reg("query", RUNTIME_KEY, "/v", "Installed")[0] == 0,
                 "the MSI of the missing prerequisite was installed")
        c.expect(m.installed(), "the product was installed after the prerequisites")
        c.expect(reg_value(CV, "%KX_PREREQ%-Prereq test") is None, "no resume state is left")
    finally:
        m.clean()
        kxe2e.run_windows(["msiexec", "/x", MSI_CODE, "/qn"])
        reg("delete", RUNTIME_KEY, "/f")
        reg("delete", PRESENT_KEY, "/f")


def reboot_and_resume(c, work, probe):
    first_log = os.path.join(work, "first.log")
    second_log = os.path.join(work, "second.log")
    definitions = {
        "first.prq": (prq("", probe_definition(first_log, 3010, 'returncodetoreboot="3010"'),
                          "first", "probe.exe"), "first", "probe.exe", probe),
        "second.prq": (prq("", probe_definition(second_log, 0), "second", "probe.exe"), "second",
                       "probe.exe", probe),
    }
    m = PrereqMedium(os.path.join(work, "b"), ["first.prq", "second.prq"], definitions)
    try:
        code = kxe2e.run_setup(m.exe, "/s")
        c.expect(code == CANCELLED, f"the run stops for the reboot (got {code})")
        c.expect(len(probe_log(first_log)) == 1 and not probe_log(second_log),
                 "only the package that asked for the reboot ran")
        c.expect(not m.installed(), "the product waits for the reboot")
        c.expect(reg_value(CV, "%KX_PREREQ%-Prereq test") == "0", "the resume index is saved")
        command = reg_value(CV + "\\RunOnce", RUN_ONCE_VALUE)
        c.expect(bool(command), f"the RunOnce entry is written ({command})")
        if not command:
            return
        # Logon: Explorer deletes the entry, then runs its command.
        reg("delete", CV + "\\RunOnce", "/v", RUN_ONCE_VALUE, "/f")
        code, out, err = kxe2e.run_windows([kxe2e.RUN_EXE], env={"KX_RUN_COMMAND": command})
        c.expect("exit=0" in out, f"the resumed run succeeds ({out.strip()} {err[-300:]})")
        c.expect(len(probe_log(first_log)) == 1, "the package before the reboot is not run again")
        c.expect(len(probe_log(second_log)) == 1, "the next package runs after the reboot")
        c.expect(m.installed(), "the product is installed after the resume")
        c.expect(reg_value(CV, "%KX_PREREQ%-Prereq test") is None and
                 reg_value(CV + "\\RunOnce", RUN_ONCE_VALUE) is None,
                 "no resume state is left behind")
    finally:
        m.clean()
        clean_state()


def main():
    c = kxe2e.Checks()
    with open(PROBE_EXE, "rb") as f:
        probe = f.read()
    work = tempfile.mkdtemp(prefix="kxprereq")
    try:
        clean_state()
        missing_one_installed(c, work, probe)
        reboot_and_resume(c, work, probe)
    finally:
        shutil.rmtree(work, ignore_errors=True)
    c.exit()


if __name__ == "__main__":
    main()
