"""gridmint.dask against gridmint-extract --jsonl: the same records from a folder of pages
and web archives, in one process and on a two-worker LocalCluster.

Run by CTest with PYTHONPATH at the build tree's module and GRIDMINT_EXTRACT at the tool."""

import gzip
import json
import os
import pathlib
import subprocess
import tempfile
import unittest

import gridmint.dask

TOOL = os.environ["GRIDMINT_EXTRACT"]
ROOT = pathlib.Path(__file__).resolve().parents[2]
CORPUS = pathlib.Path(os.environ.get("GRIDMINT_CORPUS_DIR", ROOT.parent / "shared" / "corpus"))


def warc_record(uri, http):
    head = ("WARC/1.0\r\nWARC-Type: response\r\nWARC-Target-URI: %s\r\n"
            "Content-Length: %d\r\n\r\n" % (uri, len(http))).encode()
    return head + http + b"\r\n\r\n"


def http_response(body, content_type="text/html", chunked=False):
    head = b"HTTP/1.1 200 OK\r\nContent-Type: " + content_type.encode() + b"\r\n"
    if not chunked:
        return head + b"Content-Length: %d\r\n\r\n" % len(body) + body
    chunks = b"".join(b"%x\r\n%s\r\n" % (len(body[i:i + 500]), body[i:i + 500])
                      for i in range(0, len(body), 500))
    return head + b"Transfer-Encoding: chunked\r\n\r\n" + chunks + b"0\r\n\r\n"


def archive_records(pages):
    """Responses of the pages with a charset, chunked or not, and records that are no page."""
    records = [warc_record("", b"software: test\r\n").replace(b"response", b"warcinfo", 1)]
    for n, page in enumerate(pages):
        body = page.read_bytes()
        kind = "text/html; charset=windows-1252" if n % 3 == 1 else "text/html"
        records.append(warc_record("http://pages.test/%d" % n,
                                   http_response(body, kind, chunked=n % 2 == 0)))
        if n % 4 == 0:
            records.append(warc_record("http://pages.test/%d.txt" % n,
                                       http_response(b"<table><tr><td>no</td></tr></table>",
                                                     "text/plain")))
    return records


def tool_records(paths, *flags):
    out = subprocess.run([TOOL, "--jsonl", "-j", "2", *flags, *map(str, paths)],
                         capture_output=True, check=False).stdout
    return [json.loads(line) for line in out.splitlines()]


class TablesBag(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.folder = tempfile.TemporaryDirectory()
        folder = pathlib.Path(cls.folder.name)
        pages = sorted(CORPUS.rglob("*.html")) + [ROOT / "examples" / "world-cities.html"]
        for page in pages[:12]:
            (folder / ("page-" + page.name)).write_bytes(page.read_bytes())
        records = archive_records(pages)
        (folder / "plain.warc").write_bytes(b"".join(records))
        # The last member is cut short: its record is lost, with a warning, on every road.
        members = b"".join(gzip.compress(r) for r in records)
        (folder / "pages.warc.gz").write_bytes(members[:-40])
        cls.paths = sorted(str(p) for p in folder.iterdir())
        cls.expected = tool_records(cls.paths)
        cls.expected_browser = tool_records(cls.paths, "--browser")

    @classmethod
    def tearDownClass(cls):
        cls.folder.cleanup()

    def test_single_process_gives_the_tools_records_however_archives_are_cut(self):
        self.assertGreater(len(self.expected), 100)
        self.assertTrue(any("url" in r for r in self.expected))
        for blocksize, per_partition in [("64 MiB", None), (10007, None), (30011, 3)]:
            with self.subTest(blocksize=blocksize, files_per_partition=per_partition):
                bag = gridmint.dask.tables_bag(self.folder.name, blocksize=blocksize,
                                               files_per_partition=per_partition)
                with self.assertLogs("gridmint.dask", "WARNING") as logged:
                    self.assertEqual(bag.compute(scheduler="sync"), self.expected)
                # The record cut short is named once, by the range it starts in.
                self.assertEqual(len(logged.output), 1)
                self.assertIn("the archive ends inside it", logged.output[0])
        bag = gridmint.dask.tables_bag(self.paths, blocksize=40000, browser=True)
        self.assertEqual(bag.compute(scheduler="sync"), self.expected_browser)

    def test_local_cluster_gives_the_single_process_records(self):
        from distributed import Client, LocalCluster

        with LocalCluster(n_workers=2, threads_per_worker=1, processes=True,
                          dashboard_address=None) as cluster, Client(cluster):
            bag = gridmint.dask.tables_bag(self.paths, blocksize=50000)
            self.assertGreater(bag.npartitions, len(self.paths))
            self.assertEqual(bag.compute(), self.expected)
            with tempfile.TemporaryDirectory() as out:
                written = gridmint.dask.write_jsonl(bag, out)
                self.assertEqual(len(written), bag.npartitions)
                lines = []
                for path in sorted(written):
                    with open(path, encoding="utf-8", newline="\n") as f:
                        lines.extend(f)
                self.assertEqual([json.loads(line) for line in lines], self.expected)
            self.assertEqual(gridmint.dask.tables_bag(self.paths, browser=True).compute(),
                             self.expected_browser)

    def test_bad_options_are_refused_before_any_work(self):
        for options, part in [({"spans": "none"}, "browser=True"),
                              ({"browser": True, "encoding": "koi8-r"}, "encoding"),
                              ({"encoding": "klingon"}, "klingon"),
                              ({"browser": True, "links": True}, "links=True")]:
            with self.subTest(options=options):
                with self.assertRaises(ValueError) as raised:
                    gridmint.dask.tables_bag(self.paths, **options)
                self.assertIn(part, str(raised.exception))


if __name__ == "__main__":
    unittest.main()
