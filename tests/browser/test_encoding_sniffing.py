#!/usr/bin/env python3
"""The engine's encoding steps against the oracle's: every label (and its
variants in case and white space), the <meta> pre-scan on generated heads, and
the charset in a meta content attribute.

    test_encoding_sniffing.py PROBE      (the encoding-probe executable)
"""

from __future__ import annotations

import random
import subprocess
import sys
from pathlib import Path

sys.dont_write_bytecode = True
sys.path.insert(0, str(Path(__file__).resolve().parent))
try:
    import oracle  # noqa: E402
    import page_generator  # noqa: E402
    import webencodings  # noqa: E402
except ImportError as error:
    print("the browser oracle needs Debian's python3-html5lib and python3-icu: %s" % error)
    sys.exit(1)


def probe(tool: str, mode: str, inputs: list[bytes]) -> list[str | None]:
    stdin = b"".join(b"%d\n%s" % (len(i), i) for i in inputs)
    done = subprocess.run([tool, mode], input=stdin, capture_output=True, check=True)
    return [None if line == "-" else line.lower() for line in done.stdout.decode().split("\n")[:-1]]


def compare(tool, mode, inputs, expected_of, failures, limit=5):
    for given, got in zip(inputs, probe(tool, mode, inputs)):
        expected = expected_of(given)
        if got != expected and limit > 0:
            failures.append("%s %r: oracle %s, engine %s" % (mode, given, expected, got))
            limit -= 1


def main() -> int:
    tool = sys.argv[1]
    failures = []
    labels = sorted(set(webencodings.LABELS) | set(oracle.LABEL_CHANGES))
    variants = [label.encode() for label in labels]
    variants += [b" \t" + label.upper().encode() + b"\n\f\r" for label in labels]
    variants += [b"utf-7", b"utf -8", b"\xc2\xa0utf-8", b"", b"utf-32", b"iso-8859-11x"]
    compare(tool, "label", variants, oracle.encoding_for_label, failures)

    rng = random.Random(11)
    heads = [page_generator.head(rng) for _ in range(4000)]
    compare(tool, "prescan", heads, oracle.prescan, failures)

    contents = [rng.choice([b"", b"text/html; "]) + rng.choice([b"charset", b"CharSet", b"x"])
                + rng.choice([b"", b" ", b"\t"]) + rng.choice([b"=", b";", b""])
                + rng.choice([b"", b" "]) + rng.choice([b"'koi8-r'", b'"big5', b"gbk;x",
                                                        b"utf-8 x", b"", b"'", b"x-sjis"])
                + rng.choice([b"", b"; charset=euc-kr"]) for _ in range(2000)]
    compare(tool, "content", contents, oracle.charset_from_content, failures)

    for failure in failures:
        print("FAIL " + failure)
    print("%d labels, %d heads, %d contents; %d failures"
          % (len(variants), len(heads), len(contents), len(failures)))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
