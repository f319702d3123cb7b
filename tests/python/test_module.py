"""The Python module against the tool, across threads, and its errors.

Run by CTest with PYTHONPATH at the build tree's module and GRIDMINT_EXTRACT at the tool."""

import concurrent.futures
import io
import json
import os
import pathlib
import re
import subprocess
import tempfile
import unittest

import gridmint

TOOL = os.environ["GRIDMINT_EXTRACT"]
ROOT = pathlib.Path(__file__).resolve().parents[2]
CORPUS = pathlib.Path(os.environ.get("GRIDMINT_CORPUS_DIR", ROOT.parent / "shared" / "corpus"))


def generated_pages():
    """Small pages with what the scan must get right: references, charsets, odd nesting."""
    cells = ["a&amp;b", "caf\u00e9", "&#xD800;", "x<br>y", "  spaced  ", "\u6771\u4eac", ""]
    pages = []
    for n in range(12):
        rows = "".join(
            "<tr>" + "".join("<td>%s</td>" % cells[(n + r + c) % len(cells)] for c in range(n % 4 + 1))
            + "</tr>" for r in range(n % 5 + 1))
        name = ' class="t%d"' % n if n % 3 else ""
        pages.append(("<table%s>%s</table>" % (name, rows)).encode("utf-8"))
    pages.append('<meta charset="iso-8859-1"><table><tr><td>caf\u00e9</td></tr></table>'
                 .encode("latin-1"))
    pages.append(b"<!-- <table><tr><td>hidden</td></tr></table> --><p>none</p>")
    return pages


def tool_json(path, *flags):
    out = subprocess.run([TOOL, "--json", *flags, str(path)], capture_output=True,
                         check=False).stdout
    return json.loads(out, object_pairs_hook=list) if out.strip() else []


# The browser reading's options as the tool's flags and as the module's keywords.
BROWSER_READINGS = [
    (["--browser"], {"browser": True}),
    (["--browser", "--spans", "empty", "--keep-line-breaks"],
     {"browser": True, "spans": "empty", "keep_line_breaks": True}),
    (["--browser", "--spans", "none"], {"browser": True, "spans": "none"}),
]

# The CSV forms as the tool's flags and as to_csv()'s keywords.
CSV_FORMS = [
    ([], {}),
    (["--separator", ";", "--quote", "minimal"], {"separator": ";", "quoting": "minimal"}),
    (["--tsv", "--bom", "--crlf"], {"separator": "tab", "bom": True, "line_ends": "crlf"}),
    (["--separator", "|", "--guard-formulas"], {"separator": "|", "guard_formulas": True}),
]


def as_pairs(tables):
    return [(t.name, t.rows) for t in tables]


