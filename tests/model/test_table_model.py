#!/usr/bin/env python3
"""Checks of the reference model itself on hand-worked pages.

The differential test only shows that the model and the engine agree; these
cases pin the model to results worked out by hand, so that a slip in the model
cannot hide the same slip in the engine."""

import sys
import unittest
from pathlib import Path

sys.dont_write_bytecode = True  # keep the source tree free of caches
sys.path.insert(0, str(Path(__file__).resolve().parent))
import table_model as model  # noqa: E402


class RecordingScanPass(model.ScanPass):
    """Keeps the raw bytes of every piece handed to decoding."""

    def __init__(self, *args, **kwargs):
        super().__init__(*args, **kwargs)
        self.pieces = []

    def decode(self, data):
        self.pieces.append(bytes(data))
        return super().decode(data)


def raw_cells(page: bytes, consolidate: bool = False):
    scan = RecordingScanPass(page, 4, consolidate, 0, model.Log())
    scan.run()
    return scan.pieces, scan


def tables(page: bytes, encoding: int = 4, consolidate: bool = False):
    return model.extract(page, encoding, consolidate).tables


class ScanPassBytes(unittest.TestCase):
    """The bytes each cell collects."""

    CASES = [
        ("one space per > since the last cell end",
         b"<table><tr><td>a</td><td>b</td></tr></table>", False, [b"   a", b"  b"]),
        ("comment < sets the tag flag for good",
         b"<table><td>x<!-- a < b -->text</td>", False, [b"  x "]),
        ("cell outside any table", b"<td>x</td>", False, [b" x"]),
        ("missing cell end tag joins the cells",
         b"<table><tr><td>a<td>b</td></tr></table>", False, [b"   a b"]),
        ("white space kept when not consolidating",
         b"<table><td>a\n\n  b\t c</td>", False, [b"  a\n\n  b\t c"]),
        ("white space runs become one space, first two bytes kept",
         b"<table><td>a\n\n  b\t c</td>", True, [b"  a b c"]),
        ("a > in a quoted value ends the tag",
         b"<table title='a>b' id=x><td>y</td>", False, [b" b' id=x  y"]),
        ("an empty cell keeps its tag-end space",
         b"<td></td>", False, [b" "]),
    ]

    def test_cases(self):
        for name, page, consolidate, expected in self.CASES:
            with self.subTest(name):
                self.assertEqual(raw_cells(page, consolidate)[0], expected)


class ScanPassStructure(unittest.TestCase):
    """Which tags, comments and scripts count, seen through the tables made."""

    ROW = b"<tr><td>x</td></tr></table>"
    CASES = [
        ("tags in any case with white space", b"<TABLE><Tr>< td >x< / TD ></tr></table>",
         [("noclass 1", [["x"]])]),
        ("</ script> does not close a script", b"<script></ script><table>" + ROW, []),
        ("< /script> closes a script", b"<script>< /script><table>" + ROW,
         [("noclass 1", [["x"]])]),
        ("</thead> ends no cell, <tbody> does nothing",
         b"<table><tbody><tr>a</thead></tbody></tr></table>", []),
        ("a name ends at a name-ending byte or the page's end",
         b"<table><tr><td/>a</td\x0c></tr\n></table", [("noclass 1", [["a"]])]),
        ("<th> opens nothing but </th> ends a cell", b"<table><tr><th>h</th></tr></table>",
         [("noclass 1", [["h"]])]),
        ("<br> and > in text leave spaces", b"<table><tr><td>a<br>b a>b</td></tr></table>",
         [("noclass 1", [["a b a b"]])]),
        ("-- > does not close a comment", b"<!-- a -- ><table>" + ROW, []),
        ("---> closes a comment", b"<!-- a ---><table>" + ROW, [("noclass 1", [["x"]])]),
        ("<!--> is a whole comment", b"<!--><table>" + ROW, [("noclass 1", [["x"]])]),
        ("a script opened in a comment masks the rest",
         b"<!-- <script> --><table>" + ROW, []),
        ("an empty row makes no row", b"<table><tr></tr></table>", []),
        ("rows without end tags wait for the next table",
         b"<table><tr><td>a</td><tr><td>b</td></tr></table>", [("noclass 1", [["a", "b"]])]),
        ("open parts at the end are dropped", b"<table><tr><td>a</td>", []),
        ("nested table stores what is completed at its end",
         b"<table id=o><tr><td>a</td></tr><tr><td>b<table id=i><tr><td>c</td></tr>"
         b"</table>d</td></tr><tr><td>e</td></tr></table>",
         [("i", [["a"], ["b  c"]]), ("i (1)", [[""], ["e"]])]),
    ]

    def test_cases(self):
        for name, page, expected in self.CASES:
            with self.subTest(name):
                self.assertEqual(tables(page), expected)

    def test_unclosed_warnings(self):
        log = model.extract(b"<!-- <script> -->x").log
        self.assertEqual(log, ["A script tag appears to be left unclosed. "
                               "This may mask part or all of the page."])
        log = model.extract(b"<script><!-- </script> x").log
        self.assertEqual(log, ["An html comment tag appears to be left unclosed. "
                               "This may mask part or all of the page."])
        self.assertEqual(model.extract(b"x<!-").log, [])


