#!/usr/bin/env python3
"""Packs a Windows zip the way `make dist` does and checks what a person who
downloads it gets: one folder named after the version, tidyline.exe and
tidyline-cli.exe that still start and still carry their resources after
stripping, and README.txt in both languages as Notepad reads it (UTF-8 with
a byte-order mark, CR LF only).

usage: win32_dist.py MAKE_DIST README STRIP NAME WINE_RUN VERINFO TIDYLINE_EXE CLI_EXE

Exit 77 (skipped) only when tidyline.exe is not built.
"""
import os
import subprocess
import sys
import tempfile
import zipfile


def main():
    make_dist, readme, strip, name, wine_run, verinfo, exe, cli = sys.argv[1:9]
    if not os.path.isfile(exe):
        print(f"SKIPPED: {exe} is not built (this tree has no Win32 window program yet)")
        return 77
    failures = []

    def expect(cond, what):
        if not cond:
            failures.append(what)

    with tempfile.TemporaryDirectory() as tmp:
        out = os.path.join(tmp, name + ".zip")
        strip_args = ["--strip", strip] if strip else []
        subprocess.run([sys.executable, make_dist, "--name", name, "--out", out, "--readme", readme,
                        *strip_args, exe, cli], check=True, stdout=subprocess.DEVNULL)
        with zipfile.ZipFile(out) as zf:
            names = sorted(zf.namelist())
            want = sorted(f"{name}/{n}" for n in ("README.txt", "tidyline.exe", "tidyline-cli.exe"))
            expect(names == want, f"zip entries {names}, expected {want}")
            expect(zf.testzip() is None, "a zip entry fails its CRC check")
            zf.extractall(tmp)
        folder = os.path.join(tmp, name)
        with open(os.path.join(folder, "README.txt"), "rb") as f:
            text = f.read()
        expect(text.startswith(b"\xef\xbb\xbf"), "README.txt starts with the UTF-8 byte-order mark")
        expect(text.count(b"\n") > 10 and text.count(b"\n") == text.count(b"\r\n"),
               "every line of README.txt ends with CR LF")
        expect(text.count(b"\r") == text.count(b"\r\n"), "README.txt has no lone CR")
        body = text[3:].decode("utf-8")
        expect("去重" in body and "de-duplicate" in body, "README.txt speaks Chinese and English")
        expect("1.2.0.0" in body, "README.txt names the version")
        for prog in ("tidyline.exe", "tidyline-cli.exe"):
            packed = os.path.join(folder, prog)
            original = exe if prog == "tidyline.exe" else cli
            expect(os.path.getsize(packed) <= os.path.getsize(original), f"{prog} is stripped, not grown")
        # The packed window program keeps its version block.
        r = subprocess.run([wine_run, verinfo, "Z:" + os.path.join(folder, "tidyline.exe").replace("/", "\\")],
                           stdin=subprocess.DEVNULL, capture_output=True, timeout=60)
        expect(r.returncode == 0 and b"FILEVERSION=1.2.0.0" in r.stdout,
               "the packed tidyline.exe keeps its version block")
        # The packed command-line program still runs.
        r = subprocess.run([wine_run, os.path.join(folder, "tidyline-cli.exe"), "-d"], input=b"b\r\na\r\nb\r\n",
                           capture_output=True, timeout=60)
        expect(r.returncode == 0 and r.stdout == b"a\r\nb\r\n",
               f"the packed tidyline-cli.exe -d gives {r.stdout!r} (status {r.returncode})")
    for f in failures:
        print("FAIL", f)
    if not failures:
        print(f"ok {name}.zip")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
