#!/usr/bin/env python3
"""Builds the message table of a catalogue (src/driver/messages.txt).

    gen_messages.py CATALOGUE OUT_BASE   writes OUT_BASE.h and OUT_BASE.cpp
    gen_messages.py --self-test          checks the checks

The Japanese texts become the Shift-JIS bytes of code page 932 (Python's
'cp932' codec, which encodes as Windows does); a character that does not come
back as itself from those bytes is refused, so the source always shows what is
printed. English texts are ASCII. The printf conversions of an entry are the
same in every language, and {1}..{8} become the bytes 1..8 the box code fills in.
"""
import pathlib
import re
import sys

FIELDS = ("en", "ja", "ja_utf8")
NAME = re.compile(r"^[A-Z][A-Z0-9_]*$")
FIELD = re.compile(r"^\s+(" + "|".join(FIELDS) + r")\s+(\".*)$")
MORE = re.compile(r"^\s+(\".*)$")
LITERAL = re.compile(r'\s*"((?:[^"\\]|\\.)*)"')
ESCAPES = {"n": "\n", "r": "\r", "t": "\t", '"': '"', "\\": "\\"}
CONVERSION = re.compile(r"%[-+ #0]*[0-9]*(?:\.[0-9]+)?(?:hh|h|ll|l|z)?[diouxXeEfgGcsp%]")
PLACEHOLDER = re.compile(r"\{([0-9]+)\}")
MAX_ARGS = 8


class CatalogueError(Exception):
    pass


def literals(text, where):
    """The characters of one or more C string literals that make up text."""
    out, pos = [], 0
    while pos < len(text):
        m = LITERAL.match(text, pos)
        if not m:
            if text[pos:].strip():
                raise CatalogueError(f"{where}: expected a string literal: {text[pos:].strip()}")
            break
        body, i = m.group(1), 0
        while i < len(body):
            if body[i] == "\\":
                if body[i + 1] not in ESCAPES:
                    raise CatalogueError(f"{where}: unknown escape \\{body[i + 1]}")
                out.append(ESCAPES[body[i + 1]])
                i += 2
            else:
                out.append(body[i])
                i += 1
        pos = m.end()
    return "".join(out)


def parse(lines):
    """[(name, {field: text})] in catalogue order."""
    entries, current, field = [], None, None
    for number, raw in enumerate(lines, 1):
        where = f"line {number}"
        line = raw.rstrip("\n")
        if not line.strip() or line.lstrip().startswith("#"):
            continue
        if not line[0].isspace():
            if not NAME.match(line):
                raise CatalogueError(f"{where}: an entry starts with its NAME in capitals: {line}")
            if any(name == line for name, _ in entries):
                raise CatalogueError(f"{where}: {line} is there twice")
            current, field = {}, None
            entries.append((line, current))
            continue
        if current is None:
            raise CatalogueError(f"{where}: text before the first entry")
        m = FIELD.match(line)
        if m:
            field = m.group(1)
            if field in current:
                raise CatalogueError(f"{where}: {field} given twice")
            current[field] = literals(m.group(2), where)
            continue
        m = MORE.match(line)
        if not m or field is None:
            raise CatalogueError(f"{where}: expected en, ja or ja_utf8 and a string: {line.strip()}")
        current[field] += literals(m.group(1), where)
    return [check(name, texts) for name, texts in entries]


def sjis(name, field, text):
    try:
        data = text.encode("cp932")
    except UnicodeEncodeError as e:
        raise CatalogueError(f"{name} {field}: {text[e.start]!r} has no Shift-JIS code") from None
    if data.decode("cp932") != text:
        back = data.decode("cp932")
        bad = next(a for a, b in zip(text, back) if a != b)
        raise CatalogueError(f"{name} {field}: {bad!r} is printed as {back[text.index(bad)]!r}; write that")
    return data


def check(name, texts):
    """The entry's byte strings: en, ja (en when not given) and ja_utf8 when given."""
    if "en" not in texts:
        raise CatalogueError(f"{name}: no en text")
    en = texts["en"]
    if any(not (0x20 <= ord(c) < 0x7F or c in "\r\n\t") for c in en):
        raise CatalogueError(f"{name} en: English texts are printable ASCII")
    ja = texts.get("ja", en)
    forms = {"en": en, "ja": ja, "ja_utf8": texts.get("ja_utf8", ja)}
    conversions = {f: CONVERSION.findall(t) for f, t in forms.items()}
    for f, found in conversions.items():
        if found != conversions["en"]:
            raise CatalogueError(f"{name} {f}: printf conversions {found} differ from en's {conversions['en']}")
    numbers = set()
    for f, t in forms.items():
        numbers |= {int(n) for n in PLACEHOLDER.findall(t)}
    if numbers and conversions["en"]:
        raise CatalogueError(f"{name}: a box text ({{n}}) is no printf format (%)")
    if numbers and numbers != set(range(1, max(numbers) + 1)) or max(numbers, default=0) > MAX_ARGS:
        raise CatalogueError(f"{name}: the inserts are {{1}} to {{{MAX_ARGS}}} without gaps: {sorted(numbers)}")
    out = {}
    for f, t in forms.items():
        data = sjis(name, f, t)
        if any(1 <= b <= MAX_ARGS for b in data):
            raise CatalogueError(f"{name} {f}: control characters are reserved for the inserts")
        if f in texts or f != "ja_utf8":
            out[f] = PLACEHOLDER.sub(lambda m: chr(int(m.group(1))), t).encode("cp932")
    return name, out