class AttributeValues(unittest.TestCase):
    ROW = b"<tr><td>x</td></tr></table>"
    CASES = [
        ("a class value inside an id value", b"<table id='a class=b'>", "a class=bb'"),
        ("an empty id is set", b"<table id=''>", ""),
        ("unquoted value ends at a space only", b"<table id=a\tb c>", "a\tb"),
        ("backslash after = is skipped", b"<table id=\\'v'>", "v"),
        ("vertical tab between name and =", b"<table id\x0b=v>", "v"),
        ("a waiting = takes the next table's e", b"<table id=><table class=z>", "e"),
        ("value cut to 998 bytes", b"<table id='" + b"v" * 1200 + b"'>", "v" * 998),
    ]

    def test_cases(self):
        for name, start, expected in self.CASES:
            with self.subTest(name):
                self.assertEqual(tables(start + self.ROW)[0][0], expected)

    def test_ignored_attributes(self):
        for start in (b"<table data-id='x'>", b"<table xid=x>", b"<table><td id=x>"):
            with self.subTest(start):
                self.assertEqual(tables(start + self.ROW)[0][0], "noclass 1")

    def test_class_after_waiting_id(self):
        page = b"<table id=><table class=z>" + self.ROW
        self.assertEqual(model.extract(page).log,
                         [("currentTableId is now ", "e"), ("currentTableClass is now ", "z")])


class TableNames(unittest.TestCase):
    ROW = b"<tr><td>x</td></tr></table>"

    def names(self, *starts):
        return [name for name, _ in tables(b"".join(s + self.ROW for s in starts))]

    def test_cases(self):
        self.assertEqual(self.names(b"<table id=t>", b"<table id=t>", b"<table id=t>"),
                         ["t", "t (1)", "t (2)"])
        self.assertEqual(self.names(b"<table>", b"<table>", b"<table>"),
                         ["noclass 1", "noclass 2", "noclass 3"])
        self.assertEqual(self.names(b"<table id=a class=b>"), ["a"])
        self.assertEqual(self.names(b"<table class=k>", b"<table>"), ["k", "k (1)"])
        self.assertEqual(self.names(b"<table id=''>", b"<table>"), ["", " (1)"])
        self.assertEqual(self.names(b"<table id=a>", b"<table class=c>"), ["a", "a (1)"])

    def test_table_without_rows_uses_no_number(self):
        page = b"<table><td>a</td></table><table><tr><td>b</td></tr></table>"
        self.assertEqual(tables(page), [("noclass 1", [["a", "b"]])])


class CellDecoding(unittest.TestCase):
    CASES = [
        (b"", ""),
        (b" \t\r\n ", ""),
        (b"&nbsp;", ""),
        (b"a&amp;b", "a&b"),
        (b"a&#13;&#10;b", "a b"),
        (b"  w\r\n  v ", "w  v"),
        (b"a     b", "a   b"),
        (b"a\tb", "a\tb"),
        (b"\xe2\x80\x83a\xe3\x80\x80", "a"),
        (b"\x1fa\xe1\xa0\x8e", "\x1fa\u180e"),
        (b"\xc2\x85a\xe2\x80\xa9", "a"),
        (b"\xe9t\xe9", "\xe9t\xe9"),
    ]

    def test_cases(self):
        for data, expected in self.CASES:
            with self.subTest(data):
                self.assertEqual(model.decode_piece(data, 4, 0, model.Log()), expected)

    def test_invalid_utf8_logs_once_when_verbose(self):
        log = model.Log()
        self.assertEqual(model.decode_piece(b"\xff", 4, 1, log), "\xff")
        self.assertEqual(log.lines,
                         ["unable to make string using encoding 4, trying other encodings"])
        model.decode_piece(b"\xff", 4, 0, log)
        self.assertEqual(len(log.lines), 1)

    def test_fallbacks(self):
        self.assertEqual(model.decode_piece(b"\x93q\x94", 12, 0, model.Log()), "\u201cq\u201d")
        self.assertEqual(model.decode_piece(b"\x81", 12, 0, model.Log()), "\x81")
        self.assertEqual(model.decode_piece(b"\xc3\xa9", 1, 0, model.Log()), "\xe9")
        self.assertEqual(model.decode_piece(b"ab\xd8\x3d\xde\x00", 10, 0, model.Log()),
                         "\u6162\ud83d\ude00")
        self.assertEqual(model.decode_piece(b"abc", 10, 0, model.Log()), "abc")


