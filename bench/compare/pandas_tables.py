#!/usr/bin/env python3
"""The same job with pandas.read_html (lxml flavour): every table of the page as a data
frame. Prints the number of tables, rows and cells that pandas made of them."""
import sys

import pandas


def main(path):
    try:
        frames = pandas.read_html(path, flavor="lxml")
    except ValueError:  # raised when the page holds no table at all
        frames = []
    rows = sum(len(frame.index) for frame in frames)
    cells = sum(frame.size for frame in frames)
    print(f"tables={len(frames)} rows={rows} cells={cells}")


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit("usage: pandas_tables.py PAGE")
    main(sys.argv[1])