class ModuleMatchesTool(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.folder = tempfile.TemporaryDirectory()
        cls.pages = sorted(CORPUS.rglob("*.html")) + [ROOT / "examples" / "world-cities.html"]
        for i, page in enumerate(generated_pages()):
            path = pathlib.Path(cls.folder.name) / ("generated-%d.html" % i)
            path.write_bytes(page)
            cls.pages.append(path)

    @classmethod
    def tearDownClass(cls):
        cls.folder.cleanup()

    def test_every_reading_gives_the_tools_tables(self):
        self.assertGreater(len(self.pages), 20)
        for page in self.pages:
            with self.subTest(page=page.name):
                expected = tool_json(page)
                self.assertEqual(as_pairs(gridmint.read(page)), expected)
                self.assertEqual(as_pairs(gridmint.read(str(page))), expected)
                with open(page, "rb") as f:
                    self.assertEqual(as_pairs(gridmint.read(f)), expected)
                self.assertEqual(as_pairs(gridmint.parse(page.read_bytes())), expected)

    def test_browser_reading_gives_the_tools_tables(self):
        for page in self.pages:
            for flags, options in BROWSER_READINGS:
                with self.subTest(page=page.name, flags=flags):
                    expected = tool_json(page, *flags)
                    self.assertEqual(as_pairs(gridmint.read(page, **options)), expected)
                    with open(page, "rb") as f:
                        self.assertEqual(as_pairs(gridmint.read(f, **options)), expected)
                    self.assertEqual(as_pairs(gridmint.parse(page.read_bytes(), **options)),
                                     expected)

    def test_csv_is_the_tools_csv_in_every_form(self):
        with tempfile.TemporaryDirectory() as folder:
            written = pathlib.Path(folder) / "table.csv"
            for page in self.pages[:8] + self.pages[-14:]:
                for index, table in enumerate(gridmint.read(page), start=1):
                    for flags, options in CSV_FORMS:
                        with self.subTest(page=page.name, index=index, flags=flags):
                            out = subprocess.run([TOOL, "--index", str(index), *flags, str(page)],
                                                 capture_output=True, check=True).stdout
                            # The tool's UTF-8 has no lone surrogate: it writes U+FFFD there.
                            csv = re.sub("[\ud800-\udfff]", "\ufffd", table.to_csv(**options))
                            self.assertEqual(csv.encode("utf-8"), out)
                            table.to_csv(written, **options)
                            self.assertEqual(written.read_bytes(), out)

    def test_eight_threads_give_what_one_gives(self):
        work = [(p.read_bytes(), browser) for p in self.pages for browser in (False, True)] * 3
        read = lambda item: as_pairs(gridmint.parse(item[0], browser=item[1]))
        alone = [read(item) for item in work]
        with concurrent.futures.ThreadPoolExecutor(max_workers=8) as pool:
            together = list(pool.map(read, work))
        self.assertEqual(together, alone)


class TableAndText(unittest.TestCase):
    def test_table_reads_like_its_rows(self):
        (table,) = gridmint.parse("<table id=t><tr><td>1</td><td>2</td></tr><tr><td>3</td></tr></table>")
        self.assertEqual((table.name, len(table), list(table), table[-1]),
                         ("t", 2, [["1", "2"], ["3"]], ["3"]))
        frame = table.to_pandas(header=0)
        self.assertEqual(list(frame.columns), ["1", "2"])
        self.assertEqual(frame.values.tolist(), [["3", None]])
        with tempfile.TemporaryDirectory() as folder:
            path = pathlib.Path(folder) / "t.csv"
            table.to_csv(path)
            self.assertEqual(path.read_text(encoding="utf-8"), '"1","2"\n"3"')

    def test_text_route_ignores_the_declared_charset(self):
        page = '<meta charset="iso-8859-1"><table><tr><td>caf\u00e9</td></tr></table>'
        for browser in (False, True):
            with self.subTest(browser=browser):
                self.assertEqual(gridmint.parse(page, browser=browser)[0].rows, [["caf\u00e9"]])
                # A str holding a lone surrogate has no UTF-8 form, yet it is still a page.
                (cell,), = gridmint.parse(page.replace("\u00e9", "\u00e9 \ud800"),
                                          browser=browser)[0].rows
                self.assertEqual(cell[:5], "caf\u00e9 ")
        self.assertEqual(gridmint.parse(b"<table><tr><td>caf\xe9</td></tr></table>",
                                        encoding="windows-1252")[0].rows, [["caf\u00e9"]])

    def test_browser_encoding_wins_over_the_pages_declaration(self):
        page = '<meta charset="utf-8"><table><tr><td>\u0436</td></tr></table>'.encode("koi8-r")
        self.assertEqual(gridmint.parse(page, browser=True, encoding="koi8-r")[0].rows,
                         [["\u0436"]])
        self.assertNotEqual(gridmint.parse(page, browser=True)[0].rows, [["\u0436"]])

    def test_browser_reading_of_a_large_file_matches_its_bytes(self):
        rows = "".join("<tr><td>%d</td><td>r&eacute;sum&eacute; %d</td></tr>" % (i, i)
                       for i in range(20000))
        with tempfile.TemporaryDirectory() as folder:
            path = pathlib.Path(folder) / "big.html"
            path.write_bytes(("<table>%s</table>" % rows).encode("utf-8"))
            (table,) = gridmint.read(path, browser=True)
            self.assertEqual(len(table), 20000)
            self.assertEqual(table[-1], ["19999", "r\u00e9sum\u00e9 19999"])
            self.assertEqual(as_pairs([table]), as_pairs(gridmint.parse(path.read_bytes(),
                                                                        browser=True)))


class Errors(unittest.TestCase):
    def test_bad_input_raises_clear_exceptions(self):
        with tempfile.TemporaryDirectory() as folder:
            text_file = pathlib.Path(folder) / "p.html"
            text_file.write_text("<table></table>")
            (table,) = gridmint.parse("<table><tr><td>x</td></tr></table>")
            with open(text_file, "r") as opened_as_text:
                cases = [
                    (lambda: gridmint.parse(3), TypeError, "bytes or str"),
                    (lambda: gridmint.read(3.5), TypeError, "a path"),
                    (lambda: gridmint.read(opened_as_text), TypeError, "binary mode"),
                    (lambda: gridmint.read(pathlib.Path(folder) / "none.html"),
                     FileNotFoundError, "none.html"),
                    (lambda: gridmint.read(folder), IsADirectoryError, folder),
                    (lambda: gridmint.read("http://127.0.0.1:1/"), gridmint.FetchError,
                     "cannot load 'http://127.0.0.1:1/'"),
                    (lambda: gridmint.parse(b"", spans="none"), ValueError, "browser=True"),
                    (lambda: gridmint.parse(b"", keep_line_breaks=True), ValueError,
                     "browser=True"),
                    (lambda: gridmint.parse(b"", browser=True, spans="all"), ValueError,
                     "'repeat', 'empty' or 'none'"),
                    (lambda: gridmint.parse(b"", browser=True, encoding="klingon"), ValueError,
                     "klingon"),
                    (lambda: gridmint.parse(b"", browser=True, encoding=4), ValueError,
                     "charset name"),
                    (lambda: gridmint.read(pathlib.Path(folder) / "none.html", browser=True),
                     FileNotFoundError, "none.html"),
                    (lambda: gridmint.read("http://127.0.0.1:1/", browser=True),
                     gridmint.FetchError, "cannot load 'http://127.0.0.1:1/'"),
                    (lambda: gridmint.parse(b"", encoding="klingon"), ValueError, "klingon"),
                    (lambda: gridmint.parse(b"", encoding=True), TypeError, "encoding"),
                    (lambda: table.to_csv(sep=";"), TypeError, "separator"),
                    (lambda: table.to_csv(separator=":"), ValueError, "separator=':'"),
                    (lambda: table.to_csv(quoting="some"), ValueError, "'all' or 'minimal'"),
                    (lambda: table.to_csv(line_ends="cr"), ValueError, "'lf' or 'crlf'"),
                    (lambda: table.to_csv(bom="yes"), TypeError, "bom"),
                    (lambda: table.to_csv(pathlib.Path(folder) / "no" / "t.csv"), OSError,
                     "t.csv"),
                    (lambda: gridmint.read_html("<p>no table</p>", browser=False), ValueError,
                     "No tables found"),
                    (lambda: gridmint.read_html("<p>no table</p>"), ValueError,
                     "No tables found"),
                ]
                for call, kind, part in cases:
                    with self.subTest(part=part):
                        with self.assertRaises(kind) as raised:
                            call()
                        self.assertIn(part, str(raised.exception))
        self.assertEqual(gridmint.parse(b""), [])


class ReadHtmlLikePandas(unittest.TestCase):
    PAGE = """<html><body>
      <table class="pets"><tr><td>cat</td><td>Tom</td></tr><tr><td>dog</td><td>Rex</td></tr></table>
      <table id="people"><tr><td>name</td><td>town</td></tr>
        <tr><td>Ann</td><td>Oslo</td></tr><tr><td>Bo</td><td>Lund</td></tr></table>
    </body></html>"""

    def test_same_frames_as_pandas_bs4(self):
        try:
            import bs4  # noqa: F401
        except ImportError:
            self.skipTest("pandas.read_html(flavor='bs4') needs python3-bs4")
        import pandas

        for browser in (False, True):
            for kwargs in [{}, {"header": 0}, {"match": "Rex"}, {"attrs": {"id": "people"}},
                           {"attrs": {"class": "pets"}, "header": 0}]:
                with self.subTest(browser=browser, kwargs=kwargs):
                    self.assert_same_frames(
                        gridmint.read_html(self.PAGE, browser=browser, **kwargs),
                        pandas.read_html(io.StringIO(self.PAGE), flavor="bs4", **kwargs), kwargs)
        # Spans are repeated into every slot they cover, as pandas does.
        spanned = ("<table><tr><td rowspan=2>a</td><td colspan=2>b</td></tr>"
                   "<tr><td>c</td><td>d</td></tr></table>")
        self.assert_same_frames(gridmint.read_html(spanned),
                                pandas.read_html(io.StringIO(spanned), flavor="bs4"), {})

    def assert_same_frames(self, ours, theirs, kwargs):
        self.assertEqual(len(ours), len(theirs))
        for a, b in zip(ours, theirs):
            self.assertEqual(a.values.tolist(), b.values.tolist())
            if "header" in kwargs:
                self.assertEqual(list(a.columns), list(b.columns))


if __name__ == "__main__":
    unittest.main()