class References(unittest.TestCase):
    CASES = [
        ("&amp;lt;", "&lt;"), ("&amp&lt;", "&amp<"), ("&AMP;", "&AMP;"),
        ("&lt;x&gt;", "<x>"), ("&lt;&gt;", "<>"), ("&a;", "&a;"), ("&thetasym;", "\u03d1"),
        ("&apos;", "'"), ("& word;", "& word;"), ("&#65;", "A"), ("&#0065;", "A"),
        ("&#x41;", "A"), ("&#X41;", "A"), ("&#0;", "&#0;"), ("&#65534;", "\ufffe"),
        ("&#65535;", "&#65535;"), ("&#x1F600;", "&#x1F600;"), ("&#12345678;", "&#12345678;"),
        ("&#;", "&#;"), ("&#x;", "&#x;"), ("&#6a5;", "&#6a5;"), ("&amp", "&amp"),
        ("a;", "a;"), ("&#xD800;", "\ud800"), ("&# 65;", "&# 65;"), ("&#+65;", "&#+65;"),
        ("&#x0x41;", "&#x0x41;"),
    ]

    def test_cases(self):
        for text, expected in self.CASES:
            with self.subTest(text):
                self.assertEqual(model.unescape_entities(text), expected)

    def test_table_size_and_ends(self):
        self.assertEqual(len(model.ENTITY_TABLE), 253)
        self.assertEqual(model.ENTITY_TABLE["&diams;"], "\u2666")
        self.assertEqual(max(map(ord, model.ENTITY_TABLE.values())), 0x2666)


class Charset(unittest.TestCase):
    EXTRACT = [
        (b'<meta charset="utf-8">\n', "utf-8"),
        (b'<meta charset="utf-8" />\n', 'utf-8" /'),
        (b'<meta content="text/html; charset=iso-8859-1" http-equiv="Content-Type">\n',
         'iso-8859-1" http-equiv="Content-Type'),
        (b"<meta CHARSET=ISO-8859-1>\n", "ISO-8859-1"),
        (b"<meta Charset=ISO-8859-1>\n", None),
        (b"<tbody><meta charset=latin1>\n", None),
        (b"somebody <meta charset=latin1>\n", None),
        (b"<meta charset=latin1>", None),
        (b"<meta charset=latin1>\n", "latin1"),
        (b"<meta charset=l\xe9>\n", None),
        (b"<meta charset=x>CHARSET=y><body>", "x"),
    ]
    ENCODINGS = [
        ("utf-8", 0), ("ISO-8859-15", 5), ("ISO-8859-11", 5), ("ISO-8859-10", 0),
        ("iso-8859-2", 9), ("windows-1252", 12), ("tis-620", model.TIS620),
        ("windows-874", model.CP874), ("shift_jis", 8), ("big5", model.BIG5),
        ("BIG5", model.BIG5), ("Big5-HKSCS", model.BIG5), ("gb2312", model.GBK),
        ("GB_2312-80", model.GB2312), ("HZ-GB-2312", model.HZ), ("gb2312 big5", model.BIG5),
    ]

    def test_extract(self):
        for data, expected in self.EXTRACT:
            with self.subTest(data):
                self.assertEqual(model.extract_charset(data), expected)

    def test_encoding_for_charset(self):
        for charset, expected in self.ENCODINGS:
            with self.subTest(charset):
                self.assertEqual(model.encoding_for_charset(charset), expected)

    def test_declared_charset_replaces_given_encoding(self):
        page = b"<meta charset=iso-8859-1>\n<table><tr><td>\xc3\xa9</td></tr></table>"
        self.assertEqual(tables(page, 4)[0][1], [["\xc3\xa9"]])
        self.assertIsNone(model.extract(b""))


if __name__ == "__main__":
    unittest.main()
