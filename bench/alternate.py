#!/usr/bin/env python3
"""Runs shell commands in turn (A B C A B C ...) and prints, per command, the
median and fastest wall seconds and the median peak memory of the whole process,
and the median of the pair-by-pair ratios of every command to the first.

  alternate.py [-n RUNS] [--warmup N] [--cpu 0] -- 'command A' 'command B' ...

Pairing the runs keeps a ratio meaningful when the machine's speed drifts. With
--cpu the commands run under taskset -c. The peak memory is GNU time's (%M) of
the command's shell: a child forked from this script would start from the
script's own size. Output,
one line per command: index, median s, min s, median peak MiB, median ratio to A,
ratio of the fastest runs to A's fastest.
"""
import argparse
import os
import statistics
import subprocess
import sys
import tempfile
import time


def run_once(command, cpus):
    with tempfile.NamedTemporaryFile("r") as peak:
        pin = ["taskset", "-c", cpus] if cpus else []
        start = time.monotonic()
        result = subprocess.run(["/usr/bin/time", "-f", "%M", "-o", peak.name] + pin + ["sh", "-c", command],
                                stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL)
        wall = time.monotonic() - start
        if result.returncode != 0:
            sys.exit(f"alternate.py: exit {result.returncode} from: {command}")
        return wall, int(peak.read().split()[-1]) / 1024.0  # KiB


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("-n", type=int, default=5)
    parser.add_argument("--warmup", type=int, default=1)
    parser.add_argument("--cpu", default="")
    parser.add_argument("commands", nargs="+")
    args = parser.parse_args()
    cpus = args.cpu
    for _ in range(args.warmup):
        for command in args.commands:
            run_once(command, cpus)
    walls = [[] for _ in args.commands]
    peaks = [[] for _ in args.commands]
    for _ in range(args.n):
        for i, command in enumerate(args.commands):
            wall, peak = run_once(command, cpus)
            walls[i].append(wall)
            peaks[i].append(peak)
    for i in range(len(args.commands)):
        ratio = statistics.median(w / a for w, a in zip(walls[i], walls[0]))
        print(f"{i} {statistics.median(walls[i]):.4f} {min(walls[i]):.4f} {statistics.median(peaks[i]):.1f} "
              f"{ratio:.4f} {min(walls[i]) / min(walls[0]):.4f}")


if __name__ == "__main__":
    main()
