#!/usr/bin/env python3
"""Paste, process and copy of a large text in the real window, side by side
with `LC_ALL=C sort -u` on the same records.

Starts its own Xvfb (a free display number through -displayfd) and openbox,
stops them at the end. Each round times `sort -u`, then starts
tidyline-window-bench (the tidyline program with a watcher that prints when
a step completes, see window_bench_main.cpp) from a folder of its own and
works it as a person would:
  paste    xclip holds the records; a click on 粘贴, until the source box
           holds every line and takes typing
  process  a click on 处理, until the result box holds every result line and
           takes typing
  copy     a click on 复制, until the window owns the clipboard and xclip has
           read the whole result from it (checked against tidyline-cli -d)
  repaste  the records on the clipboard again, a click on 粘贴: as paste, over
           the records the box holds
  ctrl+v   (a fresh window) a click into the empty source box and Ctrl+V,
           until the box holds every line
Each step starts when the window dispatches the click (or the key). A 20 ms
timer inside the window notes every gap between its ticks: the longest gap
from a step's start to the next step's start is that step's stall. With each
gap comes the processor time the window's thread used within it: on a busy
machine a gap also holds time spent waiting for a processor.

usage: window_bench.py BENCH_PROGRAM RECORDS_UTF8 EXPECTED_UTF8 [ROUNDS] [PAUSE]
RECORDS_UTF8 goes on the clipboard; EXPECTED_UTF8 is what 复制 must give.
PAUSE (seconds, default 1) is the person's time between two steps.
"""
import os
import queue
import resource
import shutil
import statistics
import subprocess
import sys
import tempfile
import threading
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "e2e"))
from xsession import COPY, PASTE, PROCESS, SOURCE, ClientArea, Failure, XSession, poll  # noqa: E402

TITLE = "Tidyline v1.20"
STEP_TIMEOUT = 120
TRACE = bool(os.environ.get("WINDOW_BENCH_TRACE"))


