#!/usr/bin/env python3
"""Writes the charset tables of the Windows converter (GB18030 and
Big5-HKSCS, which Windows and wine lack or lack in part) from the build
host's iconv, so the Windows build converts exactly as the Linux build does.

Usage: gen_charset_tables.py OUT_HEADER
"""
import ctypes
import ctypes.util
import os
import sys

libc = ctypes.CDLL(ctypes.util.find_library("c"), use_errno=True)
libc.iconv_open.restype = ctypes.c_void_p
libc.iconv_open.argtypes = [ctypes.c_char_p, ctypes.c_char_p]
libc.iconv.restype = ctypes.c_size_t
libc.iconv.argtypes = [ctypes.c_void_p, ctypes.POINTER(ctypes.c_char_p), ctypes.POINTER(ctypes.c_size_t),
                       ctypes.POINTER(ctypes.c_char_p), ctypes.POINTER(ctypes.c_size_t)]
libc.iconv_close.argtypes = [ctypes.c_void_p]
FAILED = ctypes.c_size_t(-1).value
EILSEQ, EINVAL = 84, 22


class Iconv:
    def __init__(self, to, frm):
        self.cd = libc.iconv_open(to.encode(), frm.encode())
        if self.cd in (None, FAILED) or self.cd == ctypes.c_void_p(-1).value:
            sys.exit(f"iconv cannot convert {frm} to {to}")
        self.out = ctypes.create_string_buffer(64)

    def run(self, data):
        """(bytes out, None) on success, (None, 'invalid'|'incomplete') else."""
        libc.iconv(self.cd, None, None, None, None)
        src = ctypes.c_char_p(data)
        src_left = ctypes.c_size_t(len(data))
        dst = ctypes.cast(self.out, ctypes.c_char_p)
        dst_left = ctypes.c_size_t(64)
        r = libc.iconv(self.cd, ctypes.byref(src), ctypes.byref(src_left), ctypes.byref(dst), ctypes.byref(dst_left))
        if r == FAILED:
            e = ctypes.get_errno()
            return None, "incomplete" if e == EINVAL else "invalid"
        # Flush what a stateful encoder holds back (Big5-HKSCS waits for a
        # combining mark after some letters).
        r = libc.iconv(self.cd, None, None, ctypes.byref(dst), ctypes.byref(dst_left))
        if r == FAILED:
            return None, "invalid"
        return self.out.raw[:64 - dst_left.value], None


def code_points(utf32le):
    return [int.from_bytes(utf32le[i:i + 4], "little") for i in range(0, len(utf32le), 4)]


def utf32(cp):
    return cp.to_bytes(4, "little")


def single_bytes(dec):
    """0x80..0xFF alone: code point, 0xFFFFFFFF for a lead byte, 0 invalid."""
    table = []
    for b in range(0x80, 0x100):
        out, err = dec.run(bytes([b]))
        if out is not None:
            cps = code_points(out)
            table.append(cps[0] if len(cps) == 1 else 0)
        else:
            table.append(0xFFFFFFFF if err == "incomplete" else 0)
    return table


def array(name, ctype, values, per_line=12):
    lines = [f"inline constexpr {ctype} {name}[{len(values)}] = {{"]
    for i in range(0, len(values), per_line):
        lines.append("  " + ", ".join(f"0x{v:X}" for v in values[i:i + per_line]) + ",")
    lines.append("};")
    return "\n".join(lines)


TRAILS_GB = list(range(0x40, 0x7F)) + list(range(0x80, 0xFF))
TRAILS_BIG5 = list(range(0x40, 0x7F)) + list(range(0xA1, 0xFF))


