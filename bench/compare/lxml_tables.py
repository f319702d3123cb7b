#!/usr/bin/env python3
"""The same job in Python with lxml's HTML parser: parse the page into a tree, then visit
every table, every row and every td or th, taking each cell's text content stripped. Prints
the counts and a checksum of the texts, like the C programs beside it."""
import sys
import zlib

from lxml import html


def main(path):
    root = html.parse(path).getroot()
    tables = sum(1 for _ in root.iter("table"))
    rows = sum(1 for _ in root.iter("tr"))
    cells = 0
    checksum = 0
    for cell in root.iter("td", "th"):
        checksum = zlib.crc32(cell.text_content().strip().encode("utf-8"), checksum)
        cells += 1
    print(f"tables={tables} rows={rows} cells={cells} checksum={checksum:08x}")


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit("usage: lxml_tables.py PAGE")
    main(sys.argv[1])
