#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Median wall time and peak memory of `lorvane --screenshot` on the sample card: start-up,
one read, the first paint of the window and the PNG, offscreen. Once with the card image
given on the command line, once served by the card-image plug-in (plug-in host included).

usage: bench/screenshot_benchmark.py [PROGRAM_FOLDER] [RUNS]
"""
import os
import sys
import tempfile

from process_figures import print_figures


def main():
    folder = sys.argv[1] if len(sys.argv) > 1 else "build/bin"
    runs = int(sys.argv[2]) if len(sys.argv) > 2 else 20
    program = os.path.join(folder, "lorvane")
    card = os.path.join(folder, "samples", "sample-transit.json")
    with tempfile.TemporaryDirectory() as scratch:
        png = os.path.join(scratch, "window.png")
        print_figures([program, "--screenshot", png, "--card", card], runs)
        print()
        print_figures([program, "--screenshot", png], runs)


if __name__ == "__main__":
    main()
