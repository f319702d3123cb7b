"""Seeded random pages for the browser reading: tables written the way real
pages write them (end tags omitted, tables nested in cells, spans, captions,
text standing in a table outside cells, raw-text elements, comments, references
with and without ";", attribute values holding ">", hidden and block elements),
in an encoding that is declared, sent, marked or left to be guessed; and page
heads for the <meta> pre-scan."""

from __future__ import annotations

import random

WORDS = ["a", "b", "Total", "3.14", "Oslo", "x y", "caf\u00e9", "\u4e2d\u6587", "\u00a0",
         "\u20ac5", "\u0436", "<", ">", "&", "\u3042\u3044", "\U0001f600"]
REFERENCES = ["&amp;", "&amp", "&lt", "&eacute", "&eacute;", "&notit;", "&notin;", "&#9642",
              "&#9642;", "&#x41", "&#X80;", "&#0;", "&#xD800;", "&#x110000;", "&#1114111;",
              "&nbsp", "&nbsp;", "&NotANamedOne;", "&#;", "&#x;", "&", "&AElig", "&copy=",
              "&amp;lt;", "&ltx", "&zwnj;"]
HREFS = ["x.html", "../up/y.html", "/root?a=1&amp;b=2", "http://other.example/p#f",
         "javascript:go('../x')", "mailto:a@b", " \n spaced.html\t", "", "#top", "?q=1",
         "//host.example/p", "caf\u00e9.html", "&#x41;.html", "a&amp;b", "./d/../e/f"]
BASES = ["http://base.example/dir/sub/", "https://b.example/x?q#f", "http://h.example"]
INLINE = ["b", "i", "span", "a", "sup", "sub", "em", "code", "font", "small", "ruby", "rt"]
BLOCKS = ["p", "div", "li", "h2", "ul", "ol", "dl", "dt", "dd", "pre", "blockquote",
          "address", "figure", "section", "article", "header", "footer", "nav", "aside",
          "main", "form", "fieldset", "details", "summary"]
RAW = ["script", "style", "xmp", "iframe", "noembed", "noframes", "noscript", "textarea",
       "title"]
HIDING = ["hidden", "style='display:none'", "style=\"DISPLAY : None\"",
          "style='visibility:\thidden'", "style='color:red'", "hidden=''"]
SPANS = ["2", "3", "0", " 2", "2x", "-1", "+2", "x", "", "0009", "2", "3", "2", "0"] * 3 + [
    "1000", "65534", "70000"]
ENCODINGS = ["utf-8", "windows-1252", "iso-8859-2", "koi8-r", "windows-1251", "gbk",
             "shift_jis", "euc-kr", "big5", "euc-jp", "utf-16le", "utf-16be"]
ENCODING_LABELS = {"windows-1252": ["iso-8859-1", "latin1", "ascii", "windows-1252", "cp1252"],
                   "gbk": ["gb2312", "GBK", "x-gbk"], "shift_jis": ["Shift_JIS", "x-sjis",
                   "windows-31j"], "euc-kr": ["euc-kr", "ks_c_5601-1987"],
                   "utf-16le": ["utf-16"], "utf-16be": ["utf-16be"]}
PYTHON_CODECS = {"windows-1252": "cp1252", "shift_jis": "cp932", "euc-kr": "cp949",
                 "gbk": "gbk", "big5": "big5hkscs", "utf-16le": "utf-16-le",
                 "utf-16be": "utf-16-be"}


