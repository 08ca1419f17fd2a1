#!/usr/bin/env python3
"""Every assertion in src/ names a real place: a check that gives its line as
__LINE__ names the unit of the file it is in; a check with a fixed line number
(the long-standing numbering that logs and tests rely on) gives a line above 0.

    assertion_units_test.py [SRC_DIR]     (default: src/ of this tree)
"""
import os
import re
import sys

CALL = re.compile(r"\b(Assert|AssertionFailure)\s*\(")
CONSTANT = r'\b{}\s*=\s*"([^"]*)"'


def arguments(text, start):
    """The top-level arguments of the call whose "(" is at start."""
    args, depth, current, i = [], 0, "", start
    while i < len(text):
        c = text[i]
        if c == '"':  # a string literal, escapes included
            end = i + 1
            while text[end] != '"':
                end += 2 if text[end] == "\\" else 1
            current += text[i:end + 1]
            i = end + 1
            continue
        if c in "([{":
            depth += 1
            if depth == 1:
                i += 1
                continue
        elif c in ")]}":
            depth -= 1
            if depth == 0:
                return args + [current.strip()]
        elif c == "," and depth == 1:
            args.append(current.strip())
            current = ""
            i += 1
            continue
        current += c
        i += 1
    return args


def check_file(path, rel, problems):
    text = open(path, encoding="utf-8").read()
    own_unit = os.path.splitext(os.path.basename(path))[0]
    count = 0
    for m in CALL.finditer(text):
        args = arguments(text, m.end() - 1)
        if len(args) < 3:
            continue
        unit_arg, line_arg = args[1], args[2]  # Assert(cond, unit, line…), AssertionFailure(message, unit, line)
        where = f"{rel}:{text.count(chr(10), 0, m.start()) + 1}"
        count += 1
        unit = unit_arg.strip('"') if unit_arg.startswith('"') else None
        if unit is None and (c := re.search(CONSTANT.format(re.escape(unit_arg)), text)):
            unit = c.group(1)
        if unit is None or not re.fullmatch(r"u\w+", unit):
            problems.append(f"{where}: the unit {unit_arg} is no unit name")
        elif line_arg == "__LINE__":
            if unit != own_unit:
                problems.append(f"{where}: names unit {unit} with this file's line; the file's unit is {own_unit}")
        elif not (line_arg.isdigit() and int(line_arg) > 0):
            problems.append(f"{where}: line {line_arg} is neither __LINE__ nor a fixed line number above 0")
    return count


def main(argv):
    src = argv[1] if len(argv) > 1 else os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "src")
    problems, count = [], 0
    for folder, _, names in sorted(os.walk(src)):
        for name in sorted(names):
            if name.endswith((".h", ".cpp")) and not name.startswith("uAssert."):  # not the mechanism itself
                path = os.path.join(folder, name)
                count += check_file(path, os.path.relpath(path, src), problems)
    for problem in problems:
        print(problem)
    print(f"{count} assertions, {len(problems)} problems")
    return 1 if problems or count == 0 else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
