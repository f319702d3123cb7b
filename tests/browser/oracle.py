#!/usr/bin/env python3
"""The browser reading written over html5lib's document tree: the reference
that `gridmint-extract --browser` is compared with.

The page's bytes get their encoding the way a browser settles it, html5lib
builds the tree (scripting on, so noscript holds raw text), and the tables are
read off the tree:

- every HTML `table` element, in tree order; rows in `table.rows` order (the
  rows of the theads, then of the tbodies, then of the tfoots); cells td/th;
- a cell's text: text nodes only; br, the edges of block elements and of a
  nested table are line breaks; hidden elements and nested tables give no
  text; each line's HTML white space collapses to one space, lines are trimmed,
  empty ones dropped, the rest joined with " " (or "\\n" when line breaks are
  kept);
- spans on the slot grid of each row group (colspan 1-1000, rowspan 0-65534,
  0 and anything longer reaching to the group's last row): "repeat" writes a
  spanning cell's text in every slot it covers, "empty" only in its first,
  "none" writes one cell per element.  Where two cells claim a slot the first
  keeps it.  A row runs to its last covered slot; uncovered slots before it
  are empty;
- names: the table's id, else its class, else "noclass N", a repeated name
  taking the first free " (n)".  Tables and rows may be empty.

    oracle.py [--spans repeat|empty|none] [--keep-line-breaks] [--charset LABEL] FILE

prints the tables as one JSON object, like `gridmint-extract --json`.
"""

from __future__ import annotations

import argparse
import codecs
import json
import re
import sys
import urllib.parse

import html5lib
import webencodings

sys.dont_write_bytecode = True

# --------------------------------------------------------------------------
# Encodings

# Labels of the Encoding standard that webencodings' older table lacks or
# resolves differently.
LABEL_CHANGES = {
    "unicode11utf8": "utf-8", "unicode20utf8": "utf-8", "x-unicode20utf8": "utf-8",
    "koi8-ru": "koi8-u", "csunicode": "utf-16le", "iso-10646-ucs-2": "utf-16le",
    "ucs-2": "utf-16le", "unicode": "utf-16le", "unicodefeff": "utf-16le",
    "unicodefffe": "utf-16be", "ms932": "shift_jis", "csiso2022kr": "replacement", "hz-gb-2312": "replacement",
    "iso-2022-cn": "replacement", "iso-2022-cn-ext": "replacement",
    "iso-2022-kr": "replacement", "replacement": "replacement",
}
ASCII_WHITESPACE = "\t\n\f\r "


def encoding_for_label(label: str | bytes) -> str | None:
    """The Encoding standard's name (lower case) for a label, or None."""
    if isinstance(label, bytes):
        label = label.decode("latin-1")
    key = label.strip(ASCII_WHITESPACE).lower()
    if key != key.encode("ascii", "replace").decode("ascii"):
        return None
    if key in LABEL_CHANGES:
        return LABEL_CHANGES[key]
    return webencodings.LABELS.get(key)


def _c1_controls(error):
    """Bytes 0x80-0x9F that a windows code page leaves undefined decode to the
    C1 control of the same value; anything else to U+FFFD."""
    bad = error.object[error.start:error.end]
    return "".join(chr(b) if 0x80 <= b <= 0x9F else "\ufffd" for b in bad), error.end


codecs.register_error("gridmint-c1", _c1_controls)

PYTHON_CODECS = {
    "utf-8": "utf-8", "utf-16le": "utf-16-le", "utf-16be": "utf-16-be",
    "shift_jis": "cp932", "euc-kr": "cp949", "gbk": "gb18030", "gb18030": "gb18030",
    "big5": "big5hkscs", "euc-jp": "euc_jp", "iso-2022-jp": "iso2022_jp",
    "iso-8859-8-i": "iso8859_8", "macintosh": "mac_roman", "x-mac-cyrillic": "mac_cyrillic",
    "windows-874": "cp874", "ibm866": "cp866",
}


def decode(data: bytes, encoding: str) -> str:
    """The text of the bytes in an encoding, undecodable bytes as U+FFFD."""
    if encoding == "replacement":
        return "\ufffd" if data else ""
    if encoding == "x-user-defined":
        return "".join(chr(b) if b < 0x80 else chr(0xF780 + b - 0x80) for b in data)
    name = PYTHON_CODECS.get(encoding, encoding)
    errors = "gridmint-c1" if encoding.startswith("windows-") else "replace"
    return data.decode(name, errors)


