#!/usr/bin/env python3
"""Packs the Windows programs into a zip for people to download:

  make_dist.py --name NAME --out NAME.zip --readme README.txt [--strip STRIP] PROGRAM...

The zip holds one folder NAME with the programs (stripped of their symbols
when a strip program is given) and README.txt, turned into what Notepad
reads everywhere: UTF-8 with a byte-order mark and CR LF line ends. Entry
times are fixed, so the same programs always give the same zip.
"""
import argparse
import os
import shutil
import subprocess
import sys
import tempfile
import zipfile

FIXED_TIME = (2026, 1, 1, 0, 0, 0)


def entry(zf, name, data, executable=False):
    info = zipfile.ZipInfo(name, FIXED_TIME)
    info.compress_type = zipfile.ZIP_DEFLATED
    info.create_system = 0  # MS-DOS attributes: what Explorer expects
    info.external_attr = 0x20  # archive bit
    zf.writestr(info, data, compresslevel=9)


def windows_text(raw):
    text = raw.decode("utf-8")
    lines = text.replace("\r\n", "\n").split("\n")
    return b"\xef\xbb\xbf" + "\r\n".join(lines).encode("utf-8")


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--name", required=True)
    ap.add_argument("--out", required=True)
    ap.add_argument("--readme", required=True)
    ap.add_argument("--strip")
    ap.add_argument("programs", nargs="+")
    a = ap.parse_args()
    with tempfile.TemporaryDirectory() as tmp:
        files = []
        for prog in a.programs:
            if not os.path.isfile(prog):
                print(f"make_dist: {prog}: no such program", file=sys.stderr)
                return 1
            copy = os.path.join(tmp, os.path.basename(prog))
            shutil.copy2(prog, copy)
            if a.strip:
                subprocess.run([a.strip, "--strip-all", copy], check=True)
            files.append(copy)
        with open(a.readme, "rb") as f:
            readme = windows_text(f.read())
        part = a.out + ".part"
        with zipfile.ZipFile(part, "w") as zf:
            for copy in files:
                with open(copy, "rb") as f:
                    entry(zf, f"{a.name}/{os.path.basename(copy)}", f.read())
            entry(zf, f"{a.name}/README.txt", readme)
        os.replace(part, a.out)
    print(f"make_dist: {a.out}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
