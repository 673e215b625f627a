# SPDX-License-Identifier: MIT
"""Runs a command several times and prints its median wall time and peak memory."""
import os
import statistics
import sys
import time


def measure(command, runs, env=None):
    """Returns (wall times in seconds, peak RSS in kB) of `runs` runs of `command`."""
    env = dict(os.environ if env is None else env)
    times = []
    peak_kb = 0
    for run in range(runs + 1):  # the first run warms the caches and is not counted
        start = time.perf_counter()
        # posix_spawn, not fork: the child's peak memory is then the program's alone.
        pid = os.posix_spawn(command[0], command, env,
                             file_actions=[(os.POSIX_SPAWN_OPEN, 1, os.devnull, os.O_WRONLY, 0),
                                           (os.POSIX_SPAWN_OPEN, 2, os.devnull, os.O_WRONLY, 0)])
        _, status, usage = os.wait4(pid, 0)
        elapsed = time.perf_counter() - start
        if os.waitstatus_to_exitcode(status) != 0:
            sys.exit(f"{' '.join(command)} failed with {status}")
        if run > 0:
            times.append(elapsed)
            peak_kb = max(peak_kb, usage.ru_maxrss)
    return times, peak_kb


def print_figures(command, runs, env=None):
    times, peak_kb = measure(command, runs, env)
    print(f"command: {' '.join(command)}")
    print(f"runs: {runs}")
    print(f"median wall time: {statistics.median(times) * 1000:.1f} ms "
          f"(min {min(times) * 1000:.1f}, max {max(times) * 1000:.1f})")
    print(f"peak memory (max RSS): {peak_kb / 1024:.1f} MB")