class Session(XSession):
    def __init__(self):
        super().__init__()
        self.tmp = tempfile.mkdtemp(prefix="tidyline-wbench-")

    def start_x(self):
        # No settings of the person running it; a caret that does not blink.
        conf = os.path.join(self.tmp, "config", "gtk-3.0")
        os.makedirs(conf)
        with open(os.path.join(conf, "settings.ini"), "w") as f:
            f.write("[Settings]\ngtk-cursor-blink=false\n")
        super().start_x(extra_env={"XDG_CONFIG_HOME": os.path.join(self.tmp, "config")})

    def stop(self):
        super().stop()
        shutil.rmtree(self.tmp, ignore_errors=True)

    def offer(self, path):
        """Puts a file's text on the clipboard; xclip stays as its owner."""
        with open(path, "rb") as f:
            p = subprocess.Popen(["xclip", "-selection", "clipboard", "-i"], env=self.env, stdin=f,
                                 stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        p.wait(30)
        poll(lambda: "UTF8_STRING" in self.run(["xclip", "-selection", "clipboard", "-o", "-t", "TARGETS"]),
             10, "xclip to own the clipboard")

    def read_clipboard(self):
        r = subprocess.run(["xclip", "-selection", "clipboard", "-o"], env=self.env, capture_output=True,
                           timeout=STEP_TIMEOUT)
        return r.stdout if r.returncode == 0 else None


class Window(ClientArea):
    """One running tidyline-window-bench and the lines it prints."""

    def __init__(self, s, program):
        super().__init__(s)
        folder = tempfile.mkdtemp(dir=s.tmp)
        shutil.copy2(program, os.path.join(folder, "tidyline"))
        # WINDOW_BENCH_WRAP="perf record -g -o FILE --" runs it under a profiler.
        wrap = os.environ.get("WINDOW_BENCH_WRAP", "").split()
        self.proc = subprocess.Popen(wrap + [os.path.join(folder, "tidyline")], cwd="/", env=s.env,
                                     stdout=subprocess.PIPE, stderr=None if TRACE else subprocess.DEVNULL)
        s.procs.append(self.proc)
        self.lines = queue.Queue()
        self.gaps = []  # (end time, ms, processor ms)
        self.cpu_at = {}  # time of a line -> the window thread's processor time then
        threading.Thread(target=self._read, daemon=True).start()
        self.wait_for(lambda k, w: k == "ready", 20, "the window program to start")
        found = []

        def shown():
            out = s.run(["xdotool", "search", "--onlyvisible", "--name", "^" + TITLE + "$"])
            found[:] = [int(x) for x in out.split()]
            return bool(found) and s.run(["xdotool", "getactivewindow", "getwindowname"]).strip() == TITLE
        poll(shown, 20, f'the window "{TITLE}" to appear and take the focus')
        vals = s.window_info(found[0])
        self.x, self.y = int(vals["Absolute upper-left X"]), int(vals["Absolute upper-left Y"])

    def _read(self):
        for raw in self.proc.stdout:
            words = raw.decode("utf-8", "replace").split()
            if TRACE:
                print(f"  [{time.monotonic():.3f}] {' '.join(words)}", file=sys.stderr, flush=True)
            if len(words) < 2:
                continue
            kind, t, cpu = words[0], int(words[1]) / 1e6, int(words[2]) / 1e6
            if kind == "gap":
                self.gaps.append((t, float(words[3]), float(words[4])))
            else:
                self.cpu_at[t] = cpu
                self.lines.put((kind, t, words[3:]))
        self.lines.put(("exit", time.monotonic(), []))

    def wait_for(self, match, seconds, what):
        """The time of the first line that `match(kind, words)` accepts."""
        deadline = time.monotonic() + seconds
        while True:
            try:
                kind, t, words = self.lines.get(timeout=max(0.01, deadline - time.monotonic()))
            except queue.Empty:
                raise Failure(f"waited {seconds} s for {what}")
            if kind == "exit":
                raise Failure(f"the window program exited while waiting for {what}")
            if match(kind, words):
                return t

    def drain(self):
        while not self.lines.empty():
            self.lines.get()

    def click(self, rect):
        self.drain()
        super().click(rect)

    def max_gap(self, start, end):
        """The longest gap, and the longest time the window's thread ran
        through within one gap (what the gap would be on an idle machine)."""
        inside = [(ms, cpu) for t, ms, cpu in self.gaps if start <= t <= end]
        return max([ms for ms, _ in inside], default=0.0), max([cpu for _, cpu in inside], default=0.0)

    def close(self):
        self.proc.terminate()
        try:
            self.proc.wait(10)
        except subprocess.TimeoutExpired:
            self.proc.kill()
            self.proc.wait()


def lines_of(data):
    return data.count(b"\n") + 1


def time_sort(path):
    """Wall-clock and processor seconds of `LC_ALL=C sort -u`."""
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    start = time.monotonic()
    subprocess.run(["sort", "-u", path], env=dict(os.environ, LC_ALL="C"), stdout=subprocess.DEVNULL, check=True)
    wall = time.monotonic() - start
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    return wall, after.ru_utime + after.ru_stime - before.ru_utime - before.ru_stime


def one_round(s, program, records, expected, pause):
    with open(records, "rb") as f:
        source_lines = lines_of(f.read())
    with open(expected, "rb") as f:
        want = f.read()
    result_lines = lines_of(want)
    r = {"load": os.getloadavg()[0], "cpu": {}}
    r["sort -u"], r["cpu"]["sort -u"] = time_sort(records)
    stalls = {}

    s.offer(records)
    win = Window(s, program)
    time.sleep(pause)
    marks = []

    def step(name, rect, box, lines):
        win.click(rect)
        start = win.wait_for(lambda k, w: k == "press", 10, f"the click on {name}")
        end = win.wait_for(lambda k, w: k == "text" and w == [box, str(lines)], STEP_TIMEOUT,
                           f"{name}: the {box} box to hold {lines} lines")
        r[name] = end - start
        r["cpu"][name] = win.cpu_at[end] - win.cpu_at[start]
        marks.append((name, start))
        time.sleep(pause)

    step("paste", PASTE, "source", source_lines)
    step("process", PROCESS, "result", result_lines)
    win.click(COPY)
    start = win.wait_for(lambda k, w: k == "press", 10, "the click on copy")
    owned = win.wait_for(lambda k, w: k == "owner", STEP_TIMEOUT, "copy: the window to own the clipboard")
    got = s.read_clipboard()
    r["copy"] = time.monotonic() - start
    r["cpu"]["copy"] = win.cpu_at[owned] - win.cpu_at[start]  # up to owning the clipboard
    marks.append(("copy", start))
    if got != want:
        raise Failure(f"the clipboard after copy holds {len(got or b'')} bytes, not the {len(want)} expected")
    time.sleep(pause)
    # The person pastes the records again over the ones in the box.
    s.offer(records)
    step("repaste", PASTE, "source", source_lines)
    marks.append(("end", time.monotonic()))
    for (name, t0), (_, t1) in zip(marks, marks[1:]):
        stalls[name] = win.max_gap(t0, t1)
    win.close()

    # Ctrl+V: GTK's own paste into the empty source box of a new window.
    s.offer(records)
    win = Window(s, program)
    time.sleep(pause)
    # The box holds a sample text: select it all, then paste over it.
    win.click(SOURCE)
    win.wait_for(lambda k, w: k == "press", 10, "the click into the source box")
    s.xdo("key", "ctrl+a")
    win.wait_for(lambda k, w: k == "key" and w == [str(0x61)], 10, "Ctrl+A")
    win.drain()
    s.xdo("key", "ctrl+v")
    start = win.wait_for(lambda k, w: k == "key" and w == [str(0x76)], 10, "Ctrl+V")
    end = win.wait_for(lambda k, w: k == "text" and w == ["source", str(source_lines)], STEP_TIMEOUT,
                       "Ctrl+V: the source box to hold every line")
    r["ctrl+v"] = end - start
    r["cpu"]["ctrl+v"] = win.cpu_at[end] - win.cpu_at[start]
    time.sleep(pause)
    stalls["ctrl+v"] = win.max_gap(start, time.monotonic())
    win.close()
    r["stalls"] = stalls
    return r


def main():
    program, records, expected = sys.argv[1:4]
    rounds = int(sys.argv[4]) if len(sys.argv) > 4 else 3
    pause = float(sys.argv[5]) if len(sys.argv) > 5 else 1.0
    steps = ["paste", "process", "copy", "repaste", "ctrl+v"]
    s = Session()
    results = []
    try:
        s.start_x()
        for i in range(rounds):
            r = one_round(s, program, records, expected, pause)
            results.append(r)
            print(f"round {i + 1}: load {r['load']:.2f}  sort -u {r['sort -u']:.3f} s (cpu {r['cpu']['sort -u']:.3f})  " +
                  "  ".join(f"{n} {r[n]:.3f} s (cpu {r['cpu'][n]:.3f}; stall {r['stalls'][n][0]:.0f} ms, "
                            f"cpu {r['stalls'][n][1]:.0f} ms)" for n in steps), flush=True)
    except Failure as e:
        print(f"window bench FAILED: {e}", file=sys.stderr)
        return 1
    finally:
        s.stop()
    med = {n: statistics.median(r[n] for r in results) for n in steps + ["sort -u"]}
    cpu = {n: statistics.median(r["cpu"][n] for r in results) for n in steps + ["sort -u"]}
    stall = {n: statistics.median(r["stalls"][n][0] for r in results) for n in steps}
    busy = {n: statistics.median(r["stalls"][n][1] for r in results) for n in steps}
    loads = ", ".join(f"{r['load']:.2f}" for r in results)
    print(f"median of {rounds} rounds (1-minute load average at each round: {loads}):")
    print(f"  {'step':<8} {'window':>8} {'sort -u':>8} {'ratio':>6}  {'stall':>7} {'(cpu)':>7}"
          f"  {'cpu: window':>11} {'sort -u':>8}   targets: ratio <= 1, stall <= 150 ms")
    ok = True
    for n in steps:
        ratio = med[n] / med["sort -u"]
        good = ratio <= 1.0 and stall[n] <= 150
        ok = ok and good
        print(f"  {n:<8} {med[n]:7.3f}s {med['sort -u']:7.3f}s {ratio:6.2f}  {stall[n]:4.0f} ms {busy[n]:4.0f} ms"
              f"  {cpu[n]:10.3f}s {cpu['sort -u']:7.3f}s   {'ok' if good else 'MISSED'}")
    print("  (stall: the longest gap between the window's 20 ms ticks, (cpu) the most processor time the window's\n"
          "   thread used within one gap: what a gap comes to when no other program competes; cpu: processor\n"
          "   seconds of the window's thread in the step (copy: until it owns the clipboard) and of sort -u)")
    return 0 if ok else 2


if __name__ == "__main__":
    sys.exit(main())
