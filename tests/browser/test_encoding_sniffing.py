#!/usr/bin/env python3
"""The engine's encoding steps against the oracle's: every label (and its
variants in case and white space), the <meta> pre-scan on generated heads, the
charset in a meta content attribute, and decoding: every byte of each
single-byte encoding, and text written in each multi-byte one.

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
    lines = done.stdout.decode().split("\n")[:-1]
    if mode not in ("label", "prescan", "content"):
        return [bytes.fromhex(line).decode("utf-8") for line in lines]
    return [None if line == "-" else line.lower() for line in lines]


SINGLE_BYTE = ["IBM866", "ISO-8859-2", "ISO-8859-3", "ISO-8859-4", "ISO-8859-5", "ISO-8859-6",
               "ISO-8859-7", "ISO-8859-8", "ISO-8859-8-I", "ISO-8859-10", "ISO-8859-13",
               "ISO-8859-14", "ISO-8859-15", "ISO-8859-16", "KOI8-R", "macintosh",
               "windows-874", "x-mac-cyrillic", "x-user-defined"] + [
                   "windows-%d" % n for n in range(1250, 1259)]
# Where the two tables are known to differ: 0xAA in windows-1253 (U+00AA or undefined) and
# KOI8-U's two letters that only KOI8-RU has.
SINGLE_BYTE_EXCEPTIONS = {("windows-1253", 0xAA), ("KOI8-U", 0xAE), ("KOI8-U", 0xBE)}
# Characters the two sides' multi-byte tables map differently: Python's codecs read the
# symbols ¢ £ ¥ ¬ ‖ − 〜 of JIS X 0208 and Big5 as these, the converters as full-width forms.
MULTI_BYTE_EXCEPTIONS = set("\u00a2\u00a3\u00a5\u00ac\u2016\u2212\u301c")
MULTI_BYTE = {"Shift_JIS": "cp932", "EUC-KR": "cp949", "GBK": "gbk", "gb18030": "gb18030",
              "Big5": "big5hkscs", "EUC-JP": "euc_jp", "ISO-2022-JP": "iso2022_jp",
              "UTF-16LE": "utf-16-le", "UTF-16BE": "utf-16-be", "UTF-8": "utf-8"}


def check_decoding(tool: str, rng: random.Random, failures: list) -> None:
    for name in SINGLE_BYTE:
        got = probe(tool, name, [bytes([b]) for b in range(256)])
        for b in range(256):
            expected = oracle.decode(bytes([b]), name.lower())
            if got[b] != expected and (name, b) not in SINGLE_BYTE_EXCEPTIONS:
                failures.append("%s byte %02x: oracle %r, engine %r" % (name, b, expected, got[b]))
    for name, codec in MULTI_BYTE.items():
        texts = []
        for _ in range(200):
            chars = [chr(rng.choice([rng.randint(0x20, 0x7E), rng.randint(0xA0, 0x2FF),
                                     rng.randint(0x3040, 0x30FF), rng.randint(0x4E00, 0x9FFF),
                                     rng.randint(0xAC00, 0xD7A3), rng.randint(0x1F600, 0x1F64F)]))
                     for _ in range(rng.randint(1, 12))]
            texts.append("".join(c for c in chars if _encodable(c, codec)
                                 and c not in MULTI_BYTE_EXCEPTIONS).encode(codec))
        for given, got in zip(texts, probe(tool, name, texts)):
            expected = oracle.decode(given, name.lower())
            if got != expected:
                failures.append("%s %r: oracle %r, engine %r" % (name, given, expected, got))
                break


def _encodable(char: str, codec: str) -> bool:
    """Whether the character has bytes in the codec; for Big5, bytes of Big5 proper, as the
    converter reads Hong Kong's additions as private-use characters."""
    try:
        encoded = char.encode(codec)
        return codec != "big5hkscs" or char.encode("big5") == encoded
    except UnicodeEncodeError:
        return False


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

    check_decoding(tool, rng, failures)

    for failure in failures:
        print("FAIL " + failure)
    print("%d labels, %d heads, %d contents; %d failures"
          % (len(variants), len(heads), len(contents), len(failures)))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
