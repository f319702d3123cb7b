#!/usr/bin/env python3
"""Executable reference model of Gridmint's table extraction, bytes route.

A second, deliberately naive implementation of what gridmint-extract does with
a page's bytes: find the declared charset and map it to an encoding number, run
the scan pass one byte at a time with every flag and recogniser as a plain
variable, gather cells into rows and tables, name the tables, and turn each
cell's bytes into text (decode with fallbacks, resolve references, trim, turn
line breaks into spaces, merge pairs of spaces).  It favours being obviously
literal over being fast, so that a disagreement with the C++ engine points at
one of the two rather than at both.

Text is held as a Python str of UTF-16 code units: a character outside the
Basic Multilingual Plane is two surrogate characters, and a lone surrogate from
a numeric reference is one character in U+D800..U+DFFF.  `to_python_text`
turns such a str back into ordinary text for comparison with JSON.

Encodings the model decodes exactly: 0 (none), 1 ASCII, 4 UTF-8, 5 ISO-8859-1,
9 ISO-8859-2, 10 UTF-16, 12 windows-1252.  The engine's other encodings
(Shift_JIS and the Thai and Chinese ones) are not modelled: a piece of text
that they would decode comes out as UNKNOWN, which matches any engine output,
unless its bytes are plain ASCII that reads the same in all of them.

Run as a program it prints the same JSON as `gridmint-extract --json`:
    table_model.py [--encoding N] [--consolidate-whitespace] FILE
"""

from __future__ import annotations

import argparse
import html.entities
import json
import struct
import sys
from dataclasses import dataclass, field

# --------------------------------------------------------------------------
# Byte and character classes

LT, GT, SLASH, DASH, BANG = 0x3C, 0x3E, 0x2F, 0x2D, 0x21
EQUALS, BACKSLASH, SPACE = 0x3D, 0x5C, 0x20
QUOTE, APOSTROPHE = 0x22, 0x27

# Bytes that may stand around a tag's name and between "<" and "/".
TAG_WHITE_SPACE = frozenset(b"\t\n\r ")
NAME_END = frozenset(b"\t\n\x0c\r />")

# A byte is tested against the white space set after widening it as a signed
# value, so only these single bytes are members; 0x85 and 0xA0 widen to
# U+FF85 and U+FFA0, which are not.
BYTE_WHITE_SPACE = frozenset(b"\t\n\x0b\x0c\r ")

# Unicode White_Space, the set cell text is trimmed with.
WHITE_SPACE_CHARS = frozenset(
    "\t\n\x0b\x0c\r \x85\xa0\u1680"
    "\u2000\u2001\u2002\u2003\u2004\u2005\u2006\u2007\u2008\u2009\u200a"
    "\u2028\u2029\u202f\u205f\u3000"
)

ATTRIBUTE_VALUE_LIMIT = 998


def matches_letter(byte: int, letter: str) -> bool:
    """Letters match without regard to case: the byte with bit 0x20 set."""
    return (byte | 0x20) == ord(letter)


# --------------------------------------------------------------------------
# Text that the model cannot know (an encoding it does not decode)


class _Unknown:
    """A piece of text whose value the model does not know."""

    def __repr__(self) -> str:
        return "UNKNOWN"


UNKNOWN = _Unknown()


@dataclass(frozen=True)
class FuzzyName:
    """A table name that is `base` or `base (k)` for some k.

    Used when an UNKNOWN name is already stored, so whether `base` is taken
    cannot be known."""

    base: str