def c_literal(data):
    """One literal per line of the text, so the generated table reads line by line."""
    if data is None:
        return "nullptr"
    lines = data.split(b"\n")
    chunks = [line + b"\n" for line in lines[:-1]] + ([lines[-1]] if lines[-1] or len(lines) == 1 else [])
    return "\n     ".join(c_literal_one(chunk) for chunk in chunks)


def c_literal_one(data):
    parts, hex_before = ['"'], False
    for b in data:
        c = chr(b)
        if hex_before and c in "0123456789abcdefABCDEF":
            parts.append('" "')  # a hex escape would take this digit in
        hex_before = False
        if c == "\n":
            parts.append("\\n")
        elif c == "\r":
            parts.append("\\r")
        elif c in '"\\':
            parts.append("\\" + c)
        elif 0x20 <= b < 0x7F:
            parts.append(c)
        else:
            parts.append(f"\\x{b:02X}")
            hex_before = True
    parts.append('"')
    return "".join(parts)


def render(entries, source):
    note = f"// Generated by tools/gen_messages.py from {source}; edit that file instead.\n"
    h = [note, "#pragma once\n\n", "// One id per catalogue entry.\n", "enum MsgId : int {\n"]
    h += [f"  M_{name},\n" for name, _ in entries]
    h += ["  MSG_COUNT\n", "};\n\n",
          "// Shift-JIS texts; a box text holds the bytes 1..8 where its inserts go.\n",
          "struct MsgText {\n", "  const char* en;\n", "  const char* ja;\n",
          "  const char* jaUtf8;  // for a Japanese user whose console shows UTF-8; null: ja\n", "};\n",
          "enum { MSG_MAX_ARGS = %d };\n" % MAX_ARGS,
          "extern const MsgText kMsgTexts[MSG_COUNT];\n"]
    cpp = [note, '#include "driver/messages_gen.h"\n\n', "const MsgText kMsgTexts[MSG_COUNT] = {\n"]
    for name, forms in entries:
        cpp.append(f"    // M_{name}\n")
        cpp.append("    {" + ",\n     ".join(c_literal(forms.get(f)) for f in FIELDS) + "},\n")
    cpp.append("};\n")
    return "".join(h), "".join(cpp)


def write(path, text):
    path = pathlib.Path(path)
    path.parent.mkdir(parents=True, exist_ok=True)
    path.write_text(text, encoding="utf-8", newline="\n")


def self_test():
    """Catalogue faults the generator must refuse, and one it must take."""
    good = 'A\n  en "x %d"\nB\n  en " Model: {1} "\n  ja " モデル： {1} "\n     "～"\n'
    cases = [
        ('A\n  en "n %d"\n  ja "n %s"\n', "printf conversions"),
        ('A\n  en "n %d"\n  ja "n"\n', "printf conversions"),
        ('A\n  en "{1} {3}"\n', "without gaps"),
        ('A\n  en "{9}"\n', "without gaps"),
        ('A\n  en "{1} %d"\n', "no printf format"),
        ('A\n  en "名"\n', "printable ASCII"),
        ('A\n  en "x"\n  ja "〜"\n', "is printed as"),
        ('A\n  en "x"\n  ja "한"\n', "no Shift-JIS code"),
        ('A\n  ja "x"\n', "no en text"),
        ('A\n  en "x"\nA\n  en "y"\n', "twice"),
        ('A\n  en "x\\q"\n', "unknown escape"),
        ('a\n  en "x"\n', "NAME in capitals"),
        ('A\n  en "x" y\n', "expected a string"),
    ]
    failures = 0
    for text, expected in cases:
        try:
            parse(text.splitlines())
            print(f"gen_messages self-test: not refused: {text!r}")
            failures += 1
        except CatalogueError as e:
            if expected not in str(e):
                print(f"gen_messages self-test: {text!r} refused for another reason: {e}")
                failures += 1
    try:
        (_, a), (_, b) = parse(good.splitlines())
        want_b = " モデル： \x01 ～".encode("cp932")
        if a["ja"] != b"x %d" or b["ja"] != want_b or "ja_utf8" in b or b["en"] != b" Model: \x01 ":
            print(f"gen_messages self-test: wrong bytes {a} {b}")
            failures += 1
        literal = c_literal(b"\x83" b"e\\\x01" b"1\nx")
        if literal != '"\\x83" "e\\\\\\x01" "1\\n"\n     "x"':
            print(f"gen_messages self-test: wrong literal {literal}")
            failures += 1
    except CatalogueError as e:
        print(f"gen_messages self-test: good catalogue refused: {e}")
        failures += 1
    return 1 if failures else 0


def main(argv):
    if len(argv) == 2 and argv[1] == "--self-test":
        return self_test()
    if len(argv) != 3:
        print(__doc__, file=sys.stderr)
        return 2
    source = pathlib.Path(argv[1])
    try:
        entries = parse(source.read_text(encoding="utf-8").splitlines())
    except CatalogueError as e:
        print(f"{source}: {e}", file=sys.stderr)
        return 1
    h, cpp = render(entries, source.name)
    write(argv[2] + ".h", h)
    write(argv[2] + ".cpp", cpp)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
