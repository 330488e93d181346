#!/usr/bin/env python3
"""Runs shell commands side by side and prints medians, ratios and peak memory.

Usage: timing.py RUNS NAME=COMMAND [NAME=COMMAND ...]
Each command runs through /bin/sh, RUNS times, interleaved so that a busy
moment of the machine hits every command alike. Prints one line per command:
name, median seconds, peak resident memory of the process the shell started
(for a pipeline: the shell's largest child), all runs, and the median of the
processor time (user + system) the command used, which a busy machine
disturbs less than the wall-clock time.
"""
import os
import statistics
import subprocess
import sys
import time


def run(cmd):
    start = time.perf_counter()
    proc = subprocess.Popen(['/bin/sh', '-c', 'exec ' + cmd])
    _, status, usage = os.wait4(proc.pid, 0)
    elapsed = time.perf_counter() - start
    if os.waitstatus_to_exitcode(status) != 0:
        sys.exit(f'command failed: {cmd}')
    return elapsed, usage.ru_maxrss, usage.ru_utime + usage.ru_stime  # KiB on Linux


def main():
    runs = int(sys.argv[1])
    named = [a.split('=', 1) for a in sys.argv[2:]]
    times = {n: [] for n, _ in named}
    peaks = {n: 0 for n, _ in named}
    cpus = {n: [] for n, _ in named}
    for _ in range(runs):
        for name, cmd in named:
            t, rss, cpu = run(cmd)
            times[name].append(t)
            cpus[name].append(cpu)
            peaks[name] = max(peaks[name], rss)
    for name, _ in named:
        med = statistics.median(times[name])
        runs_text = ' '.join(f'{t:.3f}' for t in times[name])
        cpu = statistics.median(cpus[name])
        print(f'{name}\t{med:.3f}\t{peaks[name]}\t{runs_text}\t{cpu:.3f}')


if __name__ == '__main__':
    main()
