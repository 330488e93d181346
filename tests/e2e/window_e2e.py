#!/usr/bin/env python3
"""Drives the built tidyline from outside, as a person would.

Starts its own Xvfb (a free display through -displayfd) and openbox, runs a
copy of the program from a temporary folder (so Tidyline.ini lands beside the
copy), clicks the controls with xdotool, moves text through the clipboard
with xclip, and checks what the person would see: the window, the clipboard,
the settings file, the save folder, the pixels of the check boxes and of the
status label. Every wait polls with a bound. On failure it saves a screenshot
and says what was on the screen.

usage: window_e2e.py TIDYLINE TIDYLINE_CLI [SCREENSHOT_ON_FAILURE]
"""
import os
import shutil
import subprocess
import sys
import tempfile
import time

from xsession import (CHOOSE_FILES, COPY, DEDUPE, PASTE, PROCESS, RADIO_OWN, RESULT, SEPARATOR,
                      SHUFFLE, SOURCE, ClientArea, Failure, XSession, expect, gbk_ini, poll, step)

TIDYLINE, CLI = sys.argv[1], sys.argv[2]
FAILSHOT = os.path.abspath(sys.argv[3] if len(sys.argv) > 3 else "e2e_failure.png")
TITLE = "Tidyline v1.20"
CHOOSER_TITLE = "请选择需要处理的文件："
QUESTION_TITLE = "信息："

# The rectangles of controls only this test looks at.
STATUS = (24, 459, 600, 24)


