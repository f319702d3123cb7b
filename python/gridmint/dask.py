"""The tables of many pages with Dask, on one machine or a cluster.

tables_bag(paths) is a dask.bag.Bag of table records, each the dict of one line that
`gridmint-extract --jsonl` prints for the same paths: "source" (the path as given), "url"
(for a page from a web archive: its WARC-Target-URI), "index" (the table's 1-based place in
its page), "name" and "rows". write_jsonl(bag, folder) writes one JSON-lines file per
partition. Both run on whatever Dask scheduler is current: the distributed.Client made last
(a LocalCluster, or Client("tcp://scheduler:8786") on a cluster whose workers have gridmint
installed), else Dask's own. Nothing of gridmint's runs outside the workers' tasks.
"""

import json
import logging
import os
import re

import dask
import dask.bag

from . import _core

__all__ = ["tables_bag", "write_jsonl"]

_log = logging.getLogger("gridmint.dask")
_NO_END = 2**64 - 1
_UNITS = {"": 1, "b": 1, "kb": 10**3, "mb": 10**6, "gb": 10**9, "kib": 2**10, "mib": 2**20,
          "gib": 2**30}


def _bytes(size):
    if isinstance(size, int):
        return size
    number, unit = re.fullmatch(r"\s*([0-9.]+)\s*([a-zA-Z]*)\s*", str(size)).groups()
    return int(float(number) * _UNITS[unit.lower()])


def _is_archive(path):
    lower = path.lower()
    return lower.endswith(".warc") or lower.endswith(".warc.gz")


def _expand(paths):
    """The paths one by one: a glob pattern gives its matches, a folder its files, sorted."""
    if isinstance(paths, (str, bytes, os.PathLike)):
        paths = [paths]
    expanded = []
    for path in paths:
        path = os.fsdecode(path)
        if re.search(r"[*?[]", path) and not os.path.exists(path):
            import glob

            expanded.extend(sorted(glob.glob(path)))
        elif os.path.isdir(path):
            expanded.extend(sorted(os.path.join(path, name) for name in os.listdir(path)
                                   if os.path.isfile(os.path.join(path, name))))
        else:
            expanded.append(path)
    return expanded


def _pieces(paths, blocksize):
    """(path, begin, end) for each file; an archive larger than blocksize in byte ranges,
    each of which gives the records that start inside it."""
    pieces = []
    for path in paths:
        size = os.path.getsize(path) if _is_archive(path) and os.path.isfile(path) else 0
        if size <= blocksize:
            pieces.append((path, 0, _NO_END))
            continue
        starts = list(range(0, size, blocksize))
        ends = starts[1:] + [_NO_END]
        pieces.extend((path, begin, end) for begin, end in zip(starts, ends))
    return pieces


def _read_pieces(pieces, options):
    records = []
    for path, begin, end in pieces:
        lines, warnings = _core.json_lines(path, begin, end, **options)
        for warning in warnings:
            _log.warning("%s", warning)
        records.extend(json.loads(line) for line in lines.split(b"\n") if line)
    return records


def tables_bag(paths, *, blocksize="64 MiB", files_per_partition=None, **options):
    """A dask.bag.Bag of the table records of `paths`, in their order.

    `paths` is a path, a glob pattern, a folder (its files, sorted) or a list of them. Each
    file is a partition; a web archive (*.warc, *.warc.gz) larger than `blocksize` (bytes,
    or a string such as "64 MiB") is split into byte ranges, each a partition of the records
    that start in it. files_per_partition=N puts N of those pieces in each partition
    instead, which suits many small pages. `options` are read()'s: browser, encoding,
    consolidate_whitespace, spans, keep_line_breaks (with browser=True, no encoding: as
    with gridmint-extract, a page's charset then comes from the page or its response). A
    page or record that cannot be read is logged on the "gridmint.dask" logger and skipped,
    as the tool warns and goes on.
    """
    if options.get("browser") and options.get("encoding") is not None:
        raise ValueError("encoding with browser=True: the charset comes from the page or its "
                         "response")
    if options.get("links"):
        raise ValueError("links=True: a table record holds text only, as a line of "
                         "gridmint-extract --jsonl does; gridmint.read(path, browser=True, "
                         "links=True) gives a page's links")
    # The options are checked here, not on the workers.
    _core.json_lines(os.devnull, **options)
    pieces = _pieces(_expand(paths), _bytes(blocksize))
    step = files_per_partition or 1
    groups = [pieces[i:i + step] for i in range(0, len(pieces), step)]
    read = dask.delayed(_read_pieces, pure=True)
    return dask.bag.from_delayed([read(group, options) for group in groups])


def _write_partition(records, path):
    # Written beside its place and renamed, so a file that is there is whole.
    partial = path + ".partial"
    with open(partial, "w", encoding="utf-8", newline="\n") as f:
        for record in records:
            f.write(json.dumps(record, ensure_ascii=False, separators=(",", ":")))
            f.write("\n")
    os.replace(partial, path)
    return path


def write_jsonl(bag, folder):
    """Writes the records of `bag`, one JSON-lines file per partition (folder/00000.jsonl,
    …, UTF-8, in the tool's compact form; written whole or not at all), on the workers, and
    returns the files' paths in partition order."""
    folder = os.path.abspath(os.fspath(folder))
    os.makedirs(folder, exist_ok=True)
    width = max(5, len(str(bag.npartitions - 1)))
    write = dask.delayed(_write_partition, pure=True)
    writes = [write(partition, os.path.join(folder, str(i).zfill(width) + ".jsonl"))
              for i, partition in enumerate(bag.to_delayed())]
    return list(dask.compute(*writes))
