"""Gridmint: the tables of HTML pages, fast.

parse(data) and read(source) return the tables of one page as a list of Table, in the order
gridmint-extract gives them; Table.to_csv() and Table.to_pandas() convert one, and
read_html() stands in for the most used part of pandas.read_html.
"""

import re

from ._core import FetchError, Table, parse, read

__all__ = ["FetchError", "Table", "parse", "read", "read_html"]


def _to_pandas(self, header=None):
    """The table as a pandas.DataFrame of strings; header=0 takes the first row as the
    column names. Short rows are filled with None."""
    import pandas

    rows = self.rows
    columns = None
    if header is not None:
        if header != 0:
            raise ValueError("header must be None or 0")
        if rows:
            columns, rows = rows[0], rows[1:]
    width = max([len(row) for row in rows] + [len(columns) if columns else 0])
    rows = [row + [None] * (width - len(row)) for row in rows]
    if columns is not None:
        columns = columns + [""] * (width - len(columns))
    return pandas.DataFrame(rows, columns=columns, dtype=object)


Table.to_pandas = _to_pandas


def _table_text(table):
    return "\n".join(" ".join(row) for row in table.rows)


def _matches_attrs(table, attrs):
    # A table's name comes from its id, else its class, so those are what can be asked.
    for key, value in attrs.items():
        if key not in ("id", "class"):
            raise ValueError("attrs may name only 'id' or 'class', not %r" % key)
        if table.name != value:
            return False
    return True


def read_html(io, *, match=".+", attrs=None, header=None, encoding=None, extract_links=None,
              browser=True):
    """The tables of a page as a list of pandas.DataFrame of strings, like pandas.read_html.

    `io` is a path, an http(s):// address, a binary file object, or the HTML itself as str
    or bytes. `match` keeps the tables whose text matches the regular expression; `attrs`
    keeps those whose id or class is the given value; header=0 takes each table's first
    row as its column names; `encoding` is where decoding starts. Raises
    ValueError("No tables found") when no table is left, as pandas does.

    It reads the page as a browser does (browser=True) by default, because that is what
    pandas users expect: the tables a browser shows, spanning cells repeated into every slot
    they cover, cell text as rendered. browser=False uses gridmint's own reading instead.
    extract_links is not supported yet.
    """
    if extract_links is not None:
        raise ValueError("extract_links: this build of gridmint does not give links yet")
    options = {"browser": browser, "encoding": encoding}
    if isinstance(io, (bytes, bytearray)) or (isinstance(io, str) and "<" in io):
        tables = parse(io, **options)
    else:
        tables = read(io, **options)
    pattern = re.compile(match)
    chosen = [
        t for t in tables
        if pattern.search(_table_text(t)) and (attrs is None or _matches_attrs(t, attrs))
    ]
    if not chosen:
        raise ValueError("No tables found")
    return [t.to_pandas(header=header) for t in chosen]
