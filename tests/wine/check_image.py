#!/usr/bin/env python3
"""Checks that a Windows image will load and run as setup.exe on Windows 95.

Usage: check_image.py IMAGE [--objdump PATH]

Reads the image's headers and import table with objdump and reports every
rule it breaks, one line each; exits 1 if there is any, 0 otherwise.
"""
import argparse
import os
import re
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
ALLOWED_DLLS = {"kernel32.dll", "user32.dll", "advapi32.dll", "msvcrt.dll"}
# The loader flag that makes the NT family refuse every exception handler in
# the image; the guarded port access relies on its own handler.
NO_SEH = 0x0400
GUI_SUBSYSTEM = 2


def missing_functions():
    """DLL (lower case) -> set of function names Windows 95 lacks."""
    table = {}
    with open(os.path.join(HERE, "win95_missing_functions.txt")) as listing:
        for line in listing:
            line = line.strip()
            if not line or line.startswith("#"):
                continue
            dll, function = line.split("!", 1)
            table.setdefault(dll.lower(), set()).add(function)
    return table


def read_headers(objdump, image):
    text = subprocess.run([objdump, "-p", "-f", image], check=True,
                          capture_output=True, text=True).stdout
    fields = {}
    for name in ("MajorOSystemVersion", "MinorOSystemVersion",
                 "MajorImageVersion", "MinorImageVersion",
                 "MajorSubsystemVersion", "MinorSubsystemVersion",
                 "Subsystem", "DllCharacteristics"):
        found = re.search(r"^%s\s+([0-9a-fA-F]+)" % name, text, re.M)
        fields[name] = found.group(1) if found else None
    imports = {}
    dll = None
    in_imports = False
    for line in text.splitlines():
        if line.startswith("The Import Tables"):
            in_imports = True
            continue
        if in_imports and re.match(r"^The \w", line):
            in_imports = False
        if not in_imports:
            continue
        named = re.match(r"^\s*DLL Name: (\S+)", line)
        if named:
            dll = named.group(1)
            imports.setdefault(dll, [])
            continue
        entry = re.match(r"^\s+[0-9a-f]+\s+\d+\s+(\S+)\s*$", line)
        if entry and dll is not None:
            imports[dll].append(entry.group(1))
    file_format = re.search(r"file format (\S+)", text)
    flags = re.search(r"^architecture: .*\n(.*)$", text, re.M)
    has_symbols = flags is not None and re.search(
        r"\bHAS_(SYMS|DEBUG)\b", flags.group(1)) is not None
    return (file_format.group(1) if file_format else None, fields, imports,
            has_symbols)


def check(image, objdump):
    problems = []
    file_format, fields, imports, has_symbols = read_headers(objdump, image)
    if file_format != "pei-i386":
        problems.append("not a 32-bit x86 Windows image: %s" % file_format)
    for prefix in ("OSystem", "Image", "Subsystem"):
        major = fields["Major%sVersion" % prefix]
        minor = fields["Minor%sVersion" % prefix]
        if (major, minor) != ("4", "0"):
            problems.append("%s version %s.%s, not 4.0" % (
                prefix.replace("OSystem", "operating system").lower(),
                major, minor))
    subsystem = fields["Subsystem"]
    if subsystem is None or int(subsystem, 16) != GUI_SUBSYSTEM:
        problems.append("subsystem %s, not the Windows GUI (2)" % subsystem)
    characteristics = fields["DllCharacteristics"]
    if characteristics and int(characteristics, 16) & NO_SEH:
        problems.append("marked NO_SEH: its exception handlers would be refused")
    if has_symbols:
        problems.append("not stripped: the image carries symbols or debug data")
    if not imports:
        problems.append("no import table found")
    lacking = missing_functions()
    for dll, functions in sorted(imports.items()):
        if dll.lower() not in ALLOWED_DLLS:
            problems.append("imports from %s, not one of KERNEL32, USER32, ADVAPI32, msvcrt"
                            % dll)
        for function in functions:
            if function in lacking.get(dll.lower(), ()):
                problems.append("imports %s!%s, which Windows 95 lacks"
                                % (dll, function))
    with open(image, "rb") as data:
        if "DIALOG_COMPLETE".encode("utf-16-le") not in data.read():
            problems.append("no DIALOG_COMPLETE resource")
    return problems


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("image")
    parser.add_argument("--objdump", default="i686-w64-mingw32-objdump")
    args = parser.parse_args()
    problems = check(args.image, args.objdump)
    for problem in problems:
        print("%s: %s" % (args.image, problem))
    if not problems:
        print("%s: loads on Windows 95" % args.image)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
