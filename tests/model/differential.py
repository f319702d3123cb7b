#!/usr/bin/env python3
"""Differential test: gridmint-extract against the reference model.

Generates seeded random pages from a grammar of table markup written the way
careless pages write it (tags in any case with white space inside, attributes
quoted, unquoted, with backslashes or vertical tabs, comments and scripts with
their odd closings, references good and bad, raw and invalid bytes, charset
declarations, nesting, missing end tags), runs each through
`gridmint-extract --json` and through table_model.py, and compares the tables
and the scan pass's log lines.  Real pages from a corpus directory go through
both as well.  On a disagreement the page is shrunk by delta debugging while
the disagreement holds, and the smallest page is printed with both outputs.

    differential.py TOOL [--count N] [--seed S] [--corpus DIR | --no-corpus]

Exit status 0 when everything agrees, 1 on any disagreement, 2 on bad usage
or when the tool cannot be run.
"""

from __future__ import annotations

import argparse
import json
import os
import random
import re
import subprocess
import sys
import tempfile
import time
from dataclasses import dataclass
from pathlib import Path

sys.dont_write_bytecode = True  # keep the source tree free of caches
sys.path.insert(0, str(Path(__file__).resolve().parent))
import table_model as model  # noqa: E402

# --------------------------------------------------------------------------
# Running both sides


@dataclass
class Case:
    """One page and the options it is extracted with."""

    data: bytes
    encoding: int = 4
    consolidate: bool = False
    verbose: bool = False

    def with_data(self, data: bytes) -> "Case":
        return Case(data, self.encoding, self.consolidate, self.verbose)

    def describe(self) -> str:
        return "encoding %d%s%s" % (self.encoding,
                                    ", consolidate-whitespace" if self.consolidate else "",
                                    ", verbose" if self.verbose else "")


@dataclass
class Outcome:
    """What one side made of a page: tables as [(name, rows)] in storage order
    (None when no parser was made) and the scan pass's log messages."""

    tables: list | None
    log: list
    detail: str = ""


# The tool's answer could not be read as a result at all.
BROKEN = "broken"

LOG_LINE = re.compile(rb"^\S+ Gridmint\[\d+\] (.*)$")


class Engine:
    def __init__(self, tool: str, workdir: Path):
        self.tool = tool
        self.page = workdir / "page.html"
        home = workdir / "home"
        home.mkdir(exist_ok=True)
        self.env = dict(os.environ, HOME=str(home), XDG_CONFIG_HOME=str(home / ".config"))
        self.runs = 0

    def run(self, case: Case) -> Outcome:
        self.page.write_bytes(case.data)
        command = [self.tool, "--json", "--encoding", str(case.encoding), str(self.page)]
        if case.consolidate:
            command.insert(1, "--consolidate-whitespace")
        if case.verbose:
            command.insert(1, "--verbose")
        self.runs += 1
        try:
            done = subprocess.run(command, env=self.env, capture_output=True, timeout=120)
        except subprocess.TimeoutExpired:
            return Outcome(BROKEN, [], "no answer within 120 s")
        except OSError as error:
            print("cannot run %s: %s" % (self.tool, error.strerror), file=sys.stderr)
            raise SystemExit(2) from None
        log, other = [], []
        for line in done.stderr.split(b"\n"):
            match = LOG_LINE.match(line)
            if match:
                log.append(match.group(1).decode("utf-8", "replace"))
            elif line:
                other.append(line.decode("utf-8", "replace"))
        if done.returncode != 0:
            return Outcome(None, log, "exit %d: %s" % (done.returncode, " | ".join(other)))
        try:
            tables = json.loads(done.stdout.decode("utf-8"), object_pairs_hook=list)
        except ValueError as error:  # also invalid UTF-8
            return Outcome(BROKEN, log, "unreadable output: %s: %r" % (error, done.stdout[:200]))
        if not isinstance(tables, list):
            return Outcome(BROKEN, log, "output is not a JSON object: %r" % done.stdout[:200])
        return Outcome(tables, log)


def _python_text(value):
    if isinstance(value, str):
        return model.to_python_text(value)
    if isinstance(value, model.FuzzyName):
        return model.FuzzyName(model.to_python_text(value.base))
    return value


