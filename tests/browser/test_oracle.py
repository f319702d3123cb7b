#!/usr/bin/env python3
"""The browser-reading oracle's own checks: hand-worked pages with the tables a
browser shows, the encoding each page settles on, and the <meta> pre-scan
against html5lib's own on generated heads."""

from __future__ import annotations

import random
import sys
from pathlib import Path

sys.dont_write_bytecode = True
sys.path.insert(0, str(Path(__file__).resolve().parent))
try:
    import html5lib._inputstream as html5lib_input  # noqa: E402
    import oracle  # noqa: E402
    import page_generator  # noqa: E402
except ImportError as error:
    print("the browser oracle needs Debian's python3-html5lib and python3-icu: %s" % error)
    sys.exit(1)

# (name, page, options, expected tables as [(name, rows)])
TABLE_CASES = [
    ("omittedEndTags", "<table><tr><td>a<td>b<tr><td>c</table>", {},
     [("noclass 1", [["a", "b"], ["c"]])]),
    ("captionIsNoCell", "<table><caption>Signs</caption><tr><th></th><th>x</table>", {},
     [("noclass 1", [["", "x"]])]),
    ("strayTextJoinsNoTable", "<table>lost<tr><td>a</td>also lost</tr></table>", {},
     [("noclass 1", [["a"]])]),
    ("fosteredTextJoinsOuterCell",
     "<table><tr><td>out<table>in-front<tr><td>in</table>after</td><td>2</table>", {},
     [("noclass 1", [["outin-front after", "2"]]), ("noclass 2", [["in"]])]),
    ("tableStartClosesOpenTable", "<table id=a><tr><td>1</td></tr><table id=b><tr><td>2</table>",
     {}, [("a", [["1"]]), ("b", [["2"]])]),
    ("nestedTablesInTreeOrder",
     "<table id=o><tr><td>x<table id=i><tr><td>y</table></td><td>z</tr><tr><td>w</table>", {},
     [("o", [["x", "z"], ["w"]]), ("i", [["y"]])]),
    ("rowsInTableRowsOrder",
     "<table><tfoot><tr><td>f</tfoot><tbody><tr><td>b1</tbody><thead><tr><td>h</thead>"
     "<tr><td>b2</table>", {}, [("noclass 1", [["h"], ["b1"], ["b2"], ["f"]])]),
    ("inlineTagsAddNothing", "<table><tr><td>mozilla<wbr>.org/ F2<sup>[2]</sup> x<b>y</b>"
     "</table>", {}, [("noclass 1", [["mozilla.org/ F2[2] xy"]])]),
    ("blocksAndBreaks", "<table><tr><td> a <br> b<p>c</p>d<li>e</table>", {"keep": True},
     [("noclass 1", [["a\nb\nc\nd\ne"]])]),
    ("linesJoinedWithSpace", "<table><tr><td>a<div>\n b  \t c </div>d</table>", {},
     [("noclass 1", [["a b c d"]])]),
    ("nbspIsNotCollapsed", "<table><tr><td>&nbsp;a&nbsp; </table>", {},
     [("noclass 1", [["\xa0a\xa0"]])]),
    ("hiddenContent", "<table><tr><td><span style='Display :\tNONE'>0</span>64,69<rp>(</rp>"
     "<script>x</script><style>y</style><noscript>z</noscript><i hidden>h</i>"
     "<b style='visibility: hidden'>v</b>!</table>", {}, [("noclass 1", [["64,69!"]])]),
    ("tableInHiddenElementKeepsShape",
     "<div style=display:none><table><tr><td>a<td>b<tr><td>c</table></div>", {},
     [("noclass 1", [["", ""], [""]])]),
    ("nestedTableIsALineBreak", "<table><tr><td>Born<table><tr><td>x</table>1950</table>",
     {"keep": True}, [("noclass 1", [["Born\n1950"]]), ("noclass 2", [["x"]])]),
    ("rawTextAndReferences",
     "<table><tr><td><textarea>&lt;t&gt;</textarea><xmp>&lt;</xmp>&#9642 &eacute &notit; "
     "&#x80;&#0;</table>", {}, [("noclass 1", [["<t>&lt;\u25aa \xe9 \xacit; \u20ac\ufffd"]])]),
    ("attributeValueWithAngle", "<table title='a>b'><tr><td>c</table>", {},
     [("noclass 1", [["c"]])]),
    ("spansRepeat",
     "<table><tr><td rowspan=2 colspan=2>a<td>b<tr><td>c<tr><td>d</table>", {},
     [("noclass 1", [["a", "a", "b"], ["a", "a", "c"], ["d"]])]),
    ("spansEmpty",
     "<table><tr><td rowspan=2 colspan=2>a<td>b<tr><td>c<tr><td>d</table>",
     {"spans": "empty"}, [("noclass 1", [["a", "", "b"], ["", "", "c"], ["d"]])]),
    ("spansNone", "<table><tr><td rowspan=2 colspan=2>a<td>b<tr><td>c</table>",
     {"spans": "none"}, [("noclass 1", [["a", "b"], ["c"]])]),
    ("rowspanZeroReachesGroupEnd",
     "<table><thead><tr><td rowspan=0>h<tr><td>i<tbody><tr><td>j<tr><td>k</table>", {},
     [("noclass 1", [["h"], ["h", "i"], ["j"], ["k"]])]),
    ("rowspanClippedToGroup", "<table><tbody><tr><td rowspan=9>a<tbody><tr><td>b</table>", {},
     [("noclass 1", [["a"], ["b"]])]),
    ("uncoveredSlotsBeforeCoveredAreEmpty",
     "<table><tr><td rowspan=2>a<td>b<td rowspan=2>c<tr></table>", {"spans": "empty"},
     [("noclass 1", [["a", "b", "c"], ["", "", ""]])]),
    ("spanValuesReadAsIntegers",
     "<table><tr><td colspan=' 2x'>a<td colspan=0>b<td colspan=-1>c<td colspan=+2>d"
     "<td colspan=5000>e</table>", {},
     [("noclass 1", [["a", "a", "b", "c", "d", "d"] + ["e"] * 1000])]),
    ("overlapFirstCellKeepsSlot",
     "<table><tr><td>a<td rowspan=2>b<tr><td colspan=3>c</table>", {},
     [("noclass 1", [["a", "b"], ["c", "b", "c"]])]),
    ("names", "<table id=x class=c></table><table class=' c '></table><table></table>"
     "<table id='x (1)'></table><table id=x></table><table id=''></table><table></table>", {},
     [("x", []), (" c ", []), ("noclass 1", []), ("x (1)", []), ("x (2)", []), ("", []),
      ("noclass 2", [])]),
    ("tableBreaksOutOfSvg", "<svg><table><tr><td>s</td></tr></table></svg><table><tr>"
     "<td><svg><text>t</text></svg></table>", {},
     [("noclass 1", [["s"]]), ("noclass 2", [["t"]])]),
    ("firstShownLinkOfCell", "<table><tr><td><a hidden href=h>H</a><a>n</a><a href=' x\n'>X</a>"
     "<a href=y>Y</a><td>b<tr><td><svg><a href=s>S</a></svg></table>", {"links": True},
     [("noclass 1", [[{"text": "nXY", "href": "x"}, "b"], ["S"]])]),
    ("linkOfInnerTableStaysThere", "<table><tr><td>o<table><tr><td><a href=i>I</a></table>"
     "</table>", {"links": True}, [("noclass 1", [["o"]]),
                                    ("noclass 2", [[{"text": "I", "href": "i"}]])]),
    ("firstBaseOutsideTemplates", "<template><base href='http://t/'></template>"
     "<base href='http://b/d/'><base href='http://c/'><table><tr><td><a href=../e#f>E</a>"
     "<td><a href='javascript:go(1)'>J</a></table>", {"links": True},
     [("noclass 1", [[{"text": "E", "href": "http://b/e#f"},
                      {"text": "J", "href": "javascript:go(1)"}]])]),
]

