#!/usr/bin/env python3
"""Drives tidyline.exe under wine64 from outside, as a person would.

Starts its own Xvfb (a free display through -displayfd), openbox and a wine
prefix of its own in a temporary folder (code page 936 through
LANG=zh_CN.UTF-8), runs a copy of the program from a temporary folder (so
Tidyline.ini lands beside the copy), clicks the controls with xdotool and
moves text through the clipboard with xclip. The controls are not X windows:
clicks go to screen points computed from the template's rectangles and the
client area's place on the screen. What it checks is what the person would
see: the window's title and place, the clipboard after 复制, the check
boxes' pixels, the settings file (its bytes, and read back through
GetPrivateProfileStringA by iniread.exe), the save folder of a batch chosen
in the real file dialog. Every wait polls with a bound; on failure it saves a
screenshot and says what was on the screen.

usage: win32_e2e.py --exe tidyline.exe --cli tidyline-cli.exe --iniread iniread.exe
                    --winrect winrect.exe [--failshot PNG]

Exit 77 (skipped) only when tidyline.exe is not built.
"""
import argparse
import os
import shutil
import subprocess
import sys
import tempfile
import time

from xsession import (CHOOSE_FILES, COPY, DEDUPE, PASTE, PROCESS, RADIO_LINES, RADIO_OWN, RESULT,
                      SEPARATOR, SHUFFLE, SOURCE, ClientArea, Failure, XSession, expect, gbk_ini,
                      poll, step, STEP, T0)

WINE = "/usr/lib/wine/wine64"
TITLE = "Tidyline v1.20"
CHOOSER_TITLE = "请选择需要处理的文件："
QUESTION_TITLE = "信息："
SECTION = "基本配置"
SCREEN = (1024, 768)
OUTER = (662, 521)

# The rectangles of controls only this test looks at.
FILTER = (376, 427, 64, 24)
ENCODING = (552, 427, 88, 23)
PROGRESS = (8, 459, 632, 24)
LABEL_SOURCE = (8, 100, 96, 24)


def to_wine(path):
    """The Windows name of a host path: drive Z: is the host's root."""
    return "Z:" + os.path.abspath(path).replace("/", "\\")


class Session(XSession):
    """Xvfb, openbox and a wine prefix, all ours, all stopped at the end."""

    def __init__(self, tmp):
        super().__init__()
        self.tmp = tmp
        self.wine_started = False

    def start_x(self):
        super().start_x(*SCREEN)

    def start_wine(self):
        # A prefix of our own, set up with this display from its first
        # process on: wine's desktop process (which also carries the
        # clipboard between Windows and X) starts with the prefix.
        prefix = os.path.join(self.tmp, "wineprefix")
        os.mkdir(prefix)
        self.env.update(WINEPREFIX=prefix, WINEDEBUG="-all", LANG="zh_CN.UTF-8", LC_ALL="zh_CN.UTF-8",
                        # No Mono or Gecko installer dialogs: nothing here uses them.
                        WINEDLLOVERRIDES="mscoree,mshtml=")
        # The server detached, every stream redirected: it outlives its first
        # client and must not hold ctest's pipes open.
        subprocess.run(["wineserver", "-p"], env=self.env, stdin=subprocess.DEVNULL,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=30)
        self.wine_started = True
        try:
            subprocess.run([WINE, "wineboot", "-i"], env=self.env, stdin=subprocess.DEVNULL,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=180)
        except subprocess.TimeoutExpired:
            raise Failure("the wine prefix was not set up within 180 s")

    def stop(self):
        if self.wine_started:
            # Only this prefix's server (WINEPREFIX names it).
            subprocess.run(["wineserver", "-k"], env=self.env, stdin=subprocess.DEVNULL,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=30)
            try:
                subprocess.run(["wineserver", "-w"], env=self.env, stdin=subprocess.DEVNULL,
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=30)
            except subprocess.TimeoutExpired:
                pass
        super().stop()

    def wine(self, args, input=b"", timeout=60):
        """Runs a console program of the Windows build; its raw output."""
        r = subprocess.run([WINE, *args], env=self.env, input=input, capture_output=True, timeout=timeout)
        return r.returncode, r.stdout

    def screen_hash(self):
        return self.run(["sh", "-c", "import -window root -depth 8 rgb:- | md5sum"])