class Window(ClientArea):
    """One running tidyline, seen from outside."""

    def __init__(self, s, folder):
        super().__init__(s)
        self.proc = subprocess.Popen([os.path.join(folder, "tidyline")], cwd="/", env=s.env,
                                     stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
        s.procs.append(self.proc)
        found = []

        def shown():
            if self.proc.poll() is not None:
                raise Failure("tidyline exited at start: " + self.proc.stderr.read().decode("utf-8", "replace"))
            found[:] = s.windows(TITLE)
            return bool(found) and s.active_name() == TITLE
        poll(shown, 20, f'the window "{TITLE}" to appear and take the focus')
        self.id = found[0]
        vals = s.window_info(self.id)
        self.x = int(vals["Absolute upper-left X"])
        self.y = int(vals["Absolute upper-left Y"])
        self.w = int(vals["Width"])
        self.h = int(vals["Height"])
        ext = s.run(["xprop", "-id", str(self.id), "_NET_FRAME_EXTENTS"])
        self.frame = tuple(int(v) for v in ext.split("=")[1].split(",")) if "=" in ext else (0, 0, 0, 0)

    def look(self, rect):
        left, top, w, h = rect
        return self.s.pixels(self.x + left, self.y + top, w, h)

    def checked(self, rect):
        # A ticked GTK check box fills its square with the theme's accent
        # (blue); an unticked one is white with a grey edge.
        left, top, w, h = rect
        box = self.s.pixels(self.x + left, self.y + top, 22, h)
        return sum(1 for r, g, b in box if b > 150 and r < 120) > 40

    def close(self):
        # Through the window manager, as the person's Alt+F4.
        self.s.xdo("windowactivate", "--sync", str(self.id))
        self.s.xdo("key", "alt+F4")
        try:
            code = self.proc.wait(20)
        except subprocess.TimeoutExpired:
            raise Failure("the window did not close on Alt+F4")
        if code != 0:
            raise Failure(f"tidyline exited with {code}: " + self.proc.stderr.read().decode("utf-8", "replace"))


def settle(s, quiet=3):
    """Waits until the active window stays the same over `quiet` looks in a row."""
    last, same = None, [0]
    geo = s.run(["xdotool", "getactivewindow", "getwindowgeometry", "--shell"])
    g = dict(line.split("=", 1) for line in geo.split() if "=" in line)
    x, y = max(0, int(g.get("X", 0))), max(0, int(g.get("Y", 0)))
    w, h = min(int(g.get("WIDTH", 1024)), 1024 - x), min(int(g.get("HEIGHT", 768)), 768 - y)

    def still():
        nonlocal last
        now = s.run(["sh", "-c", f"import -window root -crop {w}x{h}+{x}+{y} -depth 8 rgb:- | md5sum"])
        same[0] = same[0] + 1 if now == last else 0
        last = now
        return same[0] >= quiet
    poll(still, 10, "the screen to settle")


def changed(win, rect, before):
    return lambda: win.look(rect) != before


def paste_process_copy(win, text):
    s = win.s
    s.set_clipboard(text)
    source, result = win.look(SOURCE), win.look(RESULT)
    win.click(PASTE)
    poll(changed(win, SOURCE, source), 10, "the pasted text to show in the source box")
    win.click(PROCESS)
    poll(changed(win, RESULT, result), 10, "the result to show in the result box")
    # The result may equal the source (a shuffle can keep the order): a
    # marker on the clipboard shows when 复制 has replaced it.
    marker = "(before 复制)"
    s.set_clipboard(marker)
    win.click(COPY)
    poll(lambda: s.clipboard() not in (None, marker), 10, "复制 to put the result on the clipboard")
    return s.clipboard()


def main():
    s = XSession()
    tmp = tempfile.mkdtemp(prefix="tidyline-e2e-")
    try:
        s.start_x()
        # A configuration folder of the test's own: no settings of the
        # person running it, and a caret that does not blink (so a still
        # screen means the window has finished its work).
        gtkconf = os.path.join(tmp, "config", "gtk-3.0")
        os.makedirs(gtkconf)
        with open(os.path.join(gtkconf, "settings.ini"), "w") as f:
            f.write("[Settings]\ngtk-cursor-blink=false\n")
        s.env["XDG_CONFIG_HOME"] = os.path.join(tmp, "config")
        prog = os.path.join(tmp, "prog")
        os.mkdir(prog)
        shutil.copy2(TIDYLINE, os.path.join(prog, "tidyline"))

        step("X and openbox up")
        # --- first start: defaults, title and position
        win = Window(s, prog)
        expect(s.run(["xdotool", "getwindowname", str(win.id)]).strip() == TITLE, "window title")
        left, right, top, bottom = win.frame
        outer = (win.x - left, win.y - top, win.w + left + right, win.h + top + bottom)
        expect(outer[:2] == (181, 123), f"the window's outer top-left is {outer[:2]}, not (181, 123)")
        expect(outer[2:] == (662, 521), f"the window's outer size is {outer[2:]}, not 662x521")
        # The window shows while the settings are still being restored (each
        # read serves the window): wait for the state to be drawn.
        poll(lambda: win.checked(DEDUPE) and not win.checked(SHUFFLE), 5, "first start: 去重 ticked, 打乱 not")

        step("first window shown")
        # --- paste, process, copy: line breaks, de-duplicated, last occurrence kept
        source = "b\n中文\na\nb\n中文\nc"
        out = paste_process_copy(win, source)
        cli = subprocess.run([CLI, "--dedupe"], input=source.replace("\n", "\r\n").encode("gbk"),
                             capture_output=True, check=True).stdout.decode("gbk").replace("\r\n", "\n")
        expect(out == cli.rstrip("\n"), f"clipboard after 复制 is {out!r}, tidyline-cli gives {cli!r}")
        expect(out.split("\n") == ["a", "b", "中文", "c"], f"de-duplicated result {out!r}")

        step("paste/process/copy done")
        # --- a batch through the real file chooser, typing the path
        data = os.path.join(tmp, "data")
        os.mkdir(data)
        src_bytes = "x\r\n中\r\ny\r\nx\r\n中".encode("gbk")
        with open(os.path.join(data, "in.txt"), "wb") as f:
            f.write(src_bytes)
        status_before = win.look(STATUS)
        expect(not any(sum(p) < 200 for p in status_before), "status label empty before the batch")
        step("before the chooser")
        win.click(CHOOSE_FILES)
        poll(lambda: s.active_name() == CHOOSER_TITLE, 15, f'the file chooser "{CHOOSER_TITLE}"')
        s.xdo("key", "ctrl+l")
        s.xdo("type", "--delay", "15", os.path.join(data, "in.txt"))
        # Enter while the chooser is still reading the typed folder (for its
        # completion) is lost; a person presses Enter once the screen is still.
        step("path typed")
        settle(s)
        s.xdo("key", "Return")
        poll(lambda: s.active_name() == QUESTION_TITLE, 20, f'the question "{QUESTION_TITLE}" after the batch')
        s.xdo("key", "alt+n")
        poll(lambda: s.active_name() == TITLE, 10, "the question to close on 否(N)")
        saved = os.path.join(data, "保存目录", "in.txt")
        expect(os.path.isfile(saved), "保存目录/in.txt written beside the chosen file")
        ref = os.path.join(tmp, "ref")
        os.mkdir(ref)
        with open(os.path.join(ref, "in.txt"), "wb") as f:
            f.write(src_bytes)
        subprocess.run([CLI, "--dedupe", os.path.join(ref, "in.txt")], check=True, capture_output=True)
        with open(saved, "rb") as f, open(os.path.join(ref, "保存目录", "in.txt"), "rb") as g:
            got, want = f.read(), g.read()
        expect(got == want, f"batch result {got!r}, tidyline-cli gives {want!r}")
        with open(os.path.join(data, "in.txt"), "rb") as f:
            expect(f.read() == src_bytes, "the source file is unchanged")
        # The summary is drawn over the progress bar: dark text now stands there.
        poll(lambda: sum(1 for p in win.look(STATUS) if sum(p) < 200) > 50, 10,
             "the summary text in the status label")

        step("batch done")
        # --- change the choices: 去重 off, 打乱 on, 自己输入 with ";"
        win.click(DEDUPE, 10)
        win.click(SHUFFLE, 10)
        poll(lambda: not win.checked(DEDUPE) and win.checked(SHUFFLE), 5, "the check boxes to toggle")
        win.click(RADIO_OWN, 10)
        win.click(SEPARATOR)
        s.xdo("type", "--delay", "30", ";")
        win.close()
        with open(os.path.join(prog, "Tidyline.ini"), "rb") as f:
            ini = f.read()
        want = gbk_ini([("换行符", "假"), ("分隔符", ";"), ("文件类型", "*.txt"), ("编码", "0"),
                        ("去重", "假"), ("打乱", "真")][::-1])
        expect(ini == want, f"Tidyline.ini holds {ini!r}, expected {want!r}")

        step("closed, ini checked")
        # --- second start: the choices come back
        win = Window(s, prog)
        poll(lambda: not win.checked(DEDUPE) and win.checked(SHUFFLE), 5, "second start: 去重 not ticked, 打乱 ticked")
        # Cut at ";" without de-duplication: every record stays (in some order).
        out = paste_process_copy(win, "q;中;q;r")
        expect(sorted(out.split(";")) == sorted(["q", "中", "q", "r"]),
               f"with 自己输入 ';' and no 去重 the result is {out!r}")
        win.close()
        step("second run done")
        print("e2e: all checks passed")
        return 0
    except Failure as e:
        s.report_failure(f"e2e FAILED: {e}", FAILSHOT)
        return 1
    finally:
        s.stop()
        shutil.rmtree(tmp, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