class Pages:
    def __init__(self, rng: random.Random):
        self.rng = rng
        # Links and bases are drawn apart, so that they leave the rest of each page as it was.
        self.links = random.Random(rng.getstate()[1][0])
        self.depth = 0

    def pick(self, items):
        return self.rng.choice(items)

    def chance(self, p: float) -> bool:
        return self.rng.random() < p

    def cased(self, name: str) -> str:
        return name.upper() if self.chance(0.15) else name

    def text(self) -> str:
        parts = []
        for _ in range(self.rng.randint(0, 4)):
            r = self.rng.random()
            if r < 0.45:
                parts.append(self.pick(WORDS))
            elif r < 0.6:
                parts.append(self.pick([" ", "  ", "\n", "\t", "\r\n", "\f"]))
            elif r < 0.75:
                parts.append(self.pick(REFERENCES))
            elif r < 0.8:
                parts.append(self.pick(["<!-- c -->", "<!-->", "<!--->", "<!x>", "<?pi>",
                                        "</ x>", "<!-- <td>no</td> --!>", "<!DOCTYPE html>"]))
            else:
                parts.append(self.inline())
        return "".join(parts)

    def attributes(self) -> str:
        out = ""
        for _ in range(self.rng.choice([0, 0, 1, 2])):
            out += self.pick([" title='a>b'", ' data-x="</td>"', " lang=en", " class=k",
                              " id=i", " ID=i2", " class=''", " id=i id=j",
                              " style='display:none'", " hidden", " a=b>c"])
        return out

    def inline(self) -> str:
        r = self.rng.random()
        if r < 0.3:
            tag = self.pick(INLINE)
            attrs = " " + self.pick(HIDING) if self.chance(0.15) else ""
            if tag == "a" and self.links.random() < 0.7:
                attrs = ' href="%s"' % self.links.choice(HREFS) + attrs
            close = "</%s>" % tag if self.chance(0.8) else ""
            return "<%s%s>%s%s" % (self.cased(tag), attrs, self.text(), close)
        if r < 0.5:
            tag = self.pick(BLOCKS)
            close = "</%s>" % tag if self.chance(0.7) else ""
            return "<%s%s>%s%s" % (self.cased(tag), self.attributes(), self.text(), close)
        if r < 0.65:
            tag = self.pick(RAW)
            body = self.pick(["x<td>y</td>", "a</tab>b", "&amp;", "<!-- -->", "</" + tag + "x>",
                              "<table><tr><td>in raw</table>"])
            return "<%s>%s</%s>" % (tag, body, self.cased(tag))
        if r < 0.75:
            return self.pick(["<br>", "<br/>", "</br>", "<wbr>", "<hr>", "<img alt=x>",
                              "<rp>(</rp>", "<input value='v'>"])
        if r < 0.8:
            return self.pick(["<svg><text>s<![CDATA[ c<td> ]]></text></svg>",
                              "<math><mi>m</mi></math>", "<svg><desc><td>d</td></desc></svg>",
                              "<select><option>o<td>t</select>"])
        if r < 0.85 and self.depth < 3:
            return self.table()
        return self.pick(WORDS)

    def cell(self) -> str:
        tag = self.pick(["td", "td", "th"])
        attrs = ""
        for name in ("colspan", "rowspan"):
            if self.chance(0.15):
                attrs += " %s=%s" % (name, self.pick(SPANS))
        if self.chance(0.08):
            attrs += " " + self.pick(HIDING)
        body = self.text()
        if self.chance(0.08) and self.depth < 3:
            body += self.table() + self.text()
        close = "</%s>" % tag if self.chance(0.6) else ""
        return "<%s%s>%s%s" % (self.cased(tag), attrs, body, close)

    def row(self) -> str:
        out = "<tr%s>" % (" " + self.pick(HIDING) if self.chance(0.05) else "")
        if self.chance(0.05):
            out = ""
        out += "".join(self.cell() for _ in range(self.rng.randint(0, 4)))
        return out + ("</tr>" if self.chance(0.5) else "")

    def stray(self) -> str:
        return self.pick(["stray", " ", "<b>bold</b>", "<div>d</div>", "<br>", "<p>p",
                          "</td>", "</tr>", "</tbody>", "</caption>", "<td>", "<table>",
                          "<caption>late</caption>", "<col>", "<colgroup><col>",
                          "<form><input>", "<tbody>", "<tfoot>", "<thead>", "</body>",
                          "</html>", "<select><option>s</select>", "&amp;"])

    def table(self) -> str:
        self.depth += 1
        out = "<%s%s>" % (self.cased("table"), self.attributes())
        if self.chance(0.2):
            out += "<caption>%s</caption>" % self.text()
        for _ in range(self.rng.randint(0, 3)):
            group = self.pick([None, None, "tbody", "thead", "tfoot"])
            if group:
                out += "<%s>" % group
            for _ in range(self.rng.randint(0, 3)):
                out += self.row()
                if self.chance(0.1):
                    out += self.stray()
            if group and self.chance(0.5):
                out += "</%s>" % group
        if self.chance(0.1):
            out += self.stray()
        self.depth -= 1
        return out + ("</table>" if self.chance(0.8) else "")

    def body(self) -> str:
        parts = []
        for _ in range(self.rng.randint(1, 4)):
            parts.append(self.table() if self.chance(0.7) else self.text())
        if self.chance(0.05):
            parts.append("<plaintext><table><tr><td>p")
        return "".join(parts)

    def page(self):
        """(bytes, transport charset or None)."""
        encoding = self.pick(ENCODINGS)
        label = self.pick(ENCODING_LABELS.get(encoding, [encoding]))
        how = self.pick(["meta", "meta", "http-equiv", "transport", "bom", "none", "late"])
        head = "<!DOCTYPE html><html><head>"
        if how == "meta":
            head += "<meta charset=%s>" % label
        elif how == "http-equiv":
            head += "<meta http-equiv=Content-Type content='text/html; charset=%s'>" % label
        if self.links.random() < 0.15:
            head += '<base href="%s">' % self.links.choice(BASES)
        head += "<title>t</title></head><body>"
        body = self.body()
        if how == "late":
            body = "<p>" + "filler " * 160 + "<meta charset=%s>" % label + body
        codec = PYTHON_CODECS.get(encoding, encoding)
        data = (head + body).encode(codec, "xmlcharrefreplace")
        if how == "bom" or (encoding.startswith("utf-16") and how != "transport"):
            data = {"utf-8": b"\xef\xbb\xbf", "utf-16le": b"\xff\xfe",
                    "utf-16be": b"\xfe\xff"}.get(encoding, b"") + data
        if self.chance(0.05):
            data += self.pick([b"\xff", b"\x80", b"\xe9", b"\xc3"])
        return data, (label if how == "transport" else None)


