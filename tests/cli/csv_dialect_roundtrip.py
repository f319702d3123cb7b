#!/usr/bin/env python3
"""gridmint-extract's CSV forms read back by Python's csv module and by pandas.read_csv.

For every page (the shared corpus when present, and the examples) and every dialect below,
the tool writes all tables with --all; each file, read with the matching dialect, must give
the cells that --json gives (with the formula guard: each guarded cell after its added "'").
A small exact reader also checks what the general readers forgive: the byte-order mark,
the line end between records, and that minimal quoting quotes exactly the fields that need
it. Standard output and -o must give the same bytes as --all, and the settings file must
set the form while a flag wins over it.

Usage: csv_dialect_roundtrip.py TOOL PAGE_DIR...   (a missing PAGE_DIR is skipped, said so)
"""
import csv
import io
import json
import os
import subprocess
import sys
import tempfile
from pathlib import Path

try:
    import pandas
except ImportError:
    sys.exit("FAIL: pandas is not importable by " + sys.executable + ": install python3-pandas "
             "(scripts/install-deps) and run this test with Debian's /usr/bin/python3")

BOM = b"\xef\xbb\xbf"
FORMULA_STARTS = "=+-@\t\r"

# (flags, separator, bom, crlf, minimal, guard): the default, each option alone, and
# combinations that put every option together with every other.
DIALECTS = [
    ([], ",", False, False, False, False),
    (["--separator", ";"], ";", False, False, False, False),
    (["--tsv"], "\t", False, False, False, False),
    (["--separator", "|"], "|", False, False, False, False),
    (["--bom"], ",", True, False, False, False),
    (["--crlf"], ",", False, True, False, False),
    (["--quote", "minimal"], ",", False, False, True, False),
    (["--guard-formulas"], ",", False, False, False, True),
    (["--separator", "\\t", "--quote", "minimal"], "\t", False, False, True, False),
    (["--separator", ";", "--bom", "--crlf"], ";", True, True, False, False),
    (["--quote", "minimal", "--guard-formulas", "--crlf"], ",", False, True, True, True),
    (["--separator", "tab", "--bom", "--guard-formulas"], "\t", True, False, False, True),
    (["--separator", "|", "--quote", "minimal", "--bom"], "|", True, False, True, False),
    (["--separator", ";", "--bom", "--crlf", "--quote", "minimal", "--guard-formulas"],
     ";", True, True, True, True),
    (["--tsv", "--bom", "--crlf", "--quote", "minimal", "--guard-formulas"],
     "\t", True, True, True, True),
    (["--separator", ",", "--crlf", "--quote", "all", "--guard-formulas"],
     ",", False, True, False, True),
]

failures = []


def fail(message):
    failures.append(message)
    print("FAIL: " + message, file=sys.stderr)


def run(tool, arguments, home):
    return subprocess.run([tool] + arguments, capture_output=True, env={**os.environ, "HOME": home})


def without_lone_surrogates(text):
    """The cell as it comes back from UTF-8: each lone surrogate written as U+FFFD."""
    return text.encode("utf-16-le", "surrogatepass").decode("utf-16-le", "replace")


def expected_cells(table, guard):
    def cell(text):
        text = without_lone_surrogates(text)
        return "'" + text if guard and text[:1] and text[0] in FORMULA_STARTS else text
    return [[cell(c) for c in row] for row in table]


def exact_fields(text, separator, line_end):
    """Records of (text, quoted) fields, ending only at `line_end`."""
    records, record, field, quoted, started, i = [], [], [], False, False, 0
    while i < len(text):
        ch = text[i]
        if ch == '"' and not field and not quoted:
            quoted, started = True, True
            i += 1
            while True:
                j = text.index('"', i)
                field.append(text[i:j])
                if text[j + 1:j + 2] == '"':
                    field.append('"')
                    i = j + 2
                else:
                    i = j + 1
                    break
            continue
        if ch == separator:
            record.append(("".join(field), quoted))
            field, quoted, started = [], False, True
        elif text.startswith(line_end, i):
            if started:
                record.append(("".join(field), quoted))
            records.append(record)
            record, field, quoted, started = [], [], False, False
            i += len(line_end)
            continue
        else:
            field.append(ch)
            started = True
        i += 1
    if started:
        record.append(("".join(field), quoted))
    records.append(record)
    return records


def needs_quotes(cell, separator, alone):
    return any(c in cell for c in (separator, '"', "\r", "\n")) or (alone and cell == "")


