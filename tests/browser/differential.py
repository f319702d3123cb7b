#!/usr/bin/env python3
"""Differential test of the browser reading: `gridmint-extract --browser --json`
against the oracle over html5lib's tree, on seeded random pages
(page_generator.py) and on every page of a corpus directory, with each spans
mode, with line breaks kept and with links kept (--links, links made
absolute against the page's <base href> or the address it was served from).  A page whose charset travels in the response
is served from a small HTTP server on 127.0.0.1.  On a disagreement the page
is shrunk while the disagreement holds and the smallest page is printed with
both outputs.

    differential.py TOOL [--count N] [--seed S] [--corpus DIR]

Exit status 0 when everything agrees, 1 on a disagreement or when html5lib is
missing, 2 when the tool cannot be run.
"""

from __future__ import annotations

import argparse
import json
import os
import random
import subprocess
import sys
import tempfile
import threading
import time
from dataclasses import dataclass, replace
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer
from pathlib import Path

sys.dont_write_bytecode = True
HERE = Path(__file__).resolve().parent
sys.path.insert(0, str(HERE))
try:
    import oracle  # noqa: E402
    import page_generator  # noqa: E402
except ImportError as error:
    print("the browser oracle needs Debian's python3-html5lib and python3-icu: %s" % error)
    sys.exit(1)


def _model_shrink():
    """The delta-debugging shrinker of the default reading's differential test."""
    sys.path.insert(0, str(HERE.parent / "model"))
    try:
        import differential as model_differential  # the model's, found first on the path
    finally:
        sys.path.pop(0)
    return model_differential.shrink


shrink = _model_shrink()

# (spans, keep line breaks, links)
OPTION_SETS = [("repeat", False, True), ("empty", False, False), ("none", False, True),
               ("repeat", True, False)]


@dataclass
class Case:
    data: bytes
    transport: str | None = None
    spans: str = "repeat"
    keep_line_breaks: bool = False
    links: bool = False

    def describe(self) -> str:
        return "--spans %s%s%s%s" % (self.spans, " --keep-line-breaks" if self.keep_line_breaks
                                     else "", " --links" if self.links else "",
                                     ", charset %s sent" % self.transport
                                     if self.transport else "")


class PageServer:
    """Serves one page at a time with the charset its case sends."""

    def __init__(self):
        self.page, self.charset = b"", None
        server = self

        class Handler(BaseHTTPRequestHandler):
            def do_GET(self):  # noqa: N802 (the name http.server calls)
                self.send_response(200)
                self.send_header("Content-Type", "text/html; charset=%s" % server.charset)
                self.send_header("Content-Length", str(len(server.page)))
                self.end_headers()
                self.wfile.write(server.page)

            def log_message(self, *args):
                pass

        self.http = ThreadingHTTPServer(("127.0.0.1", 0), Handler)
        threading.Thread(target=self.http.serve_forever, daemon=True).start()
        self.address = "http://127.0.0.1:%d/page.html" % self.http.server_address[1]


class Engine:
    def __init__(self, tool: str, workdir: Path):
        self.tool, self.page, self.runs = tool, workdir / "page.html", 0
        home = workdir / "home"
        home.mkdir(exist_ok=True)
        self.env = dict(os.environ, HOME=str(home), XDG_CONFIG_HOME=str(home / ".config"))
        self.server = None

    def address_for(self, case: Case) -> str | None:
        """The address the page is served from, or None for a file."""
        if not case.transport:
            return None
        self.server = self.server or PageServer()
        return self.server.address

    def run(self, case: Case):
        """[(name, rows)], or a string saying what went wrong."""
        command = [self.tool, "--browser", "--json", "--spans", case.spans]
        if case.keep_line_breaks:
            command.append("--keep-line-breaks")
        if case.links:
            command.append("--links")
        if case.transport:
            command.append(self.address_for(case))
            self.server.page, self.server.charset = case.data, case.transport
        else:
            self.page.write_bytes(case.data)
            command.append(str(self.page))
        self.runs += 1
        try:
            done = subprocess.run(command, env=self.env, capture_output=True, timeout=120)
        except subprocess.TimeoutExpired:
            return "no answer within 120 s"
        except OSError as error:
            print("cannot run %s: %s" % (self.tool, error.strerror), file=sys.stderr)
            raise SystemExit(2) from None
        if done.returncode == 1 and not done.stdout:
            return []  # no table
        if done.returncode != 0:
            return "exit %d: %s" % (done.returncode, done.stderr.decode("utf-8", "replace")[:300])
        try:
            tables = json.loads(done.stdout.decode("utf-8"), object_pairs_hook=list)
            # The hook keeps the tables' order, and makes a linked cell a list of pairs too.
            return [[name, [[cell if isinstance(cell, str) else dict(cell) for cell in row]
                            for row in rows]] for name, rows in tables]
        except ValueError as error:
            return "unreadable output: %s: %r" % (error, done.stdout[:200])