# (name, bytes, transport charset, expected encoding)
ENCODING_CASES = [
    ("bomBeatsEverything", b"\xef\xbb\xbf<meta charset=big5>", "koi8-r", "utf-8"),
    ("utf16Bom", b"\xff\xfe<\x00p\x00>\x00", None, "utf-16le"),
    ("transportBeatsMeta", b"<meta charset=big5>", "Shift_JIS", "shift_jis"),
    ("badTransportIgnored", b"<meta charset=big5>", "nonsense", "big5"),
    ("latin1IsWindows1252", b"<meta charset=ISO-8859-1>", None, "windows-1252"),
    ("gb2312IsGbk", b"<meta http-equiv=Content-Type content='text/html; charset=gb2312'>",
     None, "gbk"),
    ("xsjis", b"<meta charset=x-sjis>", None, "shift_jis"),
    ("contentWithoutPragma", b"<meta content='charset=koi8-r'>", None, "utf-8"),
    ("metaUtf16MeansUtf8", b"<meta charset=utf-16>\xe9", None, "utf-8"),
    ("xUserDefinedMeansWindows1252", b"<meta charset=x-user-defined>", None, "windows-1252"),
    ("commentHidesMeta", b"<!-- <meta charset=big5> --><p>", None, "utf-8"),
    ("metaPastPrescanLimit", b"<p>" + b"x" * 1100 + b"<meta charset=koi8-r>", None, "koi8-r"),
    ("laterMetaOutsideRawText", b"x" * 1100 + b"<title><meta charset=big5></title>"
     + b"<script><meta charset=euc-kr></script><meta charset=koi8-r>", None, "koi8-r"),
    ("validUtf8", b"<p>\xc3\xa9", None, "utf-8"),
    ("detectorSureEnough", b"<p>\xe9", None, "koi8-r"),
    ("fallbackWindows1252", b"<p>\xe9\xe9\xe9\xe9", None, "windows-1252"),
    ("replacementLabel", b"<meta charset=iso-2022-kr>", None, "replacement"),
]


