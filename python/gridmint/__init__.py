"""Gridmint: the tables of HTML pages, fast.

parse(data) and read(source) return the tables of one page as a list of Table, in the order
gridmint-extract gives them; Table.to_csv() and Table.to_pandas() convert one, and
read_html() stands in for the most used part of pandas.read_html.
"""

import re

from ._core import FetchError, Table, parse, read

__all__ = ["FetchError", "Table", "parse", "read", "read_html"]


def _padded(rows, width, filler):
    return [row if len(row) == width else list(row) + [filler] * (width - len(row))
            for row in rows]


def _frame(rows, columns, multi_index=False):
    """A DataFrame of `rows`, short rows filled with None. `columns` is None or the labels;
    with `multi_index` they are tuples that make a MultiIndex, else each label stays whole,
    a (text, href) pair included."""
    import pandas

    width = max([len(row) for row in rows] + [len(columns) if columns else 0])
    rows = _padded(rows, width, None)
    index = None
    if columns is not None:
        columns = columns + [""] * (width - len(columns))
        if multi_index:
            index = pandas.MultiIndex.from_tuples(columns)
        else:
            index = pandas.Index(columns, dtype=object, tupleize_cols=False)
    return pandas.DataFrame(rows, columns=index, dtype=object)


def _to_pandas(self, header=None):
    """The table as a pandas.DataFrame of strings; header=0 takes the first row as the
    column names. Short rows are filled with None. With links kept, each column that has
    links is followed by a column of them, as in to_csv()."""
    rows = self._text_rows
    columns = None
    if header is not None:
        if header != 0:
            raise ValueError("header must be None or 0")
        if rows:
            columns, rows = rows[0], rows[1:]
    return _frame(rows, columns)


Table.to_pandas = _to_pandas


def _matches(pattern, rows):
    """Whether the table's text (its rows' non-empty cells joined by spaces, the rows by line
    breaks) matches `pattern`; a table of empty cells has no text, as in pandas. The default
    pattern only asks whether a cell holds a character other than a line break, which needs
    no text to be made."""
    if pattern.pattern == ".+" and not pattern.flags & re.DOTALL:
        return any(cell.strip("\n") for row in rows for cell in row)
    text = "\n".join(" ".join(cell for cell in row if cell) for row in rows)
    return pattern.search(text) is not None


def _matches_attrs(table, attrs):
    # A table's name comes from its id, else its class, so those are what can be asked.
    for key, value in attrs.items():
        if key not in ("id", "class"):
            raise ValueError("attrs may name only 'id' or 'class', not %r" % key)
        if table.name != value:
            return False
    return True


# The sections of a table whose cells extract_links turns into (text, href) pairs.
_LINKED_SECTIONS = {
    None: (),
    "header": ("header",),
    "body": ("body",),
    "footer": ("footer",),
    "all": ("header", "body", "footer"),
}


def _header_and_foot_rows(table):
    """How many rows at the top are the table's header and at the bottom its footer: its
    <thead> rows, else the rows of <th> cells only that start it; its <tfoot> rows."""
    if table._sections is None:
        return 0, 0
    head, header_cells, foot = table._sections
    return (head or header_cells), foot


def _cells_by_section(table, rows, linked):
    """The table's `rows` split into header, body and footer, each cell its text or, in a
    section named in `linked`, the pair (text, href or None)."""
    head, foot = _header_and_foot_rows(table)
    links = table.links
    parts = {"header": (0, head), "body": (head, len(rows) - foot),
             "footer": (len(rows) - foot, len(rows))}
    out = {}
    for section, (begin, end) in parts.items():
        if section in linked:
            out[section] = [list(zip(rows[r], links[r])) for r in range(begin, end)]
        else:
            out[section] = rows[begin:end]
    return out


def _columns_of(header_rows):
    """One header row gives its cells as the labels; several give per column the tuple of
    their cells."""
    if len(header_rows) == 1:
        return list(header_rows[0])
    width = max(len(row) for row in header_rows)
    padded = [list(row) + [""] * (width - len(row)) for row in header_rows]
    return [tuple(row[c] for row in padded) for c in range(width)]


def _table_frame(table, rows, header, linked):
    sections = _cells_by_section(table, rows, linked)
    if header is None:
        head = sections["header"]
        columns = _columns_of(head) if head else None
        # Several header rows make a MultiIndex, unless their labels are (text, href) pairs.
        multi_index = len(head) > 1 and "header" not in linked
        return _frame(sections["body"] + sections["footer"], columns, multi_index)
    if header != 0:
        raise ValueError("header must be None or 0")
    rows = sections["header"] + sections["body"] + sections["footer"]
    return _frame(rows[1:], rows[0] if rows else None)


def read_html(io, *, match=".+", attrs=None, header=None, encoding=None, extract_links=None,
              browser=True):
    """The tables of a page as a list of pandas.DataFrame of strings, like pandas.read_html.

    `io` is a path, an http(s):// address, a binary file object, or the HTML itself as str
    or bytes. `match` keeps the tables whose text matches the regular expression; `attrs`
    keeps those whose id or class is the given value; `encoding` is where decoding starts.
    With header=None a table's header rows, as pandas finds them (its <thead> rows, else the
    rows of <th> cells only that start it), name the columns, a MultiIndex when there are
    several; header=0 takes each table's first row as its column names. Its <tfoot> rows
    come last. Raises ValueError("No tables found") when no table is left, as pandas does.

    extract_links ("header", "body", "footer" or "all") turns every cell of those sections
    into a pair (text, href), href the address of the cell's first link or None; header
    labels become such pairs too. The addresses are made absolute against the page's
    <base href>, else the address it was fetched from, and lose the white space around them;
    a page given as text or a file without <base href> keeps them as written.

    It reads the page as a browser does (browser=True) by default, because that is what
    pandas users expect: the tables a browser shows, spanning cells repeated into every slot
    they cover, cell text as rendered. browser=False uses gridmint's own reading instead,
    which knows no header rows and no links.
    """
    if extract_links not in _LINKED_SECTIONS:
        raise ValueError('`extract_links` must be one of {None, "header", "footer", "body", '
                         '"all"}, got "%s"' % (extract_links,))
    if extract_links is not None and not browser:
        raise ValueError("extract_links needs the browser reading (browser=True)")
    options = {"browser": browser, "encoding": encoding, "links": extract_links is not None}
    if isinstance(io, (bytes, bytearray)) or (isinstance(io, str) and "<" in io):
        tables = parse(io, **options)
    else:
        tables = read(io, **options)
    pattern = re.compile(match)
    linked = _LINKED_SECTIONS[extract_links]
    frames = []
    for table in tables:
        if attrs is not None and not _matches_attrs(table, attrs):
            continue
        rows = table.rows
        if _matches(pattern, rows):
            frames.append(_table_frame(table, rows, header, linked))
    if not frames:
        raise ValueError("No tables found")
    return frames