# The pre-scan of the first 1,024 bytes for a <meta> declaration.

SPACE_BYTES = b"\t\n\f\r "


def _get_attribute(data: bytes, i: int):
    """(name, value, next position) of the attribute at i, or (None, None, i)
    at the end of the tag."""
    n = len(data)
    while i < n and data[i:i + 1] in b"\t\n\f\r /":
        i += 1
    if i >= n or data[i:i + 1] == b">":
        return None, None, i
    name = bytearray()
    while True:
        if i >= n:
            return None, None, i
        c = data[i:i + 1]
        if c == b"=" and name:
            break
        if c in SPACE_BYTES:
            while i < n and data[i:i + 1] in SPACE_BYTES:
                i += 1
            if i >= n or data[i:i + 1] != b"=":
                return bytes(name), b"", i
            break
        if c in b"/>":
            return bytes(name), b"", i
        name += c.lower()
        i += 1
    i += 1  # the "="
    while i < n and data[i:i + 1] in SPACE_BYTES:
        i += 1
    if i >= n:
        return None, None, i
    value = bytearray()
    quote = data[i:i + 1]
    if quote in (b'"', b"'"):
        i += 1
        while i < n and data[i:i + 1] != quote:
            value += data[i:i + 1].lower()
            i += 1
        return (bytes(name), bytes(value), i + 1) if i < n else (None, None, i)
    if quote == b">":
        return bytes(name), b"", i
    while i < n and data[i:i + 1] not in b"\t\n\f\r >":
        value += data[i:i + 1].lower()
        i += 1
    return (bytes(name), bytes(value), i) if i < n else (None, None, i)


CHARSET_WORD = re.compile("charset", re.I | re.A)


def charset_from_content(content: str | bytes) -> str | None:
    """The encoding a meta element's content attribute names, or None."""
    text = content.decode("latin-1") if isinstance(content, bytes) else content
    i = 0
    while True:
        found = CHARSET_WORD.search(text, i)
        if not found:
            return None
        i = found.end()
        while i < len(text) and text[i] in ASCII_WHITESPACE:
            i += 1
        if i < len(text) and text[i] == "=":
            break
    i += 1
    while i < len(text) and text[i] in ASCII_WHITESPACE:
        i += 1
    if i >= len(text):
        return None
    if text[i] in "\"'":
        end = text.find(text[i], i + 1)
        return None if end < 0 else encoding_for_label(text[i + 1:end])
    end = i
    while end < len(text) and text[end] not in ASCII_WHITESPACE + ";":
        end += 1
    return encoding_for_label(text[i:end])


def _meta_result(charset):
    return {"utf-16le": "utf-8", "utf-16be": "utf-8",
            "x-user-defined": "windows-1252"}.get(charset, charset)


def prescan(data: bytes) -> str | None:
    """The encoding a <meta> in the first 1,024 bytes declares, or None."""
    data = data[:1024]
    n, i = len(data), 0
    while i < n:
        if data.startswith(b"<!--", i):
            end = data.find(b"-->", i + 2)
            if end < 0:
                return None
            i = end + 3
            continue
        if (data[i:i + 5].lower() == b"<meta" and i + 5 < n
                and data[i + 5:i + 6] in b"\t\n\f\r /"):
            i += 6
            seen, got_pragma, need_pragma, charset = set(), False, None, None
            while True:
                name, value, i = _get_attribute(data, i)
                if name is None:
                    break
                if name in seen:
                    continue
                seen.add(name)
                if name == b"http-equiv":
                    got_pragma = got_pragma or value == b"content-type"
                elif name == b"content":
                    found = charset_from_content(value)
                    if found and charset is None:
                        charset, need_pragma = found, True
                elif name == b"charset":
                    charset, need_pragma = encoding_for_label(value) or False, False
            if i >= n:
                return None
            if need_pragma is None or (need_pragma and not got_pragma) or not charset:
                continue
            return _meta_result(charset)
        if data[i:i + 1] == b"<" and (data[i + 1:i + 2].isalpha() or (
                data[i + 1:i + 2] == b"/" and data[i + 2:i + 3].isalpha())):
            i += 2
            while i < n and data[i:i + 1] not in b"\t\n\f\r >":
                i += 1
            while True:
                name, _, i = _get_attribute(data, i)
                if name is None:
                    break
            if i >= n:
                return None
        elif data[i:i + 2] in (b"<!", b"</", b"<?"):
            end = data.find(b">", i + 2)
            if end < 0:
                return None
            i = end
        i += 1
    return None


