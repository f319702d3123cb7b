"""Links through the Python module: parse/read(links=True) against the tool's --links, the
addresses they are made absolute against, and read_html(extract_links=...) against pandas.

Run by CTest with PYTHONPATH at the build tree's module and GRIDMINT_EXTRACT at the tool."""

import csv as csv_module
import http.server
import io
import json
import math
import os
import pathlib
import re
import subprocess
import tempfile
import threading
import unittest

import gridmint

TOOL = os.environ["GRIDMINT_EXTRACT"]
ROOT = pathlib.Path(__file__).resolve().parents[2]
CORPUS = pathlib.Path(os.environ.get("GRIDMINT_CORPUS_DIR", ROOT.parent / "shared" / "corpus"))

# Span-free pages with links in every section: a <thead> or rows of <th> cells as the
# header, a <tfoot>, cells with two links, a link without href, a hidden one, entities and
# white space in an address, and a <base href>.
LINK_PAGES = {
    "sections": """<table id="docs"><thead><tr><th><a href="h1">Name</a></th><th>Town</th></tr>
      </thead><tbody><tr><td><a href="b1"> Ann </a></td><td>x <a href="b2">Oslo</a> <a href="b3">z</a></td></tr><tr><td></td><td><a>no address</a></td></tr></tbody>
      <tfoot><tr><td><a href="f1">Sum</a></td><td>all</td></tr></tfoot></table>""",
    "header cells": """<table><tr><th><a href="h">Name</a></th><th>Town</th></tr>
      <tr><th>Unit</th><th><a href="u">km</a></th></tr>
      <tr><td><a href="a?x=1&amp;y=2">Ann</a></td><td>Lund</td></tr>
      <tr><th><a href="late">Late head</a></th><td>row</td></tr></table>""",
    "no header": """<table class="plain"><tr><td><a href="one">first</a></td><td>second</td></tr>
      <tr><td>third</td><td><a href="https://example.com/four">fourth</a></td></tr></table>
      <table><tr><td><a href="w">wide</a></td><td>row</td></tr><tr><td>short</td></tr></table>""",
    "mixed first row": """<table><tr><th>label</th><td><a href="q">value</a></td></tr>
      <tr><td>more</td><td>text</td></tr></table>""",
    "hidden and nested": """<table><tr><td><a href="h" style="display:none">gone</a>
      <b><a href="deep">shown</a></b></td><td><a href="">empty address</a></td></tr></table>""",
    "two head rows": """<table><thead><tr><th>Name</th><th>Town</th></tr>
      <tr><th><a href="l">given</a></th><th>place</th></tr></thead>
      <tr><td>Ann</td><td>Lund</td></tr></table>""",
    # Tables without text are left out by the default match (white space between their tags
    # would be text to pandas).
    "empty tables": '<table><tr><td></td></tr></table><table><tr><td></td><td></td></tr>'
                    '</table><table><tr><td><a href="x">x</a></td></tr></table>',
    "tfoot first": """<table><tfoot><tr><td><a href="f">end</a></td></tr></tfoot>
      <tbody><tr><td>body</td></tr></tbody></table>""",
}

BASE_PAGE = """<base href="https://example.com/files/"><table><tr><th>Document</th></tr>
  <tr><td><a href="guide.pdf">Guide</a></td></tr></table>"""


def tool_run(path, *flags):
    return subprocess.run([TOOL, *flags, str(path)], capture_output=True, check=False)


def tool_json(path, *flags):
    out = tool_run(path, "--json", *flags).stdout
    return json.loads(out, object_pairs_hook=list) if out.strip() else []


def as_tool_json(table):
    """A table of links=True as the tool's --links --json gives it: a linked cell becomes
    the pairs of {"text": ..., "href": ...}."""
    rows = [[cell if href is None else [("text", cell), ("href", href)]
             for cell, href in zip(row, hrefs)] for row, hrefs in zip(table.rows, table.links)]
    return (table.name, rows)


def comparable(value):
    """A DataFrame value as both sides can be compared: pandas leaves out what gridmint gives
    as text (empty cells become NaN, numbers numbers) and keeps white space around an
    address, which gridmint drops."""
    if isinstance(value, tuple):
        return tuple(comparable(v) for v in value)
    if isinstance(value, str):
        return value.strip() or None
    if value is None or (isinstance(value, float) and math.isnan(value)):
        return None
    if isinstance(value, (int, float)) and not isinstance(value, bool):
        return str(value)
    return value


