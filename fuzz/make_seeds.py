#!/usr/bin/env python3
"""Writes the seed corpora of the fuzz targets (fuzz/corpus/<target>/).

Sentences come from the test sources (string literals of the test tables),
from the black-box scenario files and the examples when they exist, and from
a list below that covers every statement form and built-in. Run it again
after adding tests or scenarios; the files are named by their content, so
unchanged seeds keep their names.
"""

import hashlib
import pathlib
import re
import struct

ROOT = pathlib.Path(__file__).resolve().parent.parent
CORPUS = ROOT / "fuzz" / "corpus"

EXTRA_SENTENCES = [
    ";", "  ;", "A>1;", "A>1 AND B<2 OR C=3;", "IF A>1 THEN B<2 ELSE C=3;", "IF A>1 THEN B<2;",
    "if a>1 then b>2 else c>3;", "A>1; B>2;", "(A+B)*2/(C-1)>=-3;", "A+B+C+D>0;", "A--1=A-1;",
    "10/0=0;", "0.1+0.2=0.3;", "1.5.3>12.+1;", "S||T||\"x\"=\"abcx\";", "S=NULL;", "A=NULL;",
    "NULL=NULL;", "NVL(A,1)=1;", "NVL(S,\"d\")=\"d\";", "NVL(NULL,2)>1;", "LENGTH(S)>2;",
    "SUBSTR(S,2,3)=\"cde\";", "SUBSTR(S,-1,100)=\"\";", "SUBSTR(S,4,-1)=\"ef\";",
    "SUBSTR(S,2147483648,1)=\"\";", "FINDSTR(S,\"bc\")=1;", "FINDSTR(T,\"\")=-1;", "LG(1000)=3;",
    "LG(0)<0;", "LG(0-1)=LG(0-1);", "TODATE(\"2024-2-29\")>0;", "TODATE(\"2/29/2024\")=45351;",
    "YEAR(TODATE(\"12/31/9999\"))=9999;", "MONTH(D)=3 AND DAY(D)=5;", "LASTDAY(D)=31;",
    "ADDYEARS(D,1)>D;", "ADDMONTHS(D,-13)<D;", "ADDDAYS(D,2147483647)>0;",
    "TOCHAR(D,\"yyyy-mm-dd hh:nn:ss zzz am/pm\")=\"x\";", "TOCHAR(D,\"c\")<>\"\";",
    "TOCHAR(D,\"dddddd tt ampm a/p 'q' mmmm dddd\")=S;", "TOCHAR(E*10,\"\")=\"\";",
    "TOCHAR(D,\"" + "yyyy" * 80 + "\")=S;", "YEAR(\"x\")>0;", "LENGTH(A)>0;", "TOCHAR(D,S)=S;",
    "SUBSTR(S,1)=S;", "SUBSTR(S,1,2,3)=S;", "NVL(1,\"x\")=1;", "A>1 AND", "IF", "IF;", "IF A>1;",
    "IF A>1 THEN;", "IF A>1 THEN B>2 THEN C>3;", "IF A>1 THEN B>2 ELSE;", "\"abc", "a_1>_a;",
    "A>1 !", "(A>1);", "X>1;", "A<>=1;", "A=<1;", "S>\"\xd6\xd0\xce\xc4\";", "U=\"\xd6\xd0\";",
    "A>1 AND B+A<2 OR C=3;", "IF A>1 THEN 2<1;", "A+A>5;", "Q>1;", "R=\"x\";", "LENGTH(Q)=1;",
    "NVL(Q,1)=1;", "NVL(R,\"y\")=\"y\";", "FINDSTR(R,Q)=0;", "(" * 40 + "A" + ")" * 40 + ">1;",
    "LG(" * 30 + "A" + ")" * 30 + ">1;", "\t\r\n A\t>\n1\r;", "V||V||V||V||V||V||V||V=\"\";",
    "TOCHAR(ADDDAYS(F,-1),\"c\")=\"\" AND YEAR(G)=9999;",
    # listings and explanations longer than the result buffer
    "A+" * 700 + "1>0;", "\"a" + "\xd6\xd0" * 1100 + "\"=S;", "A>1 AND " * 150 + "A<0;",
]