def gb18030():
    dec, enc = Iconv("UTF-32LE", "GB18030"), Iconv("GB18030", "UTF-32LE")
    single = single_bytes(dec)
    two = []
    for b1 in range(0x81, 0xFF):
        for b2 in TRAILS_GB:
            out, _ = dec.run(bytes([b1, b2]))
            cps = code_points(out) if out is not None else []
            two.append(cps[0] if len(cps) == 1 else 0)
    # Four-byte codes below 0x90308130 (the BMP and what lies around it), as
    # runs of consecutive code points.
    runs = []
    for index in range(0, 15 * 12600):
        b1, r = 0x81 + index // 12600, index % 12600
        b2, r = 0x30 + r // 1260, r % 1260
        b3, b4 = 0x81 + r // 10, 0x30 + r % 10
        out, _ = dec.run(bytes([b1, b2, b3, b4]))
        cps = code_points(out) if out is not None else []
        if len(cps) != 1:
            continue
        cp = cps[0]
        if runs and runs[-1][0] + runs[-1][2] == index and runs[-1][1] + runs[-1][2] == cp:
            runs[-1][2] += 1
        else:
            runs.append([index, cp, 1])
    # Above: 0x90308130 onwards is U+10000 onwards, one by one; checked.
    for cp in list(range(0x10000, 0x110000, 997)) + [0x10000, 0x10FFFF]:
        index = 189000 + cp - 0x10000
        code = bytes([0x81 + index // 12600, 0x30 + index // 1260 % 10, 0x81 + index // 10 % 126, 0x30 + index % 10])
        out, _ = dec.run(code)
        if out is None or code_points(out) != [cp]:
            sys.exit(f"GB18030: iconv does not decode {code.hex()} as U+{cp:X}")
    # Encoding of every BMP code point: two-byte code (b1 << 8 | b2), four-byte
    # index | 0x80000000, or 0 when iconv refuses it.
    encode = []
    for cp in range(0x10000):
        if cp < 0x80 or 0xD800 <= cp < 0xE000:
            encode.append(cp if cp < 0x80 else 0)
            continue
        out, _ = enc.run(utf32(cp))
        if out is None:
            encode.append(0)
        elif len(out) == 1:
            encode.append(out[0])
        elif len(out) == 2:
            encode.append(out[0] << 8 | out[1])
        else:
            index = (out[0] - 0x81) * 12600 + (out[1] - 0x30) * 1260 + (out[2] - 0x81) * 10 + (out[3] - 0x30)
            encode.append(0x80000000 | index)
    # Supplementary code points with a two-byte code.
    supp = []
    for cp in sorted({c for c in two if c >= 0x10000}):
        out, _ = enc.run(utf32(cp))
        if out is not None and len(out) == 2:
            supp += [cp, out[0] << 8 | out[1]]
    flat_runs = [v for r in runs for v in r]
    return "\n\n".join([
        array("kGbSingle", "std::uint32_t", single),
        array("kGbTwo", "std::uint32_t", two),
        array("kGbFourRuns", "std::uint32_t", flat_runs),
        array("kGbEncode", "std::uint32_t", encode),
        array("kGbEncodeSupplementary", "std::uint32_t", supp or [0, 0]),
    ])


def big5hkscs():
    dec, enc = Iconv("UTF-32LE", "BIG5-HKSCS"), Iconv("BIG5-HKSCS", "UTF-32LE")
    single = single_bytes(dec)
    two = []
    for b1 in range(0x81, 0xFF):
        for b2 in TRAILS_BIG5:
            out, _ = dec.run(bytes([b1, b2]))
            cps = code_points(out) if out is not None else []
            two += [cps[0], cps[1]] if len(cps) == 2 else [cps[0], 0] if len(cps) == 1 else [0, 0]
    candidates = set(range(0x80, 0xD800)) | set(range(0xE000, 0x10000))
    candidates |= {c for c in two if c >= 0x10000}
    pairs = []
    for cp in sorted(candidates):
        out, _ = enc.run(utf32(cp))
        if out is not None and len(out) == 2:
            pairs += [cp, out[0] << 8 | out[1]]
        elif out is not None and len(out) == 1 and cp >= 0x80:
            pairs += [cp, out[0]]
    # Letter + combining mark pairs that have a code of their own.
    combined = []
    for i in range(0, len(two), 2):
        if two[i + 1]:
            k = i // 2
            code = (0x81 + k // len(TRAILS_BIG5)) << 8 | TRAILS_BIG5[k % len(TRAILS_BIG5)]
            out, _ = enc.run(utf32(two[i]) + utf32(two[i + 1]))
            if out is not None and len(out) == 2 and (out[0] << 8 | out[1]) == code:
                combined += [two[i], two[i + 1], code]
    return "\n\n".join([
        array("kHkSingle", "std::uint32_t", single),
        array("kHkTwo", "std::uint32_t", two),
        array("kHkEncode", "std::uint32_t", pairs),
        array("kHkCombined", "std::uint32_t", combined or [0, 0, 0]),
    ])


def main():
    out_path = sys.argv[1]
    text = "\n\n".join([
        "// Generated by tools/gen_charset_tables.py from the build host's iconv. Do not edit.",
        "#pragma once\n#include <cstdint>\n\nnamespace tl::rt::charset_tables {",
        gb18030(),
        big5hkscs(),
        "}  // namespace tl::rt::charset_tables\n",
    ])
    os.makedirs(os.path.dirname(os.path.abspath(out_path)), exist_ok=True)
    tmp = out_path + ".tmp"
    with open(tmp, "w") as f:
        f.write(text)
    os.replace(tmp, out_path)


if __name__ == "__main__":
    main()