def check_file(label, data, table, dialect):
    _, separator, bom, crlf, minimal, guard = dialect
    expected = expected_cells(table, guard)
    if data.startswith(BOM) != bom:
        return fail(f"{label}: byte-order mark {'missing' if bom else 'unexpected'}")
    text = data[len(BOM) if bom else 0:].decode("utf-8")

    rows = list(csv.reader(io.StringIO(text, newline=""), delimiter=separator, quotechar='"',
                           doublequote=True, strict=True))
    if rows != expected:
        first = next((r for r in range(max(len(rows), len(expected)))
                      if rows[r:r + 1] != expected[r:r + 1]), 0)
        return fail(f"{label}: csv module row {first}: {rows[first:first + 1]!r} "
                    f"!= {expected[first:first + 1]!r}")

    columns = max((len(row) for row in expected), default=0)
    if columns:
        frame = pandas.read_csv(io.BytesIO(data), sep=separator, header=None, dtype=str,
                                names=range(columns), na_filter=False, skip_blank_lines=False,
                                encoding="utf-8-sig" if bom else "utf-8", engine="c")
        if len(frame) != len(expected):
            return fail(f"{label}: pandas read {len(frame)} rows, expected {len(expected)}")
        for r, row in enumerate(expected):
            # pandas pads a short row to the widest; the padding reads as empty or missing.
            got = [v if isinstance(v, str) else "" for v in frame.iloc[r].tolist()]
            if got != row + [""] * (columns - len(row)):
                return fail(f"{label}: pandas row {r}: {got!r} != {row!r}")

    records = exact_fields(text, separator, "\r\n" if crlf else "\n")
    if [[f for f, _ in rec] for rec in records] != expected:
        return fail(f"{label}: records do not end with {'CRLF' if crlf else 'LF'} alone")
    for r, rec in enumerate(records):
        for c, (field, quoted) in enumerate(rec):
            want = needs_quotes(field, separator, len(rec) == 1) if minimal else True
            if quoted != want:
                return fail(f"{label}: row {r} field {c} {field!r} is "
                            f"{'' if quoted else 'not '}quoted")


def check_page(tool, page, home, scratch):
    result = run(tool, ["--json", str(page)], home)
    if result.returncode != 0:
        return 0  # a page without tables has no CSV to check
    tables = list(json.loads(result.stdout.decode("utf-8", "surrogatepass")).values())
    if not tables:
        return 0
    checked = 0
    for n, dialect in enumerate(DIALECTS):
        flags = dialect[0]
        directory = Path(scratch) / f"{page.stem}-{n}"
        written = run(tool, flags + ["--all", str(directory), str(page)], home)
        if written.returncode != 0:
            fail(f"{page} {flags}: --all exited {written.returncode}: {written.stderr[-300:]!r}")
            continue
        paths = written.stdout.decode("utf-8").splitlines()
        if len(paths) != len(tables):
            fail(f"{page} {flags}: --all wrote {len(paths)} files for {len(tables)} tables")
            continue
        for path, table in zip(paths, tables):
            check_file(f"{page} {flags} {path}", Path(path).read_bytes(), table, dialect)
            checked += 1
        # Standard output and -o write the same bytes as --all (tried in two dialects).
        if n not in (0, len(DIALECTS) - 2):
            continue
        stdout = run(tool, flags + ["--index", "1", str(page)], home).stdout
        output = Path(scratch) / "one.csv"
        run(tool, flags + ["--index", "1", "-o", str(output), str(page)], home)
        first = Path(paths[0]).read_bytes()
        if stdout != first or output.read_bytes() != first:
            fail(f"{page} {flags}: standard output or -o differ from --all")
    return checked


def check_settings(tool, page, home):
    """Stored values as QSettings writes them or a person would, and a flag over them."""
    cases = [
        ('csvSeparator=";"\ncsvQuoting=minimal', [], b"a;b"),
        ("csvSeparator=semicolon", [], b'"a";"b"'),
        ("csvSeparator=\\t", [], b'"a"\t"b"'),
        ("csvSeparator=pipe\ncsvByteOrderMark=true", [], BOM + b'"a"|"b"'),
        ("csvLineEnds=\\r\\n\ncsvGuardFormulas=true", [], b'"a","b"\r\n"\'=1","x"'),
        ("csvSeparator=semicolon\ncsvQuoting=minimal", ["--separator", ",", "--quote", "all"],
         b'"a","b"'),
        ("csvSeparator=colon\ncsvQuoting=some", [], b'"a","b"'),
    ]
    config = Path(home) / ".config" / "Gridmint" / "Gridmint.conf"
    config.parent.mkdir(parents=True, exist_ok=True)
    for stored, flags, start in cases:
        config.write_text("[General]\n" + stored + "\n")
        out = run(tool, flags + [str(page)], home).stdout
        if not out.startswith(start):
            fail(f"settings {stored!r} with {flags}: output starts {out[:24]!r}, not {start!r}")
    config.unlink()


def main():
    tool, directories = sys.argv[1], [Path(d) for d in sys.argv[2:]]
    with tempfile.TemporaryDirectory() as home, tempfile.TemporaryDirectory() as scratch:
        page = Path(scratch) / "settings.html"
        page.write_text("<table><tr><td>a</td><td>b</td></tr><tr><td>=1</td><td>x</td></tr>"
                        "</table>")
        check_settings(tool, page, home)
        files = checked = 0
        for directory in directories:
            if not directory.is_dir():
                print(f"note: {directory} is not present; its pages are not checked")
                continue
            for page in sorted(p for p in directory.rglob("*") if p.is_file()
                               and p.suffix in (".html", ".htm", ".xml")):
                checked += check_page(tool, page, home, scratch)
                files += 1
    print(f"{checked} CSV files from {files} pages in {len(DIALECTS)} dialects; "
          f"{len(failures)} failures")
    if checked == 0:
        fail("no table was checked")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