# The extended language (the fuzz targets also read every seed with it):
# bracketed conditions, NOT, IN lists, IS EMPTY, the new functions, and its
# keywords as variable names, which only the classic language takes.
EXTENDED_SENTENCES = [
    "(A>1 OR B<2) AND S=\"abcdef\";", "NOT A>1;", "NOT (A>1 AND B<2) OR C=NULL;", "((A>1));",
    "IF NOT (A>1 OR B>1) THEN S=\"x\" ELSE (T=\"\" AND A<9);", "A IN (1,5,7);", "S IN (\"abcdef\",\"x\");",
    "A NOT IN (1,2) AND NOT S IN (\"\");", "A IN (\"x\");", "A IN ();", "A IN (1,2;", "T IS EMPTY;",
    "S IS NOT EMPTY AND C IS EMPTY;", "S IS NULL;", "NOT;", "TRIM(\"  x  \")=\"x\";",
    "UPPER(S)=\"ABCDEF\" AND LOWER(U)=U;", "REPLACE(S,\"cd\",\"\")=\"abef\";", "TONUMBER(\" 7 \")=7;",
    "ROUND(B,0)=-3 AND ROUND(2.555,2)>2;", "ABS(B)=2.5;", "MOD(A,3)=2 AND MOD(A,0)=0;", "LENGTHC(U)=2;",
    "SUBSTRC(U,0,1)=\"\xd6\xd0\";", "FINDSTRC(U,\"\xce\xc4\")=1;", "TRIM(S;", "NOT>1;", "In=1;",
    "A>1 AND mod>2;", "IF Trim=\"x\" THEN A>1;",
]

FIXED_VARIABLES = [
    ("A", "5", 0), ("B", "-2.5", 0), ("C", "", 0), ("D", "45356.5", 0), ("E", "1e308", 0),
    ("S", "abcdef", 1), ("T", "", 1), ("U", "\xd6\xd0\xce\xc4", 1), ("Q", "7", 2), ("R", "x", -1),
]

DATE_TEXTS = ["2024-2-29", "2/29/2024", "2/29/2023", "12/31/9999", "1/1/100", " 3 / 4 ", "1/2", "76/1/1",
              "13/1/2024", "2024-02-29 ", "2/29/2024 12:00", "", "99999/1/1", "1/1/10000", "0/0/0"]
DATE_FORMATS = ["yyyy-mm-dd hh:nn", "hh:mm", "m/d/yy", "h:nn am/pm", "c", "", "ddddd", "dddddd", "t", "tt",
                "zzz", "ampm", "a/p", "'quoted' \"text\"", "dddd, mmmm d, yyyy", "Dd Mm Yy", "h:m:s",
                "\xd6\xd0yyyy\xce\xc4", "c" * 100, "am/pmhh", "yyyymmddhhnnsszzz" * 20]


def gbk(text):
    return text.encode("latin-1") if all(ord(c) < 256 for c in text) else text.encode("gbk")


def c_literals(source):
    """The sentences of test tables: first string literal of each case and SetSentence argument."""
    found = []
    for match in re.finditer(r'(?:Case\{|SetSentence\()\s*"((?:[^"\\]|\\.)*)"', source):
        raw = match.group(1)
        data = bytes(raw, "utf-8").decode("unicode_escape").encode("latin-1")
        try:
            found.append(data.decode("utf-8").encode("gbk"))
        except (UnicodeDecodeError, UnicodeEncodeError):
            found.append(data)  # already GBK bytes written as escapes
    return found


def scenario_sentences():
    found = []
    for folder in (ROOT / "tests" / "scenarios", ROOT / "examples"):
        if not folder.is_dir():
            continue
        for path in sorted(folder.rglob("*")):
            if not path.is_file() or path.suffix in (".py", ".c", ".h", ".txt.bak"):
                continue
            for line in path.read_bytes().splitlines():
                if line.startswith(b"sentence ") and not line.startswith(b"sentence made of "):
                    found.append(line[len(b"sentence "):])
    return found


def write(target, data):
    folder = CORPUS / target
    folder.mkdir(parents=True, exist_ok=True)
    (folder / hashlib.sha1(data).hexdigest()[:16]).write_bytes(data)


def structured(sentence, variables, extra=b""):
    calls = [b"C"]
    for name, value, type_code in variables:
        code = bytes([ord("0") + type_code]) if 0 <= type_code <= 9 else b"\xff"
        calls.append(b"V" + code + gbk(name) + b"=" + gbk(value))
    calls += [b"S" + sentence, b"T", b"N", b"W", b"A", b"E", b"R", b"X", b"A", b"E", b"R", b"X"]
    return b"\0".join(calls) + extra