class _MetaRecorder(html5lib.getTreeBuilder("etree")):
    """Remembers the attributes of every HTML meta element the parser inserts:
    the meta start tags a browser's parser acts on."""

    def __init__(self, *args, **kwargs):
        super().__init__(*args, **kwargs)
        self.metas = []

    def _note(self, token):
        if token["name"] == "meta" and token.get("namespace") in (None, HTML_NAMESPACE):
            self.metas.append(dict(token["data"]))

    def insertElementNormal(self, token):
        self._note(token)
        return super().insertElementNormal(token)

    def insertElementTable(self, token):
        if self.openElements[-1].name not in FOSTERING_PARENTS:
            return self.insertElementNormal(token)
        self._note(token)
        return super().insertElementTable(token)


HTML_NAMESPACE = html5lib.constants.namespaces["html"]
FOSTERING_PARENTS = html5lib.constants.tableInsertModeElements


def later_meta_charset(data: bytes) -> str | None:
    """The first meta declaration the parser meets, reading the bytes as
    windows-1252 (every byte a character, ASCII kept)."""
    parser = html5lib.HTMLParser(tree=_MetaRecorder, namespaceHTMLElements=False)
    parser.parse(decode(data, "windows-1252"), scripting=True)
    for attributes in parser.tree.metas:
        charset = encoding_for_label(attributes["charset"]) if "charset" in attributes else None
        if (charset is None and attributes.get("http-equiv", "").lower() == "content-type"
                and "content" in attributes):
            charset = charset_from_content(attributes["content"])
        if charset:
            return _meta_result(charset)
    return None


def detected_charset(data: bytes) -> str | None:
    """ICU's best guess when it is sure enough and a browser could use it."""
    import icu  # noqa: PLC0415 (needed only for pages that get this far)
    detector = icu.CharsetDetector(data)
    match = detector.detect()
    if match is None or match.getConfidence() < 50:
        return None
    name = encoding_for_label(match.getName())
    if name in (None, "utf-16le", "utf-16be", "replacement"):
        return None
    return name


BOMS = [(b"\xef\xbb\xbf", "utf-8"), (b"\xfe\xff", "utf-16be"), (b"\xff\xfe", "utf-16le")]


def settle_encoding(data: bytes, transport: str | None = None) -> tuple[str, int]:
    """The encoding a browser reads the page in, and the length of its BOM."""
    for bom, name in BOMS:
        if data.startswith(bom):
            return name, len(bom)
    if transport and encoding_for_label(transport):
        return encoding_for_label(transport), 0
    charset = prescan(data) or later_meta_charset(data)
    if charset:
        return charset, 0
    try:
        data.decode("utf-8")
        return "utf-8", 0
    except UnicodeDecodeError:
        pass
    return detected_charset(data) or "windows-1252", 0


def page_text(data: bytes, transport: str | None = None) -> str:
    encoding, bom = settle_encoding(data, transport)
    return decode(data[bom:], encoding)


# --------------------------------------------------------------------------
# Tables off the tree

BLOCKS = frozenset(
    "p div li h1 h2 h3 h4 h5 h6 ul ol dl dt dd pre blockquote hr address figure section "
    "article header footer nav aside main form fieldset details summary".split())
HIDDEN = frozenset("script style template head noscript rp".split())
HIDDEN_STYLE = re.compile(r"display[\t\n\f\r ]*:[\t\n\f\r ]*none|"
                          r"visibility[\t\n\f\r ]*:[\t\n\f\r ]*hidden", re.I | re.A)
WHITESPACE_RUN = re.compile(r"[\t\n\f\r ]+")
LINE_BREAK = None  # marks a line break among a cell's text pieces


