#!/usr/bin/env python3
"""Fails when a source file sets a flag that skips certificate checks."""
import os
import re
import sys

PATTERN = re.compile(r"INTERNET_FLAG_IGNORE_CERT_\w+|SECURITY_FLAG_IGNORE_\w+|"
                     r"INTERNET_OPTION_SECURITY_FLAGS")
FOLDERS = ("base", "launcher", "prereq", "diag", "platform", "ui", "engine", "tools", "sdk")
SUFFIXES = (".h", ".hpp", ".cpp", ".c", ".rc", ".idl", ".py", ".sh")


def main(root):
    found = []
    for folder in FOLDERS:
        for base, _, names in os.walk(os.path.join(root, folder)):
            for name in names:
                if not name.endswith(SUFFIXES):
                    continue
                path = os.path.join(base, name)
                with open(path, encoding="utf-8", errors="replace") as f:
                    for number, line in enumerate(f, 1):
                        if PATTERN.search(line):
                            found.append(f"{os.path.relpath(path, root)}:{number}: {line.strip()}")
    for line in found:
        print(line)
    if not os.path.isdir(os.path.join(root, "platform")):
        print("no sources under", root)
        return 1
    return 1 if found else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
