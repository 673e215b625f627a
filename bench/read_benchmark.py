#!/usr/bin/env python3
"""Median wall time and peak memory of `lorvane --read --card <sample> --json`.

usage: bench/read_benchmark.py [PROGRAM_FOLDER] [RUNS]
"""
import os
import statistics
import subprocess
import sys
import time


def main():
    folder = sys.argv[1] if len(sys.argv) > 1 else "build/bin"
    runs = int(sys.argv[2]) if len(sys.argv) > 2 else 30
    program = os.path.join(folder, "lorvane")
    card = os.path.join(folder, "samples", "sample-transit.json")
    command = [program, "--read", "--card", card, "--json"]
    subprocess.run(command, check=True, stdout=subprocess.DEVNULL)  # warm the caches
    times = []
    peak_kb = 0
    for _ in range(runs):
        start = time.perf_counter()
        # posix_spawn, not fork: the child's peak memory is then lorvane's alone.
        pid = os.posix_spawn(program, command, os.environ,
                             file_actions=[(os.POSIX_SPAWN_OPEN, 1, os.devnull, os.O_WRONLY, 0)])
        _, status, usage = os.wait4(pid, 0)
        times.append(time.perf_counter() - start)
        if os.waitstatus_to_exitcode(status) != 0:
            sys.exit(f"lorvane failed with {status}")
        peak_kb = max(peak_kb, usage.ru_maxrss)
    print(f"command: {' '.join(command)}")
    print(f"runs: {runs}")
    print(f"median wall time: {statistics.median(times) * 1000:.1f} ms "
          f"(min {min(times) * 1000:.1f}, max {max(times) * 1000:.1f})")
    print(f"peak memory (max RSS): {peak_kb / 1024:.1f} MB")


if __name__ == "__main__":
    main()