def head(rng: random.Random, html5lib_subset: bool = False) -> bytes:
    """A page head for the <meta> pre-scan.  html5lib_subset keeps to the shapes
    where html5lib's pre-scan follows the standard: lower-case "<meta " with a
    space, no repeated attribute, not both charset and content, the pragma before
    its content, no ";" after an
    unquoted charset, no "charset" without "=", no x-user-defined, no "<!-->", no
    "<<" and no tag left open at the end."""
    pick = rng.choice
    labels = ["utf-8", "UTF-8", "koi8-r", "gb2312", " big5 ", "x-sjis", "latin1", "utf-16",
              "bogus", "", "euc-kr", "windows-1251"]
    if not html5lib_subset:
        labels += ["x-user-defined", "iso-2022-kr", "utf-16be"]

    def value(v: str) -> str:
        q = pick(["'", '"', ""])
        return q + v + q if q or v else "''"

    def meta() -> str:
        attrs = []
        names = ["charset", "http-equiv", "content", "name", "lang"]
        for _ in range(rng.randint(0, 4)):
            name = pick(names)
            if name == "charset":
                attrs.append(" charset=" + value(pick(labels)))
            elif name == "http-equiv":
                attrs.append(" http-equiv=" + value(pick(["Content-Type", "content-type",
                                                          "refresh"])))
            elif name == "content":
                charset = pick(labels).strip()
                content = pick(["text/html; charset=" + charset, "charset = " + charset,
                                "text/html", "charset='%s'" % charset])
                if not html5lib_subset:
                    content = pick([content, "charset;charset=" + charset,
                                    "charset=" + charset + ";x"])
                attrs.append(" content=\"%s\"" % content)
            else:
                attrs.append(" %s=x" % name)
            if html5lib_subset:
                names.remove(name)
                if name in ("charset", "content"):
                    names.remove("content" if name == "charset" else "charset")
        if html5lib_subset and any("http-equiv" in a for a in attrs):
            attrs.sort(key=lambda a: "http-equiv" not in a)
        opener = "<meta " if html5lib_subset else pick(["<meta ", "<META ", "<meta/", "<meta\n",
                                                         "<metax "])
        return opener + "".join(attrs) + pick([">", "/>", " >"] + ([] if html5lib_subset else [""]))

    pieces = []
    for _ in range(rng.randint(1, 8)):
        r = rng.random()
        if r < 0.35:
            pieces.append(meta())
        elif r < 0.5:
            pieces.append(pick(["<!-- " + meta() + " -->", "<!x " + meta() + ">", "<?x>",
                                "</p " + meta()[1:] + ">"]
                               + ([] if html5lib_subset else ["<!-->", "<!--->"])))
        elif r < 0.7:
            pieces.append(pick(["<title>", "<head>", "<p class=\"a>b\">", "<link rel=x>",
                                "<a title='<meta charset=koi8-r>'>"]))
        elif r < 0.8:
            pieces.append("x" * rng.randint(100, 300 if html5lib_subset else 900))
        else:
            pieces.append(pick(["text ", "\n", "> ", "<3 "]
                               + ([] if html5lib_subset else ["<", "</", "<!"])))
    if html5lib_subset:  # every tag closed within the first 1,024 bytes
        return ("".join(pieces) + ">").encode("latin-1")[:1000]
    return "".join(pieces).encode("latin-1")