def local_name(element) -> str | None:
    tag = element.tag
    if not isinstance(tag, str):
        return None  # comment or processing instruction
    return tag.rsplit("}", 1)[-1]


def is_hidden(element) -> bool:
    return (local_name(element) in HIDDEN or "hidden" in element.attrib
            or HIDDEN_STYLE.search(element.get("style", "")) is not None)


def _collect_text(element, pieces: list) -> None:
    for child in element:
        name = local_name(child)
        if name is not None and not is_hidden(child):
            if child.tag == "table":
                pieces.append(LINE_BREAK)
            else:
                block = child.tag in BLOCKS
                if block or child.tag == "br":
                    pieces.append(LINE_BREAK)
                pieces.append(child.text or "")
                _collect_text(child, pieces)
                if block:
                    pieces.append(LINE_BREAK)
        pieces.append(child.tail or "")


def cell_text(cell, keep_line_breaks: bool) -> str:
    pieces = [cell.text or ""]
    _collect_text(cell, pieces)
    lines, line = [], []
    for piece in pieces + [LINE_BREAK]:
        if piece is LINE_BREAK:
            text = WHITESPACE_RUN.sub(" ", "".join(line)).strip(" ")
            if text:
                lines.append(text)
            line = []
        else:
            line.append(piece)
    return ("\n" if keep_line_breaks else " ").join(lines)


def _first_href(element, tag, skipped):
    """The href of the first HTML <tag href> among the element's descendants, in
    document order, not looking inside the descendants `skipped` accepts; or None."""
    for child in element:
        if local_name(child) is None or skipped(child):
            continue
        if child.tag == tag and "href" in child.attrib:
            return child.get("href")
        found = _first_href(child, tag, skipped)
        if found is not None:
            return found
    return None


def _first_link(element):
    """The first shown link of a cell, outside any table nested in it."""
    return _first_href(element, "a", lambda e: is_hidden(e) or e.tag == "table")


def _first_base_href(element):
    return _first_href(element, "base", lambda e: e.tag == "template")


def clean_address(address: str) -> str:
    """White space and controls around dropped, tabs and line breaks inside removed."""
    address = address.strip("".join(chr(c) for c in range(0x21)))
    return re.sub(r"[\t\n\r]", "", address)


def resolve(base: str | None, href: str) -> str:
    """href made absolute against base (an absolute address, or None: href as
    written, cleaned)."""
    href = clean_address(href)
    if base is None:
        return href
    return urllib.parse.urljoin(urllib.parse.urldefrag(clean_address(base))[0], href)


def link_base(document, page_address: str | None) -> str | None:
    base = _first_base_href(document)
    if base is None:
        return page_address
    return resolve(page_address, base) if page_address else clean_address(base)


def parse_span(value: str | None) -> int:
    """A colspan or rowspan value read as a non-negative integer, -1 when it
    does not read as one."""
    if value is None:
        return -1
    match = re.match(r"[\t\n\f\r ]*([-+]?)([0-9]+)", value)
    if not match or (match.group(1) == "-" and int(match.group(2)) != 0):
        return -1
    return int(match.group(2))


def span_sizes(cell) -> tuple[int, int]:
    colspan = parse_span(cell.get("colspan"))
    colspan = 1 if colspan <= 0 else min(colspan, 1000)
    rowspan = parse_span(cell.get("rowspan"))
    rowspan = 1 if rowspan < 0 else min(rowspan, 65534)
    return colspan, rowspan


def _children(element, *names):
    return [child for child in element if child.tag in names]


def row_groups(table) -> list:
    """The table's row groups, each a list of rows, in table.rows order."""
    groups = [("thead", []), ("body", []), ("tfoot", [])]
    order = {"thead": 0, "tbody": 1, "tfoot": 2}
    for child in table:
        if child.tag in order:
            groups[order[child.tag]][1].append(_children(child, "tr"))
        elif child.tag == "tr":
            groups[1][1].append([child])
    return [group for _, lists in groups for group in lists]


