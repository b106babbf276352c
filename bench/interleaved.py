#!/usr/bin/env python3
"""Interleaved rounds on one folder: the two-thread floor and sumwright binaries, in an order that
rotates from round to round, the listing removed before every run (outside the timing). Prints
the median wall and processor time of each and its ratio to the floor's median wall time. Many
rounds of a fast folder say more than a few rounds of bench/folder.sh on a noisy machine.

  bench/interleaved.py BUILD FOLDER ROUNDS LABEL=BINARY...
  e.g. bench/interleaved.py build-bench build-bench-data/small 61 now=build-bench/cli/sumwright
"""
import os
import resource
import statistics
import subprocess
import sys
import time


def main():
    build, folder, rounds = sys.argv[1], sys.argv[2], int(sys.argv[3])
    runs = {"floor-2": [os.path.join(build, "bench", "folder_floor"), folder, "2"]}
    for arg in sys.argv[4:]:
        label, _, binary = arg.partition("=")
        runs[label] = [binary, "--no-compare", "-q", folder]
    labels = list(runs)
    wall = {k: [] for k in labels}
    cpu = {k: [] for k in labels}
    for r in range(rounds):
        for label in labels[r % len(labels):] + labels[:r % len(labels)]:
            try:
                os.remove(os.path.join(folder, "File CRCs.TXT"))
            except FileNotFoundError:
                pass
            before = resource.getrusage(resource.RUSAGE_CHILDREN)
            start = time.perf_counter()
            subprocess.run(runs[label], stdout=subprocess.DEVNULL, check=True)
            wall[label].append(time.perf_counter() - start)
            after = resource.getrusage(resource.RUSAGE_CHILDREN)
            cpu[label].append(after.ru_utime - before.ru_utime + after.ru_stime - before.ru_stime)
    floor = statistics.median(wall["floor-2"])
    print(f"{rounds} rounds, medians")
    for label in labels:
        w = statistics.median(wall[label])
        print(f"  {label:12s} wall {w:.4f} s  processor {statistics.median(cpu[label]):.4f} s"
              f"  {w / floor:.3f}x floor-2")


if __name__ == "__main__":
    main()
