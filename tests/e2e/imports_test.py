"""The deliverable imports only system DLLs: nothing from MinGW's runtime, and
none of the libraries that are bound on first use from the system folder (a
DLL of that name planted beside setup.exe would otherwise be loaded)."""
import os
import re
import subprocess
import sys

exe = sys.argv[1]
dump = subprocess.run([os.environ.get("KX_OBJDUMP", "objdump"), "-p", exe],
                      capture_output=True, text=True, check=True).stdout
dlls = sorted(set(m.lower() for m in re.findall(r"DLL Name: (\S+)", dump)))
print("imports:", ", ".join(dlls))
bad = [d for d in dlls if re.match(r"(libgcc|libstdc\+\+|libwinpthread|mingw)", d)]
if "file format pei-i386" not in dump:
    print("not a 32-bit image")
    sys.exit(1)
if bad:
    print("MinGW runtime DLLs imported:", bad)
    sys.exit(1)
late = [d for d in dlls if d in ("version.dll", "psapi.dll", "lz32.dll", "msi.dll", "wininet.dll",
                                      "uxtheme.dll", "bcrypt.dll", "gdiplus.dll")]
if late:
    print("libraries bound on first use are imported:", late)
    sys.exit(1)
