#!/usr/bin/env python3
"""Reads the version block of each tidyline.exe back from the Windows side
(verinfo.exe: GetFileVersionInfoA / VerQueryValueA under wine, code page 936)
and checks every value a person sees in the file's properties.

usage: win32_version.py WINE_RUN VERINFO_EXE PROGRAM...

Exit 77 (skipped) only when the first PROGRAM, this tree's tidyline.exe, is
not built; any other PROGRAM named must exist.
"""
import os
import subprocess
import sys

# Chinese (PRC), code page 936: the texts come back in GBK.
TABLE = "080403a8"
EXPECTED = [
    ("FILEVERSION", "1.2.0.0"),
    ("PRODUCTVERSION", "1.2.0.0"),
    ("FILETYPE", "1"),  # VFT_APP
    ("translation", TABLE),
    (TABLE + "\\CompanyName", "Lumora"),
    (TABLE + "\\FileDescription", "高速一键文本去重、打乱，支持批量处理"),
    (TABLE + "\\FileVersion", "1.2.0.0"),
    (TABLE + "\\ProductName", "Tidyline"),
    (TABLE + "\\ProductVersion", "1.2.0.0"),
    (TABLE + "\\OriginalFilename", "tidyline.exe"),
]


def to_wine(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def main():
    wine_run, verinfo, programs = sys.argv[1], sys.argv[2], sys.argv[3:]
    if not os.path.isfile(programs[0]):
        print(f"SKIPPED: {programs[0]} is not built (the Win32 window program is missing in this tree)")
        return 77
    failures = 0
    for prog in programs:
        if not os.path.isfile(prog):
            print(f"FAIL {prog}: not built")
            failures += 1
            continue
        r = subprocess.run([wine_run, verinfo, to_wine(prog)], stdin=subprocess.DEVNULL,
                           capture_output=True, timeout=60)
        lines = r.stdout.split(b"\n")
        got = {}
        for line in lines:
            if b"=" in line:
                k, v = line.split(b"=", 1)
                got.setdefault(k.decode("ascii", "replace"), []).append(v)
        for key, want in EXPECTED:
            values = got.get(key, [])
            # Byte for byte in the ANSI code page the block declares.
            if values != [want.encode("gbk")]:
                shown = [v.decode("gbk", "replace") for v in values]
                print(f"FAIL {prog}: {key} is {shown}, expected [{want!r}]")
                failures += 1
        if r.returncode != 0:
            print(f"FAIL {prog}: verinfo exited {r.returncode}: {r.stderr.decode('utf-8', 'replace')}")
            failures += 1
        if not failures:
            print(f"ok {prog}")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