LONE_SURROGATE = re.compile("[\ud800-\udfff]")


def _log_text(message):
    """A model log message as it reads back from the tool's UTF-8 stderr;
    None where part of it is unknown."""
    if isinstance(message, tuple):
        if any(part is model.UNKNOWN for part in message):
            return (model.to_python_text(message[0]), None)
        message = "".join(message)
    return LONE_SURROGATE.sub("\ufffd", model.to_python_text(message))


def run_model(case: Case) -> Outcome:
    result = model.extract(case.data, case.encoding, case.consolidate,
                           verbosity=1 if case.verbose else 0)
    if result is None:
        return Outcome(None, [], "no parser")
    tables = [(_python_text(name), [[_python_text(c) for c in row] for row in rows])
              for name, rows in result.tables]
    return Outcome(tables, [_log_text(m) for m in result.log])


# --------------------------------------------------------------------------
# Comparing


def _name_matches(expected, actual: str) -> bool:
    if expected is model.UNKNOWN:
        return True
    if isinstance(expected, model.FuzzyName):
        return actual == expected.base or re.fullmatch(
            re.escape(expected.base) + r" \(\d+\)", actual, re.S) is not None
    return expected == actual


def _cell_matches(expected, actual: str) -> bool:
    return expected is model.UNKNOWN or expected == actual


def _log_matches(expected, actual: str) -> bool:
    if isinstance(expected, tuple):
        return actual.startswith(expected[0])
    return expected == actual


def differences(expected: Outcome, actual: Outcome) -> list[str]:
    """Kinds of disagreement: "output", "parser", "tables", "log"."""
    if actual.tables is BROKEN:
        return ["output"]
    if (expected.tables is None) != (actual.tables is None):
        return ["parser"]
    kinds = []
    if expected.tables is not None:
        same = len(expected.tables) == len(actual.tables) and all(
            _name_matches(en, an) and len(er) == len(ar) and all(
                len(ec) == len(ac) and all(map(_cell_matches, ec, ac))
                for ec, ac in zip(er, ar))
            for (en, er), (an, ar) in zip(expected.tables, actual.tables))
        if not same:
            kinds.append("tables")
    if len(expected.log) != len(actual.log) or not all(
            map(_log_matches, expected.log, actual.log)):
        kinds.append("log")
    return kinds


# --------------------------------------------------------------------------
# Shrinking


