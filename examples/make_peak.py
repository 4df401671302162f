#!/usr/bin/env python3
"""Writes peak.dat: a Gaussian peak on a sloping background with counting noise.

The test host gives point j the abscissa j*0.1 - 2.0, so 350 points cover
channels -1.9 to 33.0. Counts are drawn from a Poisson distribution with a
fixed seed, so the file is the same on every run; each error is the square
root of its count.
"""
import math
import random

POINTS = 350
CENTRE, SIGMA, FLAT, SLOPE, HEIGHT = 15.3, 2.1, 120.0, -1.6, 850.0


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
    rng = random.Random(20261208)
    values = []
    for j in range(1, POINTS + 1):
        x = j * 0.1 - 2.0
        t = (x - CENTRE) / SIGMA
        mean = HEIGHT * math.exp(-0.5 * t * t) + FLAT + SLOPE * x
        counts = poisson(rng, mean)
        values.append((counts, math.sqrt(counts) if counts > 0 else 1.0))
    with open("peak.dat", "w") as out:
        out.write("Gaussian peak on a sloping background\n")
        out.write("pairs of counts and errors, five channels a line\n")
        out.write("channel j lies at j*0.1-2.0\n")
        for g in range(0, POINTS, 5):
            out.write(" ".join("%6d %7.3f" % v for v in values[g:g + 5]) + "\n")


if __name__ == "__main__":
    main()