class Window(ClientArea):
    """One running tidyline.exe, seen from outside."""

    def __init__(self, s, prog_dir, winrect):
        super().__init__(s)
        self.proc = subprocess.Popen([WINE, to_wine(os.path.join(prog_dir, "tidyline.exe"))], cwd="/",
                                     env=s.env, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                     stderr=subprocess.DEVNULL)
        s.procs.append(self.proc)
        found = []

        def shown():
            if self.proc.poll() is not None:
                raise Failure(f"tidyline.exe exited at start with status {self.proc.returncode}")
            found[:] = s.windows(TITLE)
            return bool(found) and s.active_name() == TITLE
        poll(shown, 60, f'the window "{TITLE}" to appear and take the focus')
        self.id = found[0]
        # Where Windows has put it (outer rectangle and client area) ...
        code, out = s.wine([winrect, TITLE])
        if code != 0:
            raise Failure(f"winrect.exe found no window titled {TITLE!r}")
        rects = {}
        for line in out.decode("ascii", "replace").split("\n"):
            if "=" in line:
                k, v = line.split("=", 1)
                rects[k] = tuple(int(n) for n in v.split())
        self.outer, self.client = rects["window"], rects["client"]
        # ... and where X shows it: openbox frames the client area, which is
        # the X window wine made.
        vals = s.window_info(self.id)
        self.x = int(vals["Absolute upper-left X"])
        self.y = int(vals["Absolute upper-left Y"])

    def look(self, rect):
        left, top, w, h = rect
        return self.s.pixel_rows(self.x + left, self.y + top, w, h)

    def marked(self, rect):
        """Whether a check box is ticked or a radio button selected: the
        13-pixel box sits at the control's left, centred vertically, white
        inside; a tick or a dot colours the middle of it."""
        left, top, w, h = rect
        box_top = (h - 13) // 2
        rows = self.s.pixel_rows(self.x + left + 3, self.y + top + box_top + 3, 7, 7)
        return sum(1 for row in rows for p in row if sum(p) < 690) >= 5

    def settled(self, rect, looks=3):
        """Polls until the rectangle looks the same `looks` times in a row."""
        last, same = [None], [0]

        def still():
            now = self.look(rect)
            same[0] = same[0] + 1 if now == last[0] else 0
            last[0] = now
            return same[0] >= looks - 1
        return still

    def close(self):
        # Alt+F4, as a person closes a window (openbox passes it on to wine's
        # window as a close request), once the window has the focus.
        if self.s.active_name() != TITLE:
            self.click(LABEL_SOURCE)
            poll(lambda: self.s.active_name() == TITLE, 10, "the window to take the focus")
        self.s.xdo("key", "alt+F4")
        try:
            code = self.proc.wait(30)
        except subprocess.TimeoutExpired:
            raise Failure("the window did not close on Alt+F4")
        if code != 0:
            raise Failure(f"tidyline.exe exited with status {code}")


def paste_process_copy(win, text):
    s = win.s
    s.set_clipboard(text)
    source, result = win.look(SOURCE), win.look(RESULT)
    win.click(PASTE)
    poll(lambda: win.look(SOURCE) != source, 15, "the pasted text to show in the source box")
    win.click(PROCESS)
    # "正在处理中.." shows first: wait for the result box to change and hold.
    poll(lambda: win.look(RESULT) != result, 15, "the result to show in the result box")
    poll(win.settled(RESULT), 15, "the result box to stop changing")
    # The result may equal the source (a shuffle can keep the order): a
    # marker on the clipboard shows when 复制 has replaced it.
    marker = "(before 复制)"
    s.set_clipboard(marker)
    win.click(COPY)
    poll(lambda: s.clipboard() not in (None, marker), 15, "复制 to put the result on the clipboard")
    return s.clipboard()


