"""A payload setup.exe built with the medium builder, under Wine: it unpacks
into a private temporary folder, relaunches its unpacked copy from there,
the copy runs the install path, and the first process passes the copy's exit
code on. "-extract_all:" unpacks everything and keeps it."""
import os
import shutil
import tempfile

import kxe2e
import kxpayload

# The medium carries no loadable engine: the copy fails loading it, so the
# whole run ends with the engine-DLL code, which the first process hands on.
ENGINE_DLL_FAILED = -5003

c = kxe2e.Checks()
work = tempfile.mkdtemp(prefix="kxpayload")
marker = kxpayload.Marker()
try:
    medium = os.path.join(work, "medium")
    disk1 = os.path.join(medium, "Disk1")
    os.makedirs(disk1)
    kxe2e.write_ini(os.path.join(disk1, "setup.ini"),
                    "[Startup]\nProductName=Payload test\n[Languages]\nDefault=0x0409\n"
                    "Supported=0x0409\n")
    kxe2e.write_ini(os.path.join(disk1, "0x0409.ini"), "[Strings]\n")
    files = {
        marker.name: b"marker",
        "KXSetup.dll": b"this is no DLL",
        "data1.cab": os.urandom(70000),
        "data2.cab": os.urandom(30000),
        "readme.txt": b"read me\r\n" * 5000,
    }
    for name, data in files.items():
        with open(os.path.join(disk1, name), "wb") as f:
            f.write(data)
    exe = os.path.join(work, "setup.exe")
    kxpayload.build(kxe2e.SETUP_EXE, medium, exe, "--quiet", "--compress", "Disk1\\readme.txt")
    entries = {e[1]: e for e in kxpayload.read_entries(open(exe, "rb").read())}
    c.expect(entries["Disk1\\readme.txt"][0] == "readme.tx_", "readme.txt is stored compressed")

    # -extract_all: every file, expanded, kept; exit 0.
    out = os.path.join(work, "all")
    code = kxe2e.run_setup(exe, f'/s -extract_all:"{kxe2e.win_path(out)}"')
    c.expect(code == 0, f"extract_all ends with 0 (got {code})")
    tree = kxpayload.tree(out)
    expected = dict(kxpayload.tree(medium))
    expected["Disk1\\setup.exe"] = kxpayload.without_checksum(kxpayload.bare_launcher(exe))
    if "Disk1\\setup.exe" in tree:
        tree["Disk1\\setup.exe"] = kxpayload.without_checksum(tree["Disk1\\setup.exe"])
    c.expect(tree == expected,
             f"extract_all unpacks every file exactly (extra or wrong: "
             f"{sorted(k for k in tree if tree.get(k) != expected.get(k))}, "
             f"missing: {sorted(set(expected) - set(tree))})")
    c.expect(not marker.folders(), "extract_all makes no temporary folder")

    # A folder too deep for the LZ expansion: the run fails and says why,
    # rather than leaving readme.tx_ behind as if all were well.
    deep = os.path.join(work, "d" * 130)
    code = kxe2e.run_setup(exe, f'/s -extract_all:"{kxe2e.win_path(deep)}"')
    c.expect(code == -5001, f"a file that cannot be expanded ends with -5001 (got {code})")
    c.expect(not os.path.exists(os.path.join(deep, "Disk1", "readme.tx_")),
             "the compressed file is not left behind")
    log = os.path.join(work, "setup.log")
    raw = open(log, "rb").read() if os.path.exists(log) else b""
    text = raw.decode("utf-16") if raw[:2] == b"\xff\xfe" else raw.decode("cp1252")
    c.expect("could not expand its compressed file " in text and "readme.txt" in text,
             f"setup.log names the file that could not be expanded ({text!r})")
    if os.path.exists(log):
        os.remove(log)

    # The normal run: unpack, relaunch, the copy's exit code comes back.
    code = kxe2e.run_setup(exe, "/s -no_deleter")
    c.expect(code == ENGINE_DLL_FAILED, f"the first process returns the copy's code (got {code})")
    found = marker.folders()
    c.expect(len(found) == 1, f"one temporary folder holds the medium ({found})")
    if found:
        t = kxpayload.tree(found[0])
        c.expect(t.get("Disk1\\data1.cab") == files["data1.cab"], "data1.cab is unpacked")
        c.expect("Disk1\\data2.cab" not in t, "data2.cab is left to the engine")
        c.expect(t.get("Disk1\\readme.txt") == files["readme.txt"]
                 and "Disk1\\readme.tx_" not in t, "the compressed entry is expanded")
        c.expect(kxpayload.without_checksum(t.get("setup.exe", b""))
                 == kxpayload.without_checksum(kxpayload.bare_launcher(exe)),
                 "the unpacked launcher was copied to the temporary folder and started there")
        c.expect("setup.ini" in t and t.get("KXSetup.dll") == files["KXSetup.dll"],
                 "the copy ran the install path (setup.ini and the engine copied)")
    marker.remove()

    # Started as install.exe, the unpacked launcher takes that name.
    install = os.path.join(work, "install.exe")
    shutil.copy(exe, install)
    code = kxe2e.run_setup(install, "/s -no_deleter")
    c.expect(code == ENGINE_DLL_FAILED, f"install.exe runs the same way (got {code})")
    found = marker.folders()
    if found:
        t = kxpayload.tree(found[0])
        c.expect("Disk1\\install.exe" in t and "Disk1\\setup.exe" not in t,
                 "the unpacked setup.exe was renamed install.exe")
        c.expect("install.exe" in t, "install.exe was copied to the temporary folder")
    else:
        c.expect(False, "install.exe left its temporary folder")
    marker.remove()

    # Without "no_deleter" nothing stays: the copy removes what it made, the
    # first process the unpacked medium, the copy and the folder.
    code = kxe2e.run_setup(exe, "/s")
    c.expect(code == ENGINE_DLL_FAILED, f"a run that cleans up ends the same way (got {code})")
    c.expect(not marker.folders(), f"the temporary medium is gone ({marker.folders()})")
finally:
    marker.remove()
    shutil.rmtree(work, ignore_errors=True)
c.exit()