def expected_tables(case: Case, address: str | None):
    return [[name, rows] for name, rows in oracle.tables_from_bytes(
        case.data, case.transport, case.spans, case.keep_line_breaks, case.links, address)]


def describe(tables) -> str:
    text = tables if isinstance(tables, str) else json.dumps(tables, ensure_ascii=False)
    return text if len(text) < 3000 else text[:3000] + "..."


class Checker:
    def __init__(self, engine: Engine, shrink_budget: int):
        self.engine, self.shrink_budget, self.failures = engine, shrink_budget, 0

    def check(self, label: str, case: Case, minimise: bool = True) -> bool:
        expected = expected_tables(case, self.engine.address_for(case))
        actual = self.engine.run(case)
        if expected == actual:
            return True
        self.failures += 1
        print("\n=== DISAGREEMENT in %s: %s" % (label, case.describe()))
        if minimise:
            def still_fails(data: bytes) -> bool:
                smaller = replace(case, data=data)
                return (expected_tables(smaller, self.engine.address_for(smaller))
                        != self.engine.run(smaller))

            case = replace(case, data=shrink(case.data, still_fails, self.shrink_budget))
            expected = expected_tables(case, self.engine.address_for(case))
            actual = self.engine.run(case)
            print("minimal page (%d bytes): %r" % (len(case.data), case.data))
        else:
            print("page: %d bytes" % len(case.data))
        print("oracle: " + describe(expected))
        print("engine: " + describe(actual))
        sys.stdout.flush()
        return False


def main(argv=None) -> int:
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("tool", help="path to gridmint-extract")
    parser.add_argument("--count", type=int, default=300, help="random pages to try")
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--corpus", default="", help="directory of real pages to run as well")
    parser.add_argument("--max-failures", type=int, default=5)
    parser.add_argument("--shrink-budget", type=int, default=1500)
    args = parser.parse_args(argv)
    if not os.access(args.tool, os.X_OK):
        print("cannot run %s" % args.tool, file=sys.stderr)
        return 2

    started, checked = time.monotonic(), 0
    with tempfile.TemporaryDirectory(prefix="gridmint-browser-") as workdir:
        checker = Checker(Engine(args.tool, Path(workdir)), args.shrink_budget)
        rng = random.Random(args.seed)
        pages = page_generator.Pages(rng)
        for index in range(args.count):
            data, transport = pages.page()
            spans, keep, links = rng.choice(OPTION_SETS)
            checker.check("random page %d (seed %d)" % (index, args.seed),
                          Case(data, transport, spans, keep, links))
            checked += 1
            if checker.failures >= args.max_failures:
                break
        corpus = Path(args.corpus) if args.corpus else None
        if corpus and corpus.is_dir():
            for path in sorted(p for p in corpus.rglob("*") if p.is_file()):
                if path.suffix == ".md" or checker.failures >= args.max_failures:
                    continue
                for spans, keep, links in OPTION_SETS:
                    checker.check(str(path.relative_to(corpus)),
                                  Case(path.read_bytes(), None, spans, keep, links),
                                  minimise=path.stat().st_size < 20000)
                    checked += 1
    print("\n%d checks, %d disagreements, %d tool runs, %.1f s" % (
        checked, checker.failures, checker.engine.runs, time.monotonic() - started))
    return 1 if checker.failures else 0


if __name__ == "__main__":
    sys.exit(main())