def date_seed(text, date_formats, pick_date, pick_count, which):
    # FuzzedDataProvider takes texts from the front and numbers from the back:
    # text, "\\" ends it, the format; then (read backwards) ten "no" answers
    # for the settings, the current year, the two number picks and the sentence.
    front = text.encode("latin-1") + b"\\\x01" + date_formats.encode("latin-1")
    back = bytes([which, pick_count, pick_date]) + struct.pack(">H", 2025) + b"\0" * 10
    return front + back


def workbook_seed():
    """A batch seed whose data is a small workbook (stored, not compressed, so
    that its parts' XML is there for the fuzzer to change): a shared string,
    an inline string, a number in a date style, a boolean."""
    import io
    import zipfile
    parts = {
        "xl/workbook.xml": '<workbook xmlns:r="urn:r"><workbookPr/><sheets>'
                           '<sheet name="s" sheetId="1" r:id="rId1"/></sheets></workbook>',
        "xl/_rels/workbook.xml.rels": '<Relationships><Relationship Id="rId1" Target="worksheets/sheet1.xml"/>'
                                      '</Relationships>',
        "xl/sharedStrings.xml": '<sst><si><t>ID</t></si><si><r><t>A</t></r><rPh><t>x</t></rPh></si></sst>',
        "xl/styles.xml": '<styleSheet><cellXfs><xf numFmtId="0"/><xf numFmtId="14"/></cellXfs></styleSheet>',
        "xl/worksheets/sheet1.xml": '<worksheet><sheetData><row r="1"><c r="A1" t="s"><v>0</v></c>'
                                    '<c r="B1" t="s"><v>1</v></c><c r="C1" t="inlineStr"><is><t>D</t></is></c></row>'
                                    '<row r="3"><c r="A3" t="inlineStr"><is><t>007</t></is></c><c r="B3"><v>2.5</v></c>'
                                    '<c r="C3" s="1"><v>45356.5</v></c><c r="D3" t="b"><v>1</v></c></row>'
                                    '</sheetData></worksheet>',
    }
    for padding in range(64):
        buffer = io.BytesIO()
        with zipfile.ZipFile(buffer, "w", zipfile.ZIP_STORED) as archive:
            for name, text in parts.items():
                info = zipfile.ZipInfo(name, date_time=(2026, 1, 1, 0, 0, 0))
                archive.writestr(info, text + " " * padding)
        book = buffer.getvalue()
        if b"\x1e" not in book:
            return b"a: A > 1 AND YEAR(D) = 2024;\nb: ID = \"007\";\n\x1e" + book + b"\x1e\x05\x40"
    raise RuntimeError("no workbook seed without the separator byte")


def main():
    sentences = []
    for path in sorted((ROOT / "tests").rglob("*.cpp")):
        sentences += c_literals(path.read_text(encoding="utf-8"))
    sentences += scenario_sentences()
    sentences += [gbk(s) for s in EXTRA_SENTENCES + EXTENDED_SENTENCES]
    unique = sorted(set(s for s in sentences if b"\0" not in s))
    for i, s in enumerate(unique):
        write("sentence", s)
        if i % 4 == 0:  # the call sequences around them vary little: a quarter is enough
            write("structured", structured(s, FIXED_VARIABLES))
    # Call orders a host should not use, odd type codes and null pointers.
    write("structured", b"A\0R\0X\0E\0T\0SA>1;\0A\0A\0R\0R\0X\0C\0R\0X")
    write("structured", b"V0A=1\0SIF A>1 THEN A<0;\0A\0R\0S\0R\0X\0SA>1 AND A<0;\0R\0X\0A\0R")
    write("structured", b"v0\x01=5\0v1\x02S=\0v9\x03=\0s\0A\0E\0R\0X\0W")
    write("structured", b"V\xffA=1\0V\x80S=x\0SLENGTH(S)>NVL(A,2) AND NVL(S,\"q\")=S;\0A\0E\0R\0X")
    write("structured", b"V0A=1\0SA>0;A>0;A>0;\0A\0A\0A\0A\0R\0X\0C\0R\0X\0A\0E")
    picks = list(range(0, 45))
    for i, text in enumerate(DATE_TEXTS):
        write("date", date_seed(text, DATE_FORMATS[i % len(DATE_FORMATS)], picks[i % 45], picks[(i * 7) % 45], i))
    for i, fmt in enumerate(DATE_FORMATS):
        write("date", date_seed(DATE_TEXTS[i % len(DATE_TEXTS)], fmt, picks[(i * 3) % 45], picks[(i * 5) % 45], i))
    write("batch", workbook_seed())
    print(f"{len(unique)} sentences")


if __name__ == "__main__":
    main()
