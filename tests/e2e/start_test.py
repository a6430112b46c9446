"""setup.exe starts under Wine and ends with exit code 0 when it has nothing to do."""
import sys

import kxe2e

code, out, err = kxe2e.run_windows([kxe2e.SETUP_EXE])
if code != 0:
    print(f"setup.exe exited with {code}\n{out}\n{err}")
    sys.exit(1)
print("ok")
