#!/usr/bin/env python3
"""Checks the message catalogs against the program's own English texts.

check_catalogs.py SOURCE_DIR

The English catalog catalogs/en.msg must hold exactly the ids that the
program looks up, each with the program's built-in default text. Every other
catalog must translate every one of those ids, with printf conversions that
take the same arguments in the same order ("%n$" positions allowed).
"""
import glob
import os
import re
import sys

SETS = {"Ftc": 1, "Com": 2, "Dup": 3}
ESCAPES = {"n": "\n", "t": "\t", '"': '"', "\\": "\\", "'": "'", "r": "\r"}


def unescape(text):
    return re.sub(r"\\(.)", lambda m: ESCAPES.get(m.group(1), m.group(1)), text)


def read_catalog(path):
    """{(set, number): text} of a gencat source that quotes with '"'."""
    messages, current, lines = {}, None, open(path, encoding="utf-8").read().split("\n")
    i = 0
    while i < len(lines):
        line = lines[i]
        while line.endswith("\\") and not line.endswith("\\\\") and i + 1 < len(lines):
            i += 1
            line = line[:-1] + lines[i]
        i += 1
        if line.startswith("$set"):
            current = int(line.split()[1])
        elif line.startswith("$") or not line.strip():
            continue
        else:
            match = re.fullmatch(r'(\d+) "((?:[^"\\]|\\.)*)"', line)
            if not match or current is None:
                sys.exit(f"{path}: cannot read line: {line!r}")
            key = (current, int(match.group(1)))
            if key in messages:
                sys.exit(f"{path}: message {key} given twice")
            messages[key] = unescape(match.group(2))
    return messages


def program_texts(root):
    """{(set, number): default text} from the lookups in the C++ sources: the
    string literals after an id (adjacent ones joined; the locale "C" of a
    lookup skipped) are its English default."""
    literal = r'"(?:[^"\\\n]|\\.)*"'
    found = {}
    for path in glob.glob(os.path.join(root, "*", "*.cc")):
        if os.sep + "tests" + os.sep in path or os.sep + "qzsld" + os.sep in path:
            continue
        code = open(path, encoding="utf-8").read()
        code = re.sub(r"//[^\n]*", "", code)
        for match in re.finditer(r'"Zrt(\w{3})(\d{4})N"', code):
            rest = code[match.end():]
            groups = re.finditer(rf"{literal}(?:\s*{literal})*", rest)
            text = next(g.group(0) for g in groups if g.group(0) != '"C"')
            text = unescape("".join(re.findall(r'"((?:[^"\\\n]|\\.)*)"', text)))
            key = (SETS[match.group(1)], int(match.group(2)))
            if found.get(key, text) != text:
                sys.exit(f"{path}: {key} has two English texts")
            found[key] = text
    return found


def argument_types(text):
    """The argument types a printf format consumes, in argument order."""
    types = {}
    position = 0
    for m in re.finditer(r"%(?:(\d+)\$)?[-+ #0']*\d*(?:\.\d*)?(hh|h|ll|l|L|z|j|t)?([diouxXcsfFeEgGaAp%])", text):
        if m.group(3) == "%":
            continue
        position = int(m.group(1)) if m.group(1) else position + 1
        kind = "int" if m.group(3) in "diouxXc" else "double" if m.group(3) in "fFeEgGaA" else m.group(3)
        types[position] = (m.group(2) or "").lstrip("h") + kind
    return [types.get(i) for i in range(1, max(types, default=0) + 1)]


def main(root):
    failures = []
    english = read_catalog(os.path.join(root, "catalogs", "en.msg"))
    program = program_texts(root)
    for key in sorted(set(program) | set(english)):
        if english.get(key) != program.get(key):
            failures.append(f"en.msg {key}: {english.get(key)!r} but the program says {program.get(key)!r}")
    for path in sorted(glob.glob(os.path.join(root, "catalogs", "*.msg"))):
        if path.endswith("en.msg"):
            continue
        catalog = read_catalog(path)
        name = os.path.basename(path)
        for key in sorted(set(english) | set(catalog)):
            if key not in catalog:
                failures.append(f"{name} {key}: missing")
            elif key not in english:
                failures.append(f"{name} {key}: no such message")
            elif argument_types(catalog[key]) != argument_types(english[key]):
                failures.append(f"{name} {key}: arguments {argument_types(catalog[key])}"
                                f" instead of {argument_types(english[key])}")
    print("\n".join(failures) or f"{len(english)} messages checked")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