def frame_parts(frame):
    import pandas

    columns = None
    if not isinstance(frame.columns, pandas.RangeIndex) and frame.columns.dtype == object:
        columns = [comparable(label) for label in frame.columns]
    return columns, [[comparable(v) for v in row] for row in frame.values.tolist()]


def pandas_flavours():
    flavours = []
    for flavour, module in (("bs4", "bs4"), ("lxml", "lxml")):
        try:
            __import__(module)
            flavours.append(flavour)
        except ImportError:
            pass
    return flavours


class LinksMatchTool(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.folder = tempfile.TemporaryDirectory()
        cls.pages = []
        for n, (name, page) in enumerate(list(LINK_PAGES.items()) + [("base", BASE_PAGE)]):
            path = pathlib.Path(cls.folder.name) / ("links-%d.html" % n)
            path.write_text(page, encoding="utf-8")
            cls.pages.append(path)
        cls.corpus = sorted(CORPUS.rglob("*.html"))

    @classmethod
    def tearDownClass(cls):
        cls.folder.cleanup()

    def test_links_are_the_tools_in_json_and_csv(self):
        self.assertGreater(len(self.corpus), 20)
        for page in self.pages + self.corpus + [ROOT / "examples" / "world-cities.html"]:
            for spans in ("repeat", "empty", "none"):
                with self.subTest(page=page.name, spans=spans):
                    flags = ["--browser", "--links", "--spans", spans]
                    tables = gridmint.read(page, browser=True, links=True, spans=spans)
                    self.assertEqual([as_tool_json(t) for t in tables], tool_json(page, *flags))
                    self.assertEqual([as_tool_json(t) for t in tables],
                                     [as_tool_json(t) for t in gridmint.parse(
                                         page.read_bytes(), browser=True, links=True,
                                         spans=spans)])
        for page in self.pages:
            for index, table in enumerate(gridmint.read(page, browser=True, links=True), 1):
                with self.subTest(page=page.name, index=index):
                    csv = tool_run(page, "--browser", "--links", "--index", str(index)).stdout
                    self.assertEqual(table.to_csv().encode("utf-8"), csv)
                    # The frame has the CSV's columns, link columns included (and empty
                    # labels over wider rows).
                    header = next(csv_module.reader(io.StringIO(csv.decode("utf-8"))))
                    columns = list(table.to_pandas(header=0).columns)
                    self.assertEqual(columns, header + [""] * (len(columns) - len(header)))

    def test_without_links_a_table_has_none(self):
        (table,) = gridmint.parse(BASE_PAGE, browser=True)
        self.assertIsNone(table.links)
        self.assertEqual(table.to_csv(), '"Document"\n"Guide"')


class LinkAddresses(unittest.TestCase):
    def test_addresses_resolve_against_base_then_page_address(self):
        link = '<table><tr><td><a href="%s">x</a></td></tr></table>'
        base = '<base href="%s">'
        cases = [
            # page, page_address, the link's address
            (link % "b.html", None, "b.html"),
            (link % " b.html\t", None, "b.html"),
            (link % "b.html", "https://example.com/dir/page?q=1", "https://example.com/dir/b.html"),
            (link % "../up", "https://example.com/a/b/c", "https://example.com/a/up"),
            (link % "/root", "https://example.com/a/b", "https://example.com/root"),
            (link % "#frag", "https://example.com/p", "https://example.com/p#frag"),
            (link % "mailto:a@example.com", "https://example.com/", "mailto:a@example.com"),
            (base % "https://cdn.example.org/x/" + link % "b", "https://example.com/",
             "https://cdn.example.org/x/b"),
            (base % "sub/" + link % "b", "https://example.com/a/p", "https://example.com/a/sub/b"),
            # A relative base needs the page's address to mean anything.
            (base % "sub/" + link % "b", None, "b"),
        ]
        for page, address, expected in cases:
            for data in (page, page.encode("utf-8")):
                with self.subTest(page=page, address=address, type=type(data).__name__):
                    (table,) = gridmint.parse(data, browser=True, links=True,
                                              page_address=address)
                    self.assertEqual(table.links, [[expected]])

    def test_a_fetched_page_resolves_against_its_address_after_redirects(self):
        page = ('<table><tr><td><a href="next.html">n</a></td><td><a href="/top">t</a></td>'
                '</tr></table>').encode()

        class Handler(http.server.BaseHTTPRequestHandler):
            def do_GET(self):  # noqa: N802 (the name http.server calls)
                if self.path == "/old":
                    self.send_response(302)
                    self.send_header("Location", "/new/dir/page.html")
                    self.send_header("Content-Length", "0")
                    self.end_headers()
                    return
                self.send_response(200)
                self.send_header("Content-Type", "text/html")
                self.send_header("Content-Length", str(len(page)))
                self.end_headers()
                self.wfile.write(page)

            def log_message(self, *args):
                pass

        server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
        threading.Thread(target=server.serve_forever, daemon=True).start()
        try:
            root = "http://127.0.0.1:%d" % server.server_address[1]
            (table,) = gridmint.read(root + "/old", browser=True, links=True)
            self.assertEqual(table.links, [[root + "/new/dir/next.html", root + "/top"]])
            (frame,) = gridmint.read_html(root + "/old", extract_links="body")
            self.assertEqual(frame.values.tolist(),
                             [[("n", root + "/new/dir/next.html"), ("t", root + "/top")]])
        finally:
            server.shutdown()
            server.server_close()

    def test_bad_link_options_raise(self):
        page = "<table><tr><td>x</td></tr></table>"
        cases = [
            (lambda: gridmint.parse(page, links=True), ValueError, "browser=True"),
            (lambda: gridmint.read(io.BytesIO(page.encode()), links=True), ValueError,
             "browser=True"),
            (lambda: gridmint.parse(page, browser=True, links=True, page_address=b"x"),
             TypeError, "page_address"),
            (lambda: gridmint.read_html(page, extract_links="cells"), ValueError,
             "`extract_links` must be one of"),
            (lambda: gridmint.read_html(page, extract_links="all", browser=False), ValueError,
             "browser reading"),
        ]
        for call, kind, part in cases:
            with self.subTest(part=part):
                with self.assertRaises(kind) as raised:
                    call()
                self.assertIn(part, str(raised.exception))


class ExtractLinksLikePandas(unittest.TestCase):
    def setUp(self):
        self.flavours = pandas_flavours()
        if not self.flavours:
            self.skipTest("pandas.read_html needs python3-bs4 or python3-lxml")

    def assert_like_pandas(self, page, **options):
        import pandas

        def outcome(read):
            try:
                return [frame_parts(f) for f in read()]
            except ValueError as error:
                return "No tables found" if "No tables found" in str(error) else str(error)

        ours = outcome(lambda: gridmint.read_html(page, **options))
        for flavour in self.flavours:
            with self.subTest(flavour=flavour, **options):
                self.assertEqual(ours, outcome(lambda: pandas.read_html(
                    io.StringIO(page), flavor=flavour, **options)))

    def test_sections_and_headers_as_pandas_reads_them(self):
        for name, page in LINK_PAGES.items():
            for extract_links in (None, "header", "body", "footer", "all"):
                for header in (None, 0):
                    # pandas makes the labels of a linked first row that is not a header
                    # row a MultiIndex for "body" and "footer" alone, an accident of its
                    # column handling; gridmint keeps them (text, href) pairs throughout.
                    if header == 0 and extract_links in ("body", "footer") and name in (
                            "no header", "mixed first row", "hidden and nested"):
                        continue
                    with self.subTest(page=name):
                        self.assert_like_pandas(page, extract_links=extract_links,
                                                header=header)

    def test_several_header_rows_make_the_columns_as_in_pandas(self):
        import pandas

        page = LINK_PAGES["two head rows"]
        self.assertIsInstance(gridmint.read_html(page)[0].columns, pandas.MultiIndex)
        self.assertEqual(list(gridmint.read_html(page, extract_links="header")[0].columns),
                         [(("Name", None), ("given", "l")), (("Town", None), ("place", None))])

    def test_span_free_corpus_pages_as_pandas_reads_them(self):
        # pandas reads text as UTF-8 whatever the page declares, so both are given the text.
        compared = 0
        for path in sorted(CORPUS.rglob("*.html")):
            raw = path.read_bytes()
            if not re.search(rb"(?i)<table", raw) or re.search(rb"(?i)colspan|rowspan", raw):
                continue
            try:
                page = raw.decode("utf-8")
            except UnicodeDecodeError:
                continue
            with self.subTest(page=path.name):
                for header in (None, 0):
                    self.assert_like_pandas(page, extract_links="all", header=header)
                compared += 1
        self.assertGreaterEqual(compared, 4)


if __name__ == "__main__":
    unittest.main()