def shrink(data: bytes, still_fails, budget: int = 4000) -> bytes:
    """Delta debugging over bytes: drop ever smaller chunks while the failure
    holds, finishing with single bytes."""
    granularity = 2
    while len(data) >= 2 and budget > 0:
        chunk = -(-len(data) // granularity)
        reduced = False
        for start in range(0, len(data), chunk):
            candidate = data[:start] + data[start + chunk:]
            budget -= 1
            if candidate and still_fails(candidate):
                data = candidate
                granularity = max(granularity - 1, 2)
                reduced = True
                break
            if budget <= 0:
                break
        if not reduced:
            if chunk == 1:
                break
            granularity = min(granularity * 2, len(data))
    return data


# --------------------------------------------------------------------------
# Page generator


class PageGenerator:
    """Random pages from a grammar of the markup the scan pass cares about."""

    WORDS = ["a", "b", "x", "42", "3.14", "Total", "price", "Oslo", "name", "tr", "td",
             "id", "class", "script", "table", "body", "tbody", "somebody", "BODY",
             "charset", "a>b", "a<b", "x = y", "=", "'", '"', "\\", "-", "--", "/",
             "&", ";", "#"]
    SPACES = [b" ", b"  ", b"\t", b"\n", b"\r\n", b"\r", b"\n\n  ", b"\x0b", b"\x0c",
              b"\xc2\xa0", b"\xa0", b"\xe2\x80\xa8", b"\xe3\x80\x80", b"\xc2\x85",
              b"\x85", b"   \t "]
    NON_ASCII = [b"\xc3\xa9", b"\xe2\x82\xac", b"\xe4\xb8\xad", b"\xf0\x9f\x98\x80",
                 b"\xef\xbb\xbf", b"\xe9", b"\xff", b"\x80", b"\xc0\x80", b"\xed\xa0\x80",
                 b"\xf4\x90\x80\x80", b"\xe4\xb8", b"\x93quoted\x94", b"\x81\x8d\x8f\x90\x9d",
                 b"\x00", b"\x01\x1f\x7f", b"\xef\xbf\xbe\xef\xbf\xbf", b"\xf5\x80\x80\x80",
                 b"\xe0\x80\xaf", b"\xf0\x80\x80\xaf", b"\xed\xa0\xbd\xed\xb8\x80",
                 b"\xfe\xff\x00A\xd8\x3d\xde\x00", b"\xff\xfeA\x00", b"\xd8\x00\x00A"]
    REFERENCES = ["&amp;", "&lt;", "&gt;", "&quot;", "&apos;", "&nbsp;", "&AMP;", "&amp",
                  "&amp;lt;", "&amp&lt;", "& x;", "&a;", "&;", "&thetasym;", "&diams;",
                  "&Alpha;", "&alpha;", "&#65;", "&#0065;", "&#x41;", "&#X41;", "&#0;",
                  "&#65534;", "&#65535;", "&#x1F600;", "&#xD800;", "&#xDE00;",
                  "&#xD83D;&#xDE00;", "&#12345678;", "&#;", "&#x;", "&#6a5;", "&#+65;",
                  "&# 65;", "&#x0x41;", "&#13;", "&#10;", "&#13;&#10;", "&#9;", "&#32;",
                  "&#160;", "&#x00041;", "&#xfffe;", "&#1234567;", "&#xabcdef;",
                  "&notanentity;", "&#x20;&#x20;", "&&amp;;", "&lt;&gt;"]
    CHARSETS = ["utf-8", "UTF-8", "iso-8859-1", "ISO-8859-1", "windows-1252",
                "WINDOWS-1252", "Windows-1252", "cp1252", "iso-8859-2", "ISO-8859-15",
                "iso-8859-10", "us-ascii", "latin1", "x-user-defined", "",
                "shift_jis", "big5", "gb2312", "tis-620"]
    OTHER_TAGS = [b"<br>", b"<BR/>", b"<p>", b"</p>", b"<b>", b"</b>", b"<span class=x>",
                  b"</span>", b"<img src='x.png' alt=\"a>b\">", b"<tbody>", b"</tbody>",
                  b"<thead>", b"</thead>", b"<tfoot>", b"</tfoot>", b"<th>", b"</th>",
                  b"<track>", b"</track>", b"<tablex>", b"<t>", b"</t>", b"<>", b"</>",
                  b"<<", b">>", b"< ", b" >", b"<a href=\"/x?a=1&amp;b=2\">link</a>",
                  b"<input value='</td>'>", b"<col width=10>", b"<caption>", b"</caption>"]

    def __init__(self, rng: random.Random):
        self.rng = rng

    # Small pieces ------------------------------------------------------------

    def pick(self, items):
        return self.rng.choice(items)

    def chance(self, p: float) -> bool:
        return self.rng.random() < p

    def cased(self, name: str) -> bytes:
        mode = self.rng.random()
        if mode < 0.5:
            return name.encode()
        if mode < 0.7:
            return name.upper().encode()
        return "".join(c.upper() if self.chance(0.5) else c for c in name).encode()

    def tag_space(self) -> bytes:
        if self.chance(0.75):
            return b""
        return self.pick([b" ", b"  ", b"\t", b"\n", b"\r\n", b"\r", b"\x0b", b"\x0c"])

    def word(self) -> bytes:
        return self.pick(self.WORDS).encode()

    def reference(self) -> bytes:
        if self.chance(0.3):
            name = self.pick(sorted(model.ENTITY_TABLE))
            return name.encode()
        return self.pick(self.REFERENCES).encode()

    def text(self, length: int = 6) -> bytes:
        parts = []
        for _ in range(self.rng.randint(0, length)):
            r = self.rng.random()
            if r < 0.35:
                parts.append(self.word())
            elif r < 0.55:
                parts.append(self.pick(self.SPACES))
            elif r < 0.65:
                parts.append(self.reference())
            elif r < 0.74:
                parts.append(self.pick(self.NON_ASCII))
            elif r < 0.75:
                parts.append(bytes(self.rng.sample(range(0x80, 0x100), 8)))
            elif r < 0.82:
                parts.append(self.pick(self.OTHER_TAGS))
            elif r < 0.86:
                parts.append(self.comment())
            elif r < 0.88:
                parts.append(self.script())
            elif r < 0.91:
                parts.append(self.pick([b"<", b">", b"a < b", b"1 > 0", b"<-", b"->"]))
            elif r < 0.93:
                parts.append(self.long_run())
            else:
                parts.append(self.pick([b"body", b"tbody", b"BODY", b"charset=",
                                        b"somebody"]))
        return b"".join(parts)

    def long_run(self) -> bytes:
        """A long stretch with nothing for a recogniser to do, or something
        pending all through it."""
        n = self.rng.randint(50, 3000 if self.chance(0.1) else 400)
        return self.pick([
            b"x" * n, b" " * n, b"\t \n" * (n // 3), b"a b  " * (n // 5),
            b"<!--" + b"-" * n + b">", b"<!-- " + b"y" * n + b" -->",
            b"<script>" + b"z" * n + b"</script>", b"&amp;" * (n // 5),
            b"\xc3\xa9" * (n // 2), b"\r\n" * (n // 2), b"\xa0" * n, b"<" + b"t" * n + b">",
            b"<td" + b" " * n + b">", b"< " + b"\n" * n + b"/td>", b"-" * n + b">",
            b"<table" + b" " * n + b"id=n>", b"<table id" + b"\x0b" * n + b"=n>",
            b"<table class=\\" + b"\\" * n + b"c>", b"<table id='" + b"q" * n,
            b"</" + b"\t" * n + b"tr>", b"<script" + b" " * n + b"></script>"])

    # Markup --------------------------------------------------------------------

    def open_tag(self, name: str, attributes: bytes = b"") -> bytes:
        return (b"<" + self.tag_space() + self.cased(name) + attributes + self.tag_space()
                + (b"/" if self.chance(0.05) else b"") + b">")

    def close_tag(self, name: str) -> bytes:
        return (b"<" + self.tag_space() + b"/" + self.tag_space() + self.cased(name)
                + self.tag_space() + b">")

    def attribute_value(self) -> bytes:
        r = self.rng.random()
        if r < 0.1:
            return b""
        if r < 0.15:
            return b"v" * self.rng.randint(990, 1100)
        if r < 0.25:
            return self.pick([b"a class=b", b"x id=y", b"a\\'b", b"a>b", b"t&amp;q",
                              b"p q", b"\xc3\xa9t\xc3\xa9", b"\xe9t\xe9", b"&#65;&#xD800;",
                              b"x\ty", b"x\ny", b"noclass 1", b"  padded  "])
        if r < 0.3:
            return self.pick([b"a<!--b", b"<script>x", b"x</table>y", b"-->", b"a\x00b",
                              b"</td>", b"\xff\xfe"])
        return self.pick([b"prices", b"t", b"k", b"data", b"main-table", b"x1", b"Prices",
                          b"wikitable sortable", b"a b"])

    def attribute(self) -> bytes:
        name = self.pick(["id", "class", "id", "class", "title", "data-id", "xid",
                          "border", "idx", "classy", "summary"])
        before = self.pick([b" ", b" ", b"\t", b"\n", b"  ", b"\x0b", b""])
        around = self.pick([b"", b"", b"", b" ", b"\x0b", b"\t", b"\x0c"])
        after = self.pick([b"", b"", b"", b" ", b"\\", b"\\ \\", b"\n"])
        value = self.attribute_value()
        quote = self.pick([b'"', b"'", b"", b'"', b"'"])
        closing = quote if self.chance(0.93) else b""
        if not quote and not value:
            value = b"v"
        if self.chance(0.1):
            # No value: the recogniser waits across the end of the tag.
            return before + self.cased(name) + self.pick([b"", b"=", b" =", b"= "])
        return before + self.cased(name) + around + b"=" + after + quote + value + closing

    def table_attributes(self) -> bytes:
        return b"".join(self.attribute() for _ in range(self.rng.choice([0, 0, 1, 1, 2, 3])))

    def comment(self) -> bytes:
        return self.pick([
            b"<!-- " + self.word() + b" -->", b"<!-->", b"<!--->", b"<!---->",
            b"<!-- a -- > still -->", b"<!-- a --->", b"<!-- a < b -->",
            b"<!-- <script> -->", b"<!-- </script> -->", b"<!-- </td></tr> -->",
            b"<!-- <table id=c><tr><td>c</td></tr></table> -->", b"<!- x ->",
            b"<!--" + self.text(3) + b"-->", b"<! -- x -->", b"<!DOCTYPE html>"])

    def script(self) -> bytes:
        opener = self.pick([b"<script>", b"<SCRIPT type='text/javascript'>",
                            b"<script src=x.js />", b"<Script\n>", b"< script>"])
        body = self.pick([b"var a = 1;", b"if (a<b && c>d) x();",
                          b"document.write('<table><tr><td>w</td></tr></table>');",
                          b"s = '</scr' + 'ipt>';", b"<!-- x </script> -->",
                          b"</ script> y", b"x = '<td>' + y", b""])
        closer = self.pick([b"</script>", b"</SCRIPT>", b"< /script>", b"</script >",
                            b"</ script></script>", b"</scriptx>"])
        return opener + body + closer

    def cell(self, depth: int) -> bytes:
        kind = self.pick(["td", "td", "td", "th", None])
        out = self.open_tag(kind) if kind else b""
        if depth < 2 and self.chance(0.06):
            out += self.text(2) + self.table(depth + 1)
        out += self.text()
        if self.chance(0.9):
            out += self.close_tag(self.pick(["td", "td", "th", "thead"]) if kind != "th"
                                  else self.pick(["th", "td"]))
        return out + self.pick([b"", b"", b"\n", b" ", b"\r\n  "])

    def row(self, depth: int) -> bytes:
        out = b""
        if self.chance(0.9):
            out += self.open_tag("tr", self.pick([b"", b"", b" class=r", b" id=r1"]))
        out += self.pick([b"", b"\n", b"  "])
        for _ in range(self.rng.randint(0, 4)):
            out += self.cell(depth)
        if self.chance(0.85):
            out += self.close_tag(self.pick(["tr", "tr", "tr", "track"]))
        return out + self.pick([b"", b"\n"])

    def table(self, depth: int = 0) -> bytes:
        out = self.open_tag("table", self.table_attributes()) + self.pick([b"", b"\n"])
        if self.chance(0.15):
            out += b"<caption>" + self.text(2) + b"</caption>"
        wrap = self.chance(0.3)
        if wrap:
            out += self.open_tag(self.pick(["thead", "tbody"]))
        for _ in range(self.rng.randint(0, 4)):
            out += self.row(depth)
            if self.chance(0.1):
                out += self.text(2)
        if wrap and self.chance(0.7):
            out += self.close_tag(self.pick(["tbody", "thead", "tfoot"]))
        if self.chance(0.9):
            out += self.close_tag("table")
        return out + self.pick([b"", b"\n"])

    def charset_declaration(self) -> bytes:
        charset = self.pick(self.CHARSETS).encode()
        return self.pick([
            b'<meta charset="' + charset + b'">',
            b"<meta charset=" + charset + b" />",
            b'<meta http-equiv="Content-Type" content="text/html; charset=' + charset + b'">',
            b'<meta content="text/html; CHARSET=' + charset + b'" http-equiv="Content-Type">',
            b"<meta Charset='" + charset + b"'>",
            b"<?xml version='1.0' encoding='" + charset + b"'?>",
            b"charset = '" + charset + b"'",
        ])

    def head(self) -> bytes:
        parts = [b"<!DOCTYPE html>\n<html><head>"]
        if self.chance(0.2):
            parts.append(self.pick([b"<!-- tbody -->", b"<title>somebody</title>"]))
        if self.chance(0.7):
            parts.append(self.charset_declaration())
        parts.append(b"<title>" + self.text(2) + b"</title></head>\n")
        parts.append(self.pick([b"<body>", b"<BODY>", b"<Body>", b""]))
        return b"".join(parts)

    SOUP = [b"<", b"<", b">", b">", b"/", b"table", b"TABLE", b"tr", b"td", b"th", b"thead",
            b"t", b"tab", b"able", b"script", b"scr", b"ipt", b" ", b" ", b"\t", b"\n",
            b"\r", b"\x0b", b"\x0c", b"id", b"ID", b"class", b"cla", b"ss", b"=", b"'",
            b'"', b"\\", b"x", b"y z", b"<!--", b"-->", b"--", b"-", b"!", b"<!-", b"&",
            b";", b"#", b"amp", b"lt", b"nbsp", b"65", b"x41", b"D800", b"\xc3\xa9",
            b"\xff", b"\xa0", b"body", b"charset=", b"latin1", b"1252", b"\x00",
            b"<table", b"</table>", b"<tr>", b"</tr>", b"<td>", b"</td>", b"</th>",
            b"<script>", b"</script>", b" id=", b" class=", b"< /", b"</ "]

    def charset_page(self) -> bytes:
        """A declaration cut up and shuffled around the head bound, then a table
        whose cells show which encoding was chosen."""
        pieces = [self.pick([b"charset", b"CHARSET", b"Charset", b"charset", b"charset"]),
                  self.pick([b"=", b" = ", b"=\"", b"='", b""]),
                  self.pick(self.CHARSETS).encode(),
                  self.pick([b"\"", b"'", b" /", b"\" http-equiv=\"Content-Type\"", b""]),
                  b">", self.pick([b"<body>", b"tbody", b"BODY", b"somebody", b"<Body>", b""]),
                  self.pick([b"<meta ", b"<head>", b"\xe9", b"x"])]
        if self.chance(0.5):
            self.rng.shuffle(pieces)
        cells = b"<table><tr><td>\xe9\x93\x81\xc3\xa9\xa3</td></tr></table>"
        if self.chance(0.2):
            return cells + b"".join(pieces)
        return b"".join(pieces) + cells + self.pick([b"", b"\n", b"charset=latin1>",
                                                     b"CHARSET=cp1252>"])

    def soup(self) -> bytes:
        """Markup fragments in random order, for states a grammar never reaches."""
        pieces = [self.pick(self.SOUP) for _ in range(self.rng.randint(5, 150))]
        return b"".join(pieces) or b" "

    def page(self) -> bytes:
        parts = []
        if self.chance(0.5):
            parts.append(self.head())
        elif self.chance(0.2):
            parts.append(self.charset_declaration())
        for _ in range(self.rng.randint(1, 5)):
            r = self.rng.random()
            if r < 0.6:
                parts.append(self.table())
            elif r < 0.7:
                parts.append(self.row(0))
            elif r < 0.75:
                parts.append(self.cell(0))
            elif r < 0.85:
                parts.append(self.comment())
            elif r < 0.9:
                parts.append(self.script())
            else:
                parts.append(self.text())
        if self.chance(0.3):
            parts.append(b"</body></html>\n")
        if self.chance(0.1):
            parts.append(self.pick([b"<!-", b"<!--", b"<", b"&", b"<script>x", b"<!-- x",
                                    b"<table id=", b"<td>tail", b">"]))
        data = b"".join(parts)
        return data if data else b" "

    def case(self) -> Case:
        r = self.rng.random()
        data = self.soup() if r < 0.25 else self.charset_page() if r < 0.35 else self.page()
        encoding = self.rng.choices([4, 5, 12, 1, 0, 9, 10, 7],
                                    [10, 2, 2, 1, 1, 1, 0.5, 0.3])[0]
        if self.chance(0.05):
            data = self.utf16(data)
        return Case(data, encoding, self.chance(0.4), self.chance(0.2))

    def utf16(self, data: bytes) -> bytes:
        """The page's bytes as UTF-16 units behind a byte-order mark, sometimes with a lone
        surrogate among them or an odd byte at the end."""
        big = self.chance(0.5)
        units = [bytes([0, b]) if big else bytes([b, 0]) for b in data]
        if self.chance(0.3):
            units.insert(self.rng.randrange(len(units) + 1), b"\xd8\x00" if big else b"\x00\xd8")
        tail = b"x" if self.chance(0.3) else b""
        return (b"\xfe\xff" if big else b"\xff\xfe") + b"".join(units) + tail


# --------------------------------------------------------------------------
# Driving


def describe(outcome: Outcome) -> str:
    if outcome.tables is None or outcome.tables is BROKEN:
        return "no result (%s)" % outcome.detail
    tables = {str(name): rows for name, rows in outcome.tables}
    log = "\n    ".join(map(repr, outcome.log)) or "(none)"
    return "%s\n  log:\n    %s" % (json.dumps(tables, ensure_ascii=True, default=repr), log)


class Checker:
    def __init__(self, engine: Engine, shrink_budget: int):
        self.engine = engine
        self.shrink_budget = shrink_budget
        self.failures = 0

    def check(self, label: str, case: Case, minimise: bool = True) -> bool:
        if case.verbose and not model.is_modelled(model.extract(
                case.data, case.encoding).use_encoding):
            # Whether a piece fails to decode, and so logs, is unknown there.
            case.verbose = False
        expected = run_model(case)
        actual = self.engine.run(case)
        kinds = differences(expected, actual)
        if not kinds:
            return True
        self.failures += 1
        print("\n=== DISAGREEMENT (%s) in %s: %s" % (", ".join(kinds), label,
                                                     case.describe()))
        if minimise:
            kind = kinds[0]

            def still_fails(candidate: bytes) -> bool:
                smaller = case.with_data(candidate)
                return kind in differences(run_model(smaller), self.engine.run(smaller))

            case = case.with_data(shrink(case.data, still_fails, self.shrink_budget))
            expected = run_model(case)
            actual = self.engine.run(case)
            print("minimal page (%d bytes): %r" % (len(case.data), case.data))
        else:
            print("page: %d bytes" % len(case.data))
        print("model:  " + describe(expected))
        print("engine: " + describe(actual))
        sys.stdout.flush()
        return False


def main(argv=None) -> int:
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("tool", help="path to gridmint-extract")
    parser.add_argument("--count", type=int, default=300, help="random pages to try")
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--corpus", default=os.environ.get("GRIDMINT_CORPUS_DIR", ""),
                        help="directory of real pages to run as well")
    parser.add_argument("--no-corpus", action="store_true")
    parser.add_argument("--max-failures", type=int, default=5,
                        help="stop after this many disagreements")
    parser.add_argument("--shrink-budget", type=int, default=3000)
    parser.add_argument("--save", help="directory to write the generated pages to")
    args = parser.parse_args(argv)

    if not os.access(args.tool, os.X_OK):
        print("cannot run %s" % args.tool, file=sys.stderr)
        return 2
    started = time.monotonic()
    with tempfile.TemporaryDirectory(prefix="gridmint-model-") as workdir:
        checker = Checker(Engine(args.tool, Path(workdir)), args.shrink_budget)
        rng = random.Random(args.seed)
        generator = PageGenerator(rng)
        checked = 0
        for index in range(args.count):
            case = generator.case()
            if args.save:
                Path(args.save).mkdir(parents=True, exist_ok=True)
                Path(args.save, "page-%d-%d.html" % (args.seed, index)).write_bytes(case.data)
            checker.check("random page %d (seed %d)" % (index, args.seed), case)
            checked += 1
            if checker.failures >= args.max_failures:
                break
        corpus = Path(args.corpus) if args.corpus and not args.no_corpus else None
        if corpus and corpus.is_dir() and checker.failures < args.max_failures:
            for path in sorted(p for p in corpus.rglob("*") if p.is_file()):
                if path.suffix == ".md":
                    continue
                data = path.read_bytes()
                for consolidate in (False, True):
                    checker.check(str(path.relative_to(corpus)), Case(data, 4, consolidate),
                                  minimise=len(data) < 20000)
                    checked += 1
                if checker.failures >= args.max_failures:
                    break
    print("\n%d checks, %d disagreements, %d tool runs, %.1f s" % (
        checked, checker.failures, checker.engine.runs, time.monotonic() - started))
    return 1 if checker.failures else 0


if __name__ == "__main__":
    sys.exit(main())
