#!/usr/bin/env python3
"""Writes the sample English language file resources/0x0409.ini from the
built-in string table (resources/strings_en.rc with the ids of
resources/resource_ids.h), so that media builders start from the same texts
the launcher carries. The file is UTF-16LE with a byte-order mark and CRLF
line ends, as the launcher's INI reader expects of a medium's files.

Usage: tools/make_language_file.py [OUTPUT]   (default resources/0x0409.ini)
"""
import pathlib
import re
import sys

ROOT = pathlib.Path(__file__).resolve().parent.parent
RESOURCES = ROOT / "resources"
LANGUAGE = 0x0409

# The display names of the languages media commonly carry, in English; the
# language dialog lists a medium's languages under these names.
LANGUAGE_NAMES = [
    (0x0401, "Arabic"), (0x0402, "Bulgarian"), (0x0403, "Catalan"),
    (0x0404, "Chinese (Traditional)"), (0x0405, "Czech"), (0x0406, "Danish"),
    (0x0407, "German"), (0x0408, "Greek"), (0x0409, "English"),
    (0x040a, "Spanish"), (0x040b, "Finnish"), (0x040c, "French"),
    (0x040d, "Hebrew"), (0x040e, "Hungarian"), (0x0410, "Italian"),
    (0x0411, "Japanese"), (0x0412, "Korean"), (0x0413, "Dutch"),
    (0x0414, "Norwegian"), (0x0415, "Polish"), (0x0416, "Portuguese (Brazil)"),
    (0x0418, "Romanian"), (0x0419, "Russian"), (0x041a, "Croatian"),
    (0x041b, "Slovak"), (0x041d, "Swedish"), (0x041e, "Thai"),
    (0x041f, "Turkish"), (0x0421, "Indonesian"), (0x0422, "Ukrainian"),
    (0x0424, "Slovenian"), (0x0425, "Estonian"), (0x0426, "Latvian"),
    (0x0427, "Lithuanian"), (0x042a, "Vietnamese"),
    (0x0804, "Chinese (Simplified)"), (0x0816, "Portuguese (Portugal)"),
    (0x081a, "Serbian (Latin)"),
]

DEFINE = re.compile(r"^#define\s+(IDS_\w+)\s+(\d+)\s*$")
ENTRY = re.compile(r'^\s*(IDS_\w+)\s+"((?:[^"]|"")*)"\s*$')


def string_ids(header):
    ids = {}
    for line in header.read_text(encoding="utf-8").splitlines():
        m = DEFINE.match(line)
        if m:
            ids[m.group(1)] = int(m.group(2))
    return ids


def string_table(rc, ids):
    """The (id, text) pairs of the rc file's STRINGTABLE, in id order."""
    texts = {}
    inside = False
    for number, line in enumerate(rc.read_text(encoding="utf-8").splitlines(), 1):
        stripped = line.strip()
        if stripped == "BEGIN":
            inside = True
            continue
        if stripped == "END":
            inside = False
            continue
        if not inside or not stripped:
            continue
        m = ENTRY.match(line)
        if not m:
            sys.exit(f"{rc}:{number}: not a one-line string entry")
        name, text = m.group(1), m.group(2).replace('""', '"')
        # An INI value is one line and takes no escapes: such a text could
        # not read back from the language file as the resource holds it.
        if "\\" in text:
            sys.exit(f"{rc}:{number}: escapes cannot be written to a language file")
        if name not in ids:
            sys.exit(f"{rc}:{number}: {name} is not defined in resource_ids.h")
        if ids[name] in texts:
            sys.exit(f"{rc}:{number}: string id {ids[name]} appears twice")
        texts[ids[name]] = text
    return sorted(texts.items())


def main():
    output = pathlib.Path(sys.argv[1]) if len(sys.argv) > 1 else RESOURCES / "0x0409.ini"
    table = string_table(RESOURCES / "strings_en.rc", string_ids(RESOURCES / "resource_ids.h"))
    lines = [f"[0x{LANGUAGE:04x}]"]
    lines += [f"{i}={text}" for i, text in table]
    lines += ["", "[Languages]"]
    lines += [f"0x{i:04x}={name}" for i, name in LANGUAGE_NAMES]
    text = "".join(line + "\r\n" for line in lines)
    output.write_bytes(b"\xff\xfe" + text.encode("utf-16-le"))
    print(f"wrote {output}: {len(table)} texts, {len(LANGUAGE_NAMES)} language names")


if __name__ == "__main__":
    main()