def to_code_units(text: str) -> str:
    """Ordinary text to a str of UTF-16 code units."""
    units = text.encode("utf-16-le", "surrogatepass")
    return "".join(map(chr, struct.unpack("<%dH" % (len(units) // 2), units)))


def to_python_text(units: str) -> str:
    """A str of code units to ordinary text: valid surrogate pairs join into
    one character, lone surrogates stay as they are (as JSON \\uDXXX escapes
    read back)."""
    raw = struct.pack("<%dH" % len(units), *map(ord, units))
    return raw.decode("utf-16-le", "surrogatepass")


# --------------------------------------------------------------------------
# Decoding bytes in one encoding

ASCII, UTF8, LATIN1, SHIFT_JIS, LATIN2, UTF16, CP1252 = 1, 4, 5, 8, 9, 10, 12
TIS620, CP874, GBK, HZ, GB2312, BIG5 = (
    0x8000020B,
    0x8000041D,
    0x80000421,
    0x80000A05,
    0x80000630,
    0x80000A03,
)
UNMODELLED_ENCODINGS = frozenset({SHIFT_JIS, TIS620, CP874, GBK, HZ, GB2312, BIG5})
FALLBACK_ENCODINGS = (UTF8, LATIN1, UTF16, ASCII)

# windows-1252 leaves five bytes unassigned; the engine's converter maps each
# to the C1 control of the same value instead of failing.
_CP1252_UNASSIGNED = frozenset(b"\x81\x8d\x8f\x90\x9d")


def _decode_cp1252(data: bytes) -> str:
    return "".join(
        chr(b) if b in _CP1252_UNASSIGNED else bytes([b]).decode("cp1252") for b in data
    )


def _decode_utf16(data: bytes) -> str | None:
    if len(data) % 2:
        return None
    order = "be"
    if data[:2] == b"\xfe\xff":
        data = data[2:]
    elif data[:2] == b"\xff\xfe":
        data, order = data[2:], "le"
    try:
        return to_code_units(data.decode("utf-16-" + order))
    except UnicodeDecodeError:
        return None


_PLAIN_ASCII = frozenset(b"\t\n\r" + bytes(range(0x20, 0x7E))) - {0x5C}


def is_modelled(encoding: int) -> bool:
    return encoding not in UNMODELLED_ENCODINGS


def decode_in(data: bytes, encoding: int):
    """The bytes as code units, None when they are not valid in the encoding,
    or UNKNOWN for an encoding the model does not decode."""
    if encoding == ASCII:
        return data.decode("latin-1") if all(b < 0x80 for b in data) else None
    if encoding == UTF8:
        try:
            return to_code_units(data.decode("utf-8"))
        except UnicodeDecodeError:
            return None
    if encoding == LATIN1:
        return data.decode("latin-1")
    if encoding == LATIN2:
        return data.decode("iso8859_2")
    if encoding == UTF16:
        return _decode_utf16(data)
    if encoding == CP1252:
        return _decode_cp1252(data)
    if encoding in UNMODELLED_ENCODINGS:
        # Printable ASCII without "\" and "~" reads the same in every one of
        # them; some map controls (0x1A, 0x1C, 0x7F) and those two elsewhere.
        if all(b in _PLAIN_ASCII for b in data):
            return data.decode("latin-1")
        return UNKNOWN
    return None  # 0 and numbers without a converter decode nothing


# --------------------------------------------------------------------------
# Character references

ENTITY_TABLE: dict[str, str] = {
    "&" + name + ";": chr(code) for name, code in html.entities.name2codepoint.items()
}
ENTITY_TABLE["&apos;"] = "'"
assert len(ENTITY_TABLE) == 253


def _number_value(text: str, hexadecimal: bool) -> int | None:
    """Bare digits only: no sign, white space or 0x prefix is skipped."""
    digits = "0123456789abcdefABCDEF" if hexadecimal else "0123456789"
    if not text or any(c not in digits for c in text):
        return None
    return int(text, 16 if hexadecimal else 10)


def _resolve_reference(candidate: str) -> str | None:
    """The one code unit a candidate "&...;" stands for, or None."""
    length = len(candidate)
    if length < 4 or length > 10:
        return None
    if candidate[1] == "#":
        if (ord(candidate[2]) | 0x20) == ord("x"):
            value = _number_value(candidate[3 : length - 1], hexadecimal=True)
        else:
            value = _number_value(candidate[2 : length - 1], hexadecimal=False)
        if value is None or not 1 <= value <= 0xFFFE:
            return None
        return chr(value)
    return ENTITY_TABLE.get(candidate)


def unescape_entities(source):
    """Replaces every resolvable reference; works from the last "&" back to
    the first, and never looks at a replacement again."""
    if source is UNKNOWN or source is None or "&" not in source:
        return source
    result = list(source)
    limit = len(source)
    amp = source.rfind("&")
    while amp >= 0:
        semicolon = source.find(";", amp, limit)
        if semicolon >= 0:
            unit = _resolve_reference(source[amp : semicolon + 1])
            if unit is not None:
                result[amp : semicolon + 1] = [unit]
        limit = amp
        amp = source.rfind("&", 0, amp)
    return "".join(result)


# --------------------------------------------------------------------------
# Cell text decoding


@dataclass
class Log:
    """Messages in the order they are written; UNKNOWN parts stay UNKNOWN."""

    lines: list = field(default_factory=list)

    def write(self, message) -> None:
        self.lines.append(message)


def decode_piece(data: bytes, use_encoding: int, verbosity: int, log: Log):
    """Bytes of a cell or attribute value to their final text."""
    if not data:
        return ""
    text = decode_in(data, use_encoding) if use_encoding != 0 else None
    if text is None:
        if verbosity >= 1:
            log.write(
                "unable to make string using encoding %d, trying other encodings"
                % (use_encoding if use_encoding < 2**31 else use_encoding - 2**32)
            )
        for encoding in FALLBACK_ENCODINGS:
            text = decode_in(data, encoding)
            if text is not None:
                break
    if text is None:
        return ""
    if text is UNKNOWN:
        return UNKNOWN
    text = unescape_entities(text)
    start, end = 0, len(text)
    while start < end and text[start] in WHITE_SPACE_CHARS:
        start += 1
    while end > start and text[end - 1] in WHITE_SPACE_CHARS:
        end -= 1
    text = text[start:end]
    text = text.replace("\r", " ").replace("\n", " ")
    return text.replace("  ", " ")


# --------------------------------------------------------------------------
# Rows, tables and their names


class Collection:
    """One row and one table being built; finished tables in storage order."""

    def __init__(self) -> None:
        self.tables: list[tuple[object, list]] = []
        self.current_rows: list | None = None
        self.current_cells: list | None = None
        self.no_name_counter = 0
        self.current_table_id = None
        self.current_table_class = None

    def end_table_data(self, text) -> None:
        if self.current_cells is None:
            self.current_cells = []
        self.current_cells.append(text)

    def end_table_row(self) -> None:
        if self.current_cells is None:
            return
        if self.current_rows is None:
            self.current_rows = []
        self.current_rows.append(self.current_cells)
        self.current_cells = None

    def end_table(self) -> None:
        if self.current_rows is None:
            return
        self.tables.append((self._unique_name(self._base_name()), self.current_rows))
        self.current_rows = None

    def _base_name(self):
        if self.current_table_id is not None:
            return self.current_table_id
        if self.current_table_class is not None:
            return self.current_table_class
        self.no_name_counter += 1
        return "noclass %d" % self.no_name_counter

    def _unique_name(self, base):
        if base is UNKNOWN:
            return UNKNOWN
        names = [name for name, _ in self.tables]
        if any(not isinstance(name, str) for name in names):
            return FuzzyName(base)
        if base not in names:
            return base
        k = 1
        while "%s (%d)" % (base, k) in names:
            k += 1
        return "%s (%d)" % (base, k)


# --------------------------------------------------------------------------
# Recognisers


class TagRecogniser:
    """Matches "<", optional white space, optional "/" and white space, then a
    name, letters without regard to case. With `whole_name` the last letter
    completes only when the next byte ends a tag name (or there is none);
    without it, by prefix.

    State   byte                               next
    idle    "<"                                after "<"
    <       white space (if allowed)           <
    <       "/" (closers)                      after "/"
    <       first letter (openers)             1
    /       white space (if allowed)           /
    /       first letter                       1
    k       letter k of the name               k+1, completion on the last
    any     anything else                      idle (the byte is not looked at again)
    """

    def __init__(self, name: str, closer: bool, space_after_lt: bool = True,
                 space_after_slash: bool = True, last_alternative: str | None = None,
                 whole_name: bool = False):
        self.name = name
        self.whole_name = whole_name
        self.closer = closer
        self.space_after_lt = space_after_lt
        self.space_after_slash = space_after_slash
        self.last_alternative = last_alternative
        self.state: object = "idle"

    def reset(self) -> None:
        self.state = "idle"

    def _letter_fits(self, byte: int, index: int) -> bool:
        if matches_letter(byte, self.name[index]):
            return True
        last = index == len(self.name) - 1
        return last and self.last_alternative is not None and matches_letter(
            byte, self.last_alternative)

    def _matched(self, count: int, name_ends_after: bool) -> bool:
        if count == len(self.name):
            self.state = "idle"
            return name_ends_after or not self.whole_name
        self.state = count
        return False

    def feed(self, byte: int, name_ends_after: bool = True) -> bool:
        state = self.state
        if state == "idle":
            self.state = "<" if byte == LT else "idle"
        elif state == "<":
            if self.space_after_lt and byte in TAG_WHITE_SPACE:
                pass
            elif self.closer and byte == SLASH:
                self.state = "/"
            elif not self.closer and self._letter_fits(byte, 0):
                return self._matched(1, name_ends_after)
            else:
                self.state = "idle"
        elif state == "/":
            if self.space_after_slash and byte in TAG_WHITE_SPACE:
                pass
            elif self._letter_fits(byte, 0):
                return self._matched(1, name_ends_after)
            else:
                self.state = "idle"
        else:
            if self._letter_fits(byte, state):
                return self._matched(state + 1, name_ends_after)
            self.state = "idle"
        return False


@dataclass
class ValueStart:
    """An attribute value begins: its closing byte, and its first byte when
    the value is unquoted."""

    quote: int
    first_byte: int | None


class AttributeRecogniser:
    """Finds ` name=` inside a table start tag and reports where its value
    begins.

    State       byte                              next
    idle        tag white space                   space
    space       tag white space                   space
    space       first letter                      1
    k           letter k                          k+1, "named" after the last
    named       "="                               =
    named       white space (the whole set)       named
    =           tag white space or backslash      =
    =           double quote or apostrophe        idle, value quoted by it
    =           anything else                     idle, unquoted value starting here
    any         anything else                     idle
    """

    def __init__(self, name: str):
        self.name = name
        self.state: object = "idle"

    def feed(self, byte: int) -> ValueStart | None:
        state = self.state
        self.state = "idle"
        if state in ("idle", "space"):
            if byte in TAG_WHITE_SPACE:
                self.state = "space"
            elif state == "space" and matches_letter(byte, self.name[0]):
                self.state = 1
        elif state == "named":
            if byte == EQUALS:
                self.state = "="
            elif byte in BYTE_WHITE_SPACE:
                self.state = "named"
        elif state == "=":
            if byte in TAG_WHITE_SPACE or byte == BACKSLASH:
                self.state = "="
            elif byte in (QUOTE, APOSTROPHE):
                return ValueStart(byte, None)
            else:
                return ValueStart(SPACE, byte)
        else:
            if matches_letter(byte, self.name[state]):
                self.state = "named" if state + 1 == len(self.name) else state + 1
        return None


# --------------------------------------------------------------------------
# The scan pass


class ScanPass:
    def __init__(self, data: bytes, use_encoding: int, consolidate: bool,
                 verbosity: int, log: Log):
        self.data = data
        self.length = len(data)
        self.use_encoding = use_encoding
        self.consolidate = consolidate
        self.verbosity = verbosity
        self.log = log
        self.collection = Collection()

        self.is_script_or_comment = False
        self.cell_text = bytearray()
        self.attribute_value = bytearray()
        self.quote = SPACE
        self.tag = False
        self.script = False
        self.comment = False
        self.dash_count = 0
        self.in_table = self.in_row = self.in_cell = False
        self.table_start_tag = False
        self.id_value = self.class_value = False

        self.script_opener = TagRecogniser("script", closer=False, space_after_lt=False)
        self.script_closer = TagRecogniser("script", closer=True, space_after_slash=False)
        self.table_closer = TagRecogniser("table", closer=True, whole_name=True)
        self.table_opener = TagRecogniser("table", closer=False, whole_name=True)
        self.row_closer = TagRecogniser("tr", closer=True, whole_name=True)
        self.row_opener = TagRecogniser("tr", closer=False, whole_name=True)
        self.cell_closer = TagRecogniser("td", closer=True, last_alternative="h",
                                         whole_name=True)
        self.cell_opener = TagRecogniser("td", closer=False, whole_name=True)
        self.id_recogniser = AttributeRecogniser("id")
        self.class_recogniser = AttributeRecogniser("class")

    def decode(self, data: bytes):
        return decode_piece(bytes(data), self.use_encoding, self.verbosity, self.log)

    def run(self) -> Collection:
        for index, byte in enumerate(self.data):
            self.process(index + 1, byte)
        if self.length:
            if self.script:
                self.log.write("A script tag appears to be left unclosed. "
                               "This may mask part or all of the page.")
            if self.comment:
                self.log.write("An html comment tag appears to be left unclosed. "
                               "This may mask part or all of the page.")
        return self.collection

    def opens_comment(self, counter: int, byte: int) -> bool:
        return (byte == LT and counter + 2 < self.length
                and self.data[counter : counter + 3] == b"!--")

    # Appending to the cell text ------------------------------------------

    def append_text_byte(self, byte: int) -> None:
        buffered = len(self.cell_text)
        if buffered >= self.length - 2:
            self.log.write("tc buffer overflow")
        elif self.consolidate and buffered >= 2 and byte in BYTE_WHITE_SPACE:
            if self.cell_text[-1] not in BYTE_WHITE_SPACE:
                self.cell_text.append(SPACE)
        else:
            self.cell_text.append(byte)

    def append_tag_end_space(self) -> None:
        buffered = len(self.cell_text)
        if buffered >= self.length - 2:
            return
        if self.consolidate and buffered >= 2 and self.cell_text[-1] in BYTE_WHITE_SPACE:
            return
        self.cell_text.append(SPACE)

    # One byte ---------------------------------------------------------------

    def process(self, counter: int, b: int) -> None:
        opens_comment = self.opens_comment(counter, b)

        # 1: tag or text
        if b == LT and not opens_comment and not self.script:
            self.tag = True
            self.script_opener.reset()
            tag_byte = True
        elif b == GT and self.dash_count != 2 and not self.script:
            self.tag = False
            tag_byte = False
        else:
            if b == LT and not opens_comment:
                self.script_opener.reset()
            tag_byte = self.tag
            if (not tag_byte and b not in (LT, GT) and not self.is_script_or_comment
                    and (self.in_table or self.in_row or self.in_cell)):
                self.append_text_byte(b)

        # 2: attribute value
        if (self.id_value or self.class_value) and self.table_start_tag:
            if b == self.quote or b == GT:
                self.finish_attribute_value()
            elif len(self.attribute_value) < ATTRIBUTE_VALUE_LIMIT:
                self.attribute_value.append(b)

        # 3
        if b == GT:
            self.table_start_tag = False

        # 4: comment
        if self.comment:
            if b == DASH:
                self.dash_count = min(self.dash_count + 1, 2)
            elif b == GT and self.dash_count == 2:
                self.comment = False
                self.dash_count = 0
            else:
                self.dash_count = 0
        if opens_comment:
            self.comment = True

        # 5: every ">" leaves a space
        if b == GT:
            self.append_tag_end_space()

        # 6: script opener
        if tag_byte or b in (LT, GT):
            if self.script_opener.feed(b):
                self.script = True
            self.is_script_or_comment = self.comment or self.script

        # 7: script closer
        if self.script_closer.feed(b):
            self.script = False

        # 8: table structure
        if self.is_script_or_comment:
            return
        ends = counter >= self.length or self.data[counter] in NAME_END
        if self.table_closer.feed(b, ends):
            self.collection.end_table()
            self.in_table = False
        if self.table_opener.feed(b, ends):
            self.in_table = True
            self.table_start_tag = True
        if self.row_closer.feed(b, ends):
            self.collection.end_table_row()
            self.in_row = False
        if self.row_opener.feed(b, ends):
            self.in_row = True
        if self.cell_closer.feed(b, ends):
            self.collection.end_table_data(self.decode(self.cell_text))
            self.cell_text.clear()
            self.in_cell = False
        if self.cell_opener.feed(b, ends):
            self.in_cell = True
        if self.table_start_tag:
            self.start_attribute_value(self.id_recogniser.feed(b), is_id=True)
            self.start_attribute_value(self.class_recogniser.feed(b), is_id=False)

    def start_attribute_value(self, start: ValueStart | None, is_id: bool) -> None:
        if start is None:
            return
        if is_id:
            self.id_value = True
        else:
            self.class_value = True
        self.quote = start.quote
        if start.first_byte is not None and len(self.attribute_value) < ATTRIBUTE_VALUE_LIMIT:
            self.attribute_value.append(start.first_byte)

    def finish_attribute_value(self) -> None:
        text = self.decode(self.attribute_value)
        if self.id_value:
            self.collection.current_table_id = text
            self.log.write(("currentTableId is now ", text))
        else:
            self.collection.current_table_class = text
            self.log.write(("currentTableClass is now ", text))
        self.attribute_value.clear()
        self.id_value = self.class_value = False


# --------------------------------------------------------------------------
# Charset declaration and the bytes route


def extract_charset(data: bytes) -> str | None:
    if not data:
        return None
    bound = data.find(b"body")
    if bound < 0:
        bound = data.find(b"BODY")
    if bound < 0:
        bound = len(data) - 1
    match = data.find(b"charset", 0, bound)
    if match < 0:
        match = data.find(b"CHARSET", 0, bound)
    if match < 0:
        return None
    value_start = match + 7
    end = data.find(b">", value_start, bound)
    if end < 0:
        return None
    run = data[value_start:end]
    if any(b >= 0x80 for b in run):
        return None
    return run.decode("ascii").strip(" =\"'")


def encoding_for_charset(charset: str) -> int:
    """Substring tests in a fixed order; each ignores ASCII case."""
    text = charset.lower()
    if "8859-1" in text and "8859-10" not in text:
        return LATIN1
    if "8859-2" in text:
        return LATIN2
    if "1252" in text:
        return CP1252
    if "620" in text:
        return TIS620
    if "874" in text:
        return CP874
    if "shift_jis" in text:
        return SHIFT_JIS
    provisional = GBK if "2312" in text else 0
    if "hz-gb-2312" in text:
        return HZ
    if "2312-80" in text:
        return GB2312
    if "big5" in text:
        return BIG5
    return provisional


@dataclass
class Result:
    tables: list            # [(name, [[cell, ...], ...]), ...] in storage order
    log: list               # messages, in order
    use_encoding: int


def extract(data: bytes, encoding: int = UTF8, consolidate: bool = False,
            verbosity: int = 0) -> Result | None:
    """The bytes route: None when no parser is made (no bytes)."""
    if data[:2] in (b"\xff\xfe", b"\xfe\xff"):
        # A UTF-16 page is scanned as its text's UTF-8, whatever it declares.
        order = "le" if data[:1] == b"\xff" else "be"
        body = data[2 : len(data) - len(data) % 2]
        text = body.decode("utf-16-" + order, errors="surrogatepass")
        text = "".join("\ufffd" if 0xD800 <= ord(c) <= 0xDFFF else c for c in text)
        if len(data) % 2:
            text += "\ufffd"
        return _scan(text.encode("utf-8"), UTF8, consolidate, verbosity, honour_charset=False)
    return _scan(data, encoding, consolidate, verbosity)


def _scan(data: bytes, encoding: int, consolidate: bool, verbosity: int,
          honour_charset: bool = True) -> Result | None:
    log = Log()
    use_encoding = encoding
    if encoding == 0 and verbosity > 0:
        log.write("parser initiated with nil text encoding")
    charset = extract_charset(data) if honour_charset else None
    if charset is not None:
        declared = encoding_for_charset(charset)
        if declared != 0:
            use_encoding = declared
    if not data:
        if verbosity > 0:
            log.write("parser initiated with nil or no data")
        return None
    collection = ScanPass(data, use_encoding, consolidate, verbosity, log).run()
    return Result(collection.tables, log.lines, use_encoding)


# --------------------------------------------------------------------------
# Output


def _json_value(value):
    if isinstance(value, str):
        return to_python_text(value)
    if isinstance(value, FuzzyName):
        return "%s (?)" % to_python_text(value.base)
    return "<unknown>"


def to_json(result: Result) -> str:
    pairs = {}
    for name, rows in result.tables:
        pairs[_json_value(name)] = [[_json_value(c) for c in row] for row in rows]
    return json.dumps(pairs, ensure_ascii=False)


def main(argv=None) -> int:
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("file")
    parser.add_argument("--encoding", type=int, default=UTF8)
    parser.add_argument("--consolidate-whitespace", action="store_true")
    parser.add_argument("--log", action="store_true", help="also print the log lines")
    args = parser.parse_args(argv)
    with open(args.file, "rb") as handle:
        data = handle.read()
    result = extract(data, args.encoding, args.consolidate_whitespace)
    if result is None:
        print("no parser: empty input", file=sys.stderr)
        return 1
    if args.log:
        for line in result.log:
            print("".join(map(_json_value, line)) if isinstance(line, tuple) else line,
                  file=sys.stderr)
    print(to_json(result))
    return 0


if __name__ == "__main__":
    sys.exit(main())
