#!/usr/bin/env python3
"""Writes gauss1600.dat: 1600 points of a Gaussian peak on a sloping background
with counting noise, in the bundled host's input format, for timing whole sessions.

The host gives point j the abscissa j*0.1 - 2.0, so the points cover -1.9 to 158.0.
Three heading lines, then groups of five pairs (count, error), one group a line.
Counts are Poisson with a fixed seed, so every run writes the same file; each
error is the square root of its count (1 for a count of 0).

Usage: make_gauss.py [points] [output]   (defaults 1600, gauss1600.dat beside this script)
"""
import math
import os
import random
import sys

CENTRE, SIGMA, FLAT, SLOPE, HEIGHT = 78.3, 9.5, 120.0, -0.4, 850.0


def poisson(rng, mean):
    # Knuth's method in pieces, which stays exact for means of a few thousand.
    count = 0
    left = mean
    while left > 0:
        step = min(left, 500.0)
        left -= step
        limit = math.exp(-step)
        prod = rng.random()
        while prod > limit:
            count += 1
            prod *= rng.random()
    return count


def main():
    points = int(sys.argv[1]) if len(sys.argv) > 1 else 1600
    here = os.path.dirname(os.path.abspath(__file__))
    output = sys.argv[2] if len(sys.argv) > 2 else os.path.join(here, "gauss%d.dat" % points)
    if points % 5 != 0 or not 5 <= points <= 1600:
        sys.exit("points: a multiple of 5 from 5 to 1600 (the host reads at most 1600)")
    rng = random.Random(20260412)
    values = []
    for j in range(1, points + 1):
        x = j * 0.1 - 2.0
        t = (x - CENTRE) / SIGMA
        mean = HEIGHT * math.exp(-0.5 * t * t) + FLAT + SLOPE * x
        counts = poisson(rng, max(mean, 0.0))
        values.append((counts, math.sqrt(counts) if counts > 0 else 1.0))
    with open(output, "w") as out:
        out.write("Gaussian peak on a sloping background, %d points\n" % points)
        out.write("pairs of counts and errors, five channels a line\n")
        out.write("channel j lies at j*0.1-2.0\n")
        for g in range(0, points, 5):
            out.write(" ".join("%6d %7.3f" % v for v in values[g:g + 5]) + "\n")


if __name__ == "__main__":
    main()