def ini_pairs(s, iniread, path):
    """Tidyline.ini's section as GetPrivateProfileStringA reads it."""
    code, out = s.wine([iniread, to_wine(path), SECTION])
    expect(code == 0, f"iniread.exe found no keys in [{SECTION}] of {path} (status {code})")
    text = out.decode("gbk")
    return [tuple(line.split("=", 1)) for line in text.split("\n") if line]


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--exe", required=True)
    ap.add_argument("--cli", required=True)
    ap.add_argument("--iniread", required=True)
    ap.add_argument("--winrect", required=True)
    ap.add_argument("--failshot", default="e2e_windows_failure.png")
    a = ap.parse_args()
    if not os.path.isfile(a.exe):
        print(f"SKIPPED: {a.exe} is not built (this tree has no Win32 window program yet)")
        return 77
    failshot = os.path.abspath(a.failshot)
    tmp = tempfile.mkdtemp(prefix="tidyline-e2e-win-")
    s = Session(tmp)
    try:
        step("starting Xvfb and openbox")
        s.start_x()
        step("setting up the wine prefix")
        s.start_wine()
        prog = os.path.join(tmp, "prog")
        os.mkdir(prog)
        shutil.copy2(a.exe, os.path.join(prog, "tidyline.exe"))
        ini_path = os.path.join(prog, "Tidyline.ini")
        iniread, winrect, cli = to_wine(a.iniread), to_wine(a.winrect), to_wine(a.cli)

        # --- first start: title, place, template states
        step("first start: waiting for the window")
        win = Window(s, prog, winrect)
        expect(s.run(["xdotool", "getwindowname", str(win.id)]).strip() == TITLE, "window title")
        want_outer = ((SCREEN[0] - OUTER[0]) // 2, (SCREEN[1] - OUTER[1]) // 2, *OUTER)
        expect(win.outer == want_outer, f"the window's outer rectangle is {win.outer}, not {want_outer}")
        expect(win.client[:2] == (win.x, win.y),
               f"Windows puts the client area at {win.client[:2]}, X shows it at {(win.x, win.y)}")
        expect(os.path.isfile(ini_path), "Tidyline.ini created beside the program at start-up")
        step("first start: template states")
        poll(lambda: win.marked(DEDUPE) and not win.marked(SHUFFLE) and win.marked(RADIO_LINES)
             and not win.marked(RADIO_OWN), 15, "first start: 去重 ticked, 打乱 not, 换行符 selected")

        # --- paste, process, copy: line breaks, de-duplicated, last occurrence kept
        step("paste, process, copy")
        source = "b\n中文\na\nb\n中文\nc"
        out = paste_process_copy(win, source)
        code, ref = s.wine([cli, "--dedupe"], input=source.replace("\n", "\r\n").encode("gbk"))
        expect(code == 0, f"tidyline-cli.exe --dedupe exited {code}")
        ref = ref.decode("gbk").replace("\r\n", "\n")
        expect(out == ref.rstrip("\n"), f"clipboard after 复制 is {out!r}, tidyline-cli.exe gives {ref!r}")
        expect(out.split("\n") == ["a", "b", "中文", "c"], f"de-duplicated result {out!r}")

        # --- a batch through the real file dialog, typing the path
        step("batch: choosing a file in the file dialog")
        data = os.path.join(tmp, "data")
        os.mkdir(data)
        src_bytes = "x\r\n中\r\ny\r\nx\r\n中".encode("gbk")
        with open(os.path.join(data, "in.txt"), "wb") as f:
            f.write(src_bytes)
        progress_before = win.look(PROGRESS)
        win.click(CHOOSE_FILES)
        poll(lambda: s.active_name() == CHOOSER_TITLE, 30, f'the file dialog "{CHOOSER_TITLE}"')
        # The file-name box has the focus when the dialog opens; ASCII only
        # (typing Chinese through xdotool loses characters under load).
        s.xdo("type", "--delay", "20", to_wine(os.path.join(data, "in.txt")))
        # Enter once the typed name is drawn (two looks alike), as a person would.
        poll(lambda: s.screen_hash() == s.screen_hash(), 15, "the typed name to show")
        s.xdo("key", "Return")
        step("batch: waiting for the question after the batch")
        poll(lambda: s.active_name() == QUESTION_TITLE, 60, f'the question "{QUESTION_TITLE}" after the batch')
        s.xdo("key", "n")
        poll(lambda: s.active_name() == TITLE, 20, "the question to close on 否(N)")
        saved = os.path.join(data, "保存目录", "in.txt")
        expect(os.path.isfile(saved), "保存目录\\in.txt written beside the chosen file")
        ref_dir = os.path.join(tmp, "ref")
        os.mkdir(ref_dir)
        with open(os.path.join(ref_dir, "in.txt"), "wb") as f:
            f.write(src_bytes)
        code, _ = s.wine([cli, "--dedupe", "--quiet", to_wine(os.path.join(ref_dir, "in.txt"))])
        expect(code == 0, f"tidyline-cli.exe on the reference copy exited {code}")
        with open(saved, "rb") as f, open(os.path.join(ref_dir, "保存目录", "in.txt"), "rb") as g:
            got, want = f.read(), g.read()
        expect(got == want, f"batch result {got!r}, tidyline-cli.exe gives {want!r}")
        with open(os.path.join(data, "in.txt"), "rb") as f:
            expect(f.read() == src_bytes, "the source file is unchanged")
        # The progress bar has moved and the summary stands over it.
        poll(lambda: win.look(PROGRESS) != progress_before, 15, "the progress bar and summary after the batch")

        # --- change the choices: 去重 off, 打乱 on, 自己输入 with ";"
        step("changing the choices")
        win.click(DEDUPE, 6)
        win.click(SHUFFLE, 6)
        poll(lambda: not win.marked(DEDUPE) and win.marked(SHUFFLE), 10, "the check boxes to toggle")
        win.click(RADIO_OWN, 6)
        poll(lambda: win.marked(RADIO_OWN) and not win.marked(RADIO_LINES), 10, "自己输入 to be selected")
        win.click(SEPARATOR)
        before = win.look(SEPARATOR)
        s.xdo("type", "--delay", "30", ";")
        poll(lambda: win.look(SEPARATOR) != before, 10, "the typed separator to show")
        # The file-type filter: "*.txt" becomes "*.log".
        win.click(FILTER)
        before = win.look(FILTER)
        s.xdo("key", "End", "BackSpace", "BackSpace", "BackSpace")
        s.xdo("type", "--delay", "30", "log")
        poll(lambda: win.look(FILTER) != before, 10, "the typed filter to show")
        # The encoding: the drop-down list, two steps down to "UTF-8".
        before = win.look(ENCODING)
        win.click(ENCODING)
        s.xdo("key", "Down", "Down", "Return")
        poll(lambda: win.look(ENCODING) != before, 10, "the chosen encoding to show")
        step("closing the first window")
        win.close()
        with open(ini_path, "rb") as f:
            ini = f.read()
        pairs = [("打乱", "真"), ("去重", "假"), ("编码", "2"), ("文件类型", "*.log"), ("分隔符", ";"), ("换行符", "假")]
        want = gbk_ini(pairs)
        expect(ini == want, f"Tidyline.ini holds {ini!r}, expected {want!r}")
        step("reading Tidyline.ini through GetPrivateProfileStringA")
        got_pairs = ini_pairs(s, iniread, ini_path)
        expect(got_pairs == pairs, f"GetPrivateProfileStringA reads {got_pairs}, expected {pairs}")

        # --- second start: the choices come back
        step("second start")
        win = Window(s, prog, winrect)
        poll(lambda: not win.marked(DEDUPE) and win.marked(SHUFFLE) and win.marked(RADIO_OWN)
             and not win.marked(RADIO_LINES), 15, "second start: 去重 not ticked, 打乱 ticked, 自己输入 selected")
        # Tick 去重 again: cut at the restored ";", duplicates go, order is random.
        win.click(DEDUPE, 6)
        poll(lambda: win.marked(DEDUPE), 10, "去重 to be ticked")
        out = paste_process_copy(win, "q;中;q;r")
        expect(sorted(out.split(";")) == sorted(["q", "中", "r"]),
               f"with 自己输入 ';', 去重 and 打乱 the result is {out!r}")
        step("closing the second window")
        win.close()
        # Closing saves what the controls hold: every value the first run
        # stored has come back into its control (the filter and the encoding
        # too, which the pixels above do not show), and 去重 is ticked again.
        pairs[1] = ("去重", "真")
        with open(ini_path, "rb") as f:
            ini = f.read()
        expect(ini == gbk_ini(pairs), f"Tidyline.ini after the second run holds {ini!r}, expected {gbk_ini(pairs)!r}")
        print(f"e2e (Windows): all checks passed in {time.monotonic() - T0:.1f} s")
        return 0
    except Failure as e:
        s.report_failure(f"e2e (Windows) FAILED while {STEP[0]}: {e}", failshot)
        return 1
    finally:
        s.stop()
        shutil.rmtree(tmp, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
