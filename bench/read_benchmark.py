#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Median wall time and peak memory of `lorvane --read --card <sample> --json`.

usage: bench/read_benchmark.py [PROGRAM_FOLDER] [RUNS]
"""
import os
import sys

from process_figures import print_figures


def main():
    folder = sys.argv[1] if len(sys.argv) > 1 else "build/bin"
    runs = int(sys.argv[2]) if len(sys.argv) > 2 else 30
    card = os.path.join(folder, "samples", "sample-transit.json")
    print_figures([os.path.join(folder, "lorvane"), "--read", "--card", card, "--json"], runs)


if __name__ == "__main__":
    main()
