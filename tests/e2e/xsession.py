"""An X display of our own for the programs that drive a window as a person
would (the end-to-end tests and the window benchmark): Xvfb on a free display
number, openbox framing the windows as a desktop does, and the xdotool, xclip
and ImageMagick calls they share. stop() ends only what start_x() started."""
import os
import select
import subprocess
import sys
import time


class Failure(Exception):
    pass


def poll(check, seconds, what):
    """Waits until check() holds, with a bound; never a fixed sleep."""
    deadline = time.monotonic() + seconds
    delay = 0.02
    while True:
        if check():
            return
        if time.monotonic() > deadline:
            raise Failure(f"waited {seconds} s for {what}")
        time.sleep(delay)
        delay = min(delay * 1.5, 0.25)


# Control rectangles (left, top, width, height) in the main window's client
# area, as the window template places them (the same on both systems).
PASTE = (128, 100, 192, 24)
COPY = (450, 100, 192, 24)
PROCESS = (384, 380, 120, 32)
SOURCE = (8, 128, 312, 248)
RESULT = (328, 128, 312, 248)
DEDUPE = (528, 384, 56, 24)
SHUFFLE = (592, 384, 56, 24)
RADIO_LINES = (112, 384, 72, 24)
RADIO_OWN = (192, 384, 88, 24)
SEPARATOR = (280, 384, 88, 24)
CHOOSE_FILES = (8, 423, 168, 32)


def expect(cond, what):
    if not cond:
        raise Failure(what)


def gbk_ini(pairs):
    """The bytes of Tidyline.ini holding `pairs` (key, value) in order."""
    text = "[基本配置]" + "".join(f"\r\n{k}={v}" for k, v in pairs)
    return text.encode("gbk")


T0 = time.monotonic()
STEP = ["starting"]


def step(what):
    """Names what the person is doing now (reported on failure)."""
    STEP[0] = what
    if os.environ.get("E2E_TRACE"):
        print(f"{time.monotonic() - T0:6.2f} s  {what}", file=sys.stderr)


class XSession:
    def __init__(self):
        self.procs = []
        self.display = None
        self.env = None

    def start_x(self, width=1024, height=768, extra_env=None):
        r, w = os.pipe()
        xvfb = subprocess.Popen(
            ["Xvfb", "-displayfd", str(w), "-screen", "0", f"{width}x{height}x24", "-nolisten", "tcp",
             "-noreset"], pass_fds=(w,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(w)
        self.procs.append(xvfb)
        number = b""
        deadline = time.monotonic() + 20
        while not number.endswith(b"\n"):
            ready, _, _ = select.select([r], [], [], max(0, deadline - time.monotonic()))
            if not ready:
                raise Failure("Xvfb did not report a display number within 20 s")
            chunk = os.read(r, 16)
            if not chunk:
                raise Failure("Xvfb exited before reporting a display number")
            number += chunk
        os.close(r)
        self.display = ":" + number.decode().strip()
        self.env = dict(os.environ, DISPLAY=self.display, GDK_BACKEND="x11", NO_AT_BRIDGE="1")
        self.env.pop("WAYLAND_DISPLAY", None)
        self.env.update(extra_env or {})
        wm = subprocess.Popen(["openbox", "--sm-disable"], env=self.env,
                              stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.procs.append(wm)
        # openbox is managing once it has set the supporting-WM property.
        poll(lambda: "_NET_SUPPORTING_WM_CHECK(WINDOW)" in self.run(["xprop", "-root", "_NET_SUPPORTING_WM_CHECK"]),
             10, "openbox to take the screen")

    def stop(self):
        for p in reversed(self.procs):
            if p.poll() is None:
                p.terminate()
                try:
                    p.wait(5)
                except subprocess.TimeoutExpired:
                    p.kill()
                    p.wait()

    def run(self, args, input=None, timeout=20):
        """A tool's standard output as text ("" when it hangs)."""
        try:
            r = subprocess.run(args, env=self.env, input=input, capture_output=True, timeout=timeout)
        except subprocess.TimeoutExpired:
            return ""
        return r.stdout.decode("utf-8", "replace")

    def xdo(self, *args):
        try:
            subprocess.run(["xdotool", *args], env=self.env, check=True, timeout=20,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        except (subprocess.TimeoutExpired, subprocess.CalledProcessError) as e:
            raise Failure(f"xdotool {' '.join(args)}: {e}")

    def set_clipboard(self, text):
        # xclip stays in the background as the owner until someone else takes it.
        p = subprocess.Popen(["xclip", "-selection", "clipboard", "-i"], env=self.env,
                             stdin=subprocess.PIPE, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        p.communicate(text.encode("utf-8"), timeout=10)
        poll(lambda: self.clipboard() == text, 10, "xclip to own the clipboard")

    def clipboard(self):
        try:
            r = subprocess.run(["xclip", "-selection", "clipboard", "-o"], env=self.env,
                               capture_output=True, timeout=10)
        except subprocess.TimeoutExpired:
            return None
        return r.stdout.decode("utf-8", "replace") if r.returncode == 0 else None

    def windows(self, name):
        out = self.run(["xdotool", "search", "--onlyvisible", "--name", "^" + name + "$"])
        return [int(x) for x in out.split()]

    def window_info(self, wid):
        """What xwininfo says of an X window, by its labels."""
        vals = {}
        for line in self.run(["xwininfo", "-id", str(wid)]).splitlines():
            if ":" in line:
                k, v = line.strip().split(":", 1)
                vals[k] = v.strip()
        return vals

    def active_name(self):
        return self.run(["xdotool", "getactivewindow", "getwindowname"]).strip()

    def screenshot(self, path):
        subprocess.run(["import", "-window", "root", path], env=self.env, timeout=30,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def pixels(self, x, y, w, h):
        """RGB triples of a screen rectangle, row after row."""
        r = subprocess.run(["import", "-window", "root", "-crop", f"{w}x{h}+{x}+{y}", "-depth", "8", "rgb:-"],
                           env=self.env, capture_output=True, timeout=30)
        data = r.stdout
        return [tuple(data[i:i + 3]) for i in range(0, len(data) - 2, 3)]

    def pixel_rows(self, x, y, w, h):
        px = self.pixels(x, y, w, h)
        return [px[i * w:(i + 1) * w] for i in range(h)]

    def report_failure(self, headline, shot):
        """Says on standard error what a person would have seen when a check failed."""
        print(headline, file=sys.stderr)
        if not self.display:
            return
        self.screenshot(shot)
        print(f"  screenshot: {shot}", file=sys.stderr)
        print(f"  active window: {self.active_name()!r}", file=sys.stderr)
        names = self.run(["xdotool", "search", "--onlyvisible", "--name", ".", "getwindowname", "%@"])
        print(f"  visible windows: {sorted(set(names.split(chr(10))) - {''})}", file=sys.stderr)
        print(f"  clipboard: {self.clipboard()!r}", file=sys.stderr)


class ClientArea:
    """A window's client area on the screen (x, y: its top left corner):
    controls are not X windows, so they are reached by the template's
    rectangles (left, top, width, height) from there."""

    def __init__(self, s):
        self.s = s
        self.x = self.y = 0

    def at(self, rect, dx=None):
        left, top, w, h = rect
        return self.x + left + (w // 2 if dx is None else dx), self.y + top + h // 2

    def click(self, rect, dx=None):
        x, y = self.at(rect, dx)
        self.s.xdo("mousemove", "--sync", str(x), str(y), "click", "1")
