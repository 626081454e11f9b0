#!/usr/bin/env python3
"""Writes a data file of N records with realistic values.

Usage: make-data.py N [OUTPUT] [--seed S]

Keys are shared by a handful of records each and keep one Value1, so most
records are accepted and grouped; about 3 % are out of range and about 1 %
of keys are used with two different Value1, as in real files.
"""
import argparse
import random
import sys


def records(count, rng):
    keys = max(1, count // 4)
    value1_of_key = [rng.randint(1, 48) for _ in range(keys + 1)]
    for _ in range(count):
        key = rng.randint(1, keys)
        value1 = value1_of_key[key]
        roll = rng.random()
        if roll < 0.01:
            value1 = rng.randint(1, 48)  # the key's Value1 differs: key rejected
        elif roll < 0.025:
            value1 = rng.choice((0, 49, 60, 99))
        value2 = rng.randint(1, 7) if rng.random() >= 0.015 else rng.choice((0, 8, 9, -1))
        yield value1, value2, key, rng.randint(0, 999)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("count", type=int)
    parser.add_argument("output", nargs="?", default="Data.txt")
    parser.add_argument("--seed", type=int, default=1)
    args = parser.parse_args()
    rng = random.Random(args.seed)
    out = sys.stdout if args.output == "-" else open(args.output, "w", encoding="ascii")
    with out:
        out.write(f"{args.count}\n")
        lines = []
        for value1, value2, key, spare in records(args.count, rng):
            lines.append(f"{value1},{value2},{key},{spare}\n")
            if len(lines) >= 65536:
                out.write("".join(lines))
                lines.clear()
        out.write("".join(lines))


if __name__ == "__main__":
    main()