def group_rows(rows: list, texts: dict, spans: str) -> list:
    if spans == "none":
        return [[texts[id(cell)] for cell in _children(row, "td", "th")] for row in rows]
    grid = {}  # (y, x) -> (cell, whether the slot is the cell's first)
    for y, row in enumerate(rows):
        x = 0
        for cell in _children(row, "td", "th"):
            while (y, x) in grid:
                x += 1
            colspan, rowspan = span_sizes(cell)
            last = len(rows) if rowspan == 0 else min(y + rowspan, len(rows))
            for yy in range(y, last):
                for xx in range(x, x + colspan):
                    grid.setdefault((yy, xx), (cell, yy == y and xx == x))
            x += colspan
    widths = {}
    for y, x in grid:
        widths[y] = max(widths.get(y, 0), x + 1)
    out = []
    for y in range(len(rows)):
        line = []
        for x in range(widths.get(y, 0)):
            cell, first = grid.get((y, x), (None, False))
            line.append(texts[id(cell)] if cell is not None and (first or spans == "repeat")
                        else "")
        out.append(line)
    return out


def _find_tables(element, hidden: bool, found: list) -> None:
    for child in element:
        if local_name(child) is None:
            continue
        child_hidden = hidden or is_hidden(child)
        if child.tag == "table":
            found.append((child, child_hidden))
        _find_tables(child, child_hidden, found)


def _cell_texts(table, hidden: bool, keep_line_breaks: bool, base=False) -> dict:
    """Each cell's text; with a base given (None for none), a cell with a link
    as {"text", "href"}."""
    texts = {id(None): ""}
    for group in [table] + _children(table, "thead", "tbody", "tfoot"):
        group_hidden = hidden or (group is not table and is_hidden(group))
        for row in _children(group, "tr"):
            for cell in _children(row, "td", "th"):
                shown = not (group_hidden or is_hidden(row) or is_hidden(cell))
                texts[id(cell)] = cell_text(cell, keep_line_breaks) if shown else ""
                href = _first_link(cell) if shown and base is not False else None
                if href is not None:
                    texts[id(cell)] = {"text": texts[id(cell)], "href": resolve(base, href)}
    return texts


def tables_of_tree(document, spans: str = "repeat", keep_line_breaks: bool = False,
                   links: bool = False, page_address: str | None = None) -> list:
    """[(name, rows)] for every table of the tree, in tree order; with links,
    each cell's first link, made absolute against the page's <base href>, else
    page_address."""
    against = link_base(document, page_address) if links else False
    found = []
    _find_tables(document, False, found)
    result, names, unnamed, next_suffix = [], set(), 0, {}
    for table, hidden in found:
        if "id" in table.attrib:
            base = table.get("id")
        elif "class" in table.attrib:
            base = table.get("class")
        else:
            unnamed += 1
            base = "noclass %d" % unnamed
        name = base
        if name in names:
            suffix = next_suffix.get(base, 1)
            while "%s (%d)" % (base, suffix) in names:
                suffix += 1
            name = "%s (%d)" % (base, suffix)
            next_suffix[base] = suffix + 1
        names.add(name)
        texts = _cell_texts(table, hidden, keep_line_breaks, against)
        rows = [row for group in row_groups(table) for row in group_rows(group, texts, spans)]
        result.append((name, rows))
    return result


def parse_tree(text: str):
    return html5lib.parse(text, treebuilder="etree", namespaceHTMLElements=False,
                          scripting=True)


def tables_from_text(text: str, spans: str = "repeat", keep_line_breaks: bool = False,
                     links: bool = False, page_address: str | None = None):
    return tables_of_tree(parse_tree(text), spans, keep_line_breaks, links, page_address)


def tables_from_bytes(data: bytes, transport: str | None = None, spans: str = "repeat",
                      keep_line_breaks: bool = False, links: bool = False,
                      page_address: str | None = None):
    return tables_from_text(page_text(data, transport), spans, keep_line_breaks, links,
                            page_address)


def to_json(tables) -> str:
    return json.dumps(dict(tables), ensure_ascii=False)


def main(argv=None) -> int:
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("file")
    parser.add_argument("--spans", choices=["repeat", "empty", "none"], default="repeat")
    parser.add_argument("--keep-line-breaks", action="store_true")
    parser.add_argument("--charset", help="the transport's charset label")
    args = parser.parse_args(argv)
    with open(args.file, "rb") as page:
        data = page.read()
    print(to_json(tables_from_bytes(data, args.charset, args.spans, args.keep_line_breaks)))
    return 0


if __name__ == "__main__":
    sys.exit(main())