def check_tables(failures: list) -> None:
    for name, page, options, expected in TABLE_CASES:
        got = oracle.tables_from_text(page, options.get("spans", "repeat"),
                                      options.get("keep", False), options.get("links", False))
        if got != expected:
            failures.append("%s: expected %r, got %r" % (name, expected, got))
    page = "<table><tr><td>\u00e9\u20ac\u4e2d</table>"
    for encoding in ("utf-8", "windows-1252", "gbk", "shift_jis", "big5", "euc-kr"):
        data = page.encode({"windows-1252": "cp1252"}.get(encoding, encoding), "replace")
        expected = oracle.tables_from_text(oracle.decode(data, encoding))
        got = oracle.tables_from_bytes(data, transport=encoding)
        if got != expected:
            failures.append("transport %s: expected %r, got %r" % (encoding, expected, got))


def check_encodings(failures: list) -> None:
    for name, data, transport, expected in ENCODING_CASES:
        got = oracle.settle_encoding(data, transport)[0]
        if got != expected:
            failures.append("%s: expected %s, got %s" % (name, expected, got))
    if oracle.decode(b"\x80\x81\x9d\xff", "windows-1252") != "\u20ac\x81\x9d\xff":
        failures.append("windows-1252 leaves no byte undecoded")
    corpus = Path(__file__).resolve().parents[3] / "shared" / "corpus"
    for path, expected in [("chardet/gb2312/_mozilla_bug171813_text.html", "gb18030"),
                           ("chardet/windows-1252/_mozilla_bug421271_text.html",
                            "windows-1252"),
                           ("pandas/html_encoding/chinese_utf-16.html", "utf-16le")]:
        if (corpus / path).is_file():
            got = oracle.settle_encoding((corpus / path).read_bytes())[0]
            if got != expected:
                failures.append("%s: expected %s, got %s" % (path, expected, got))


def html5lib_prescan(head: bytes):
    found = html5lib_input.EncodingParser(head).getEncoding()
    return None if found is None else oracle.encoding_for_label(found.name)


def check_prescan_against_html5lib(failures: list) -> None:
    rng = random.Random(7)
    for _ in range(3000):
        head = page_generator.head(rng, html5lib_subset=True)
        expected = html5lib_prescan(head[:1024])
        if expected in ("utf-16le", "utf-16be"):
            expected = "utf-8"
        got = oracle.prescan(head)
        if got != expected:
            failures.append("pre-scan of %r: html5lib %s, oracle %s" % (head, expected, got))
            return


def main() -> int:
    failures = []
    check_tables(failures)
    check_encodings(failures)
    check_prescan_against_html5lib(failures)
    for failure in failures:
        print("FAIL " + failure)
    print("%d failures" % len(failures))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
