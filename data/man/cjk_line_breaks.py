#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Lets groff break Chinese text lines in a man page.

groff 1.22 breaks lines only at spaces, and Chinese has none: a paragraph
runs off the right edge. This inserts the zero-width break point \\: between
two Chinese characters, except before closing and after opening
punctuation, and joins a text line that ends in Chinese to the next one
that begins with it (a line end would otherwise become a space). The NAME
section is left alone for whatis and apropos.

    cjk_line_breaks.py INPUT OUTPUT
"""
import re
import sys

HAN = r"\u3400-\u4dbf\u4e00-\u9fff\uf900-\ufaff"
OPENING = "（“‘「『《〈【"
CLOSING = "，。、；：？！）”’」』》〉】…"
WIDE = f"[{HAN}{re.escape(OPENING + CLOSING)}]"
BREAK_BETWEEN = re.compile(
    f"(?<={WIDE})(?<![{re.escape(OPENING)}])(?=[{HAN}{re.escape(OPENING)}])"
)
SECTION = re.compile(r'^\.SH\s+"?([^"]*)"?')


def is_text(line):
    return line is not None and not line.startswith((".", "'"))


def joined_to(line, following):
    """The line with a join to the following line when both are Chinese there."""
    text = line.rstrip("\n")
    if not (is_text(following) and re.search(f"{WIDE}$", text) and re.match(WIDE, following)):
        return line
    may_break = text[-1] not in OPENING and following[0] not in CLOSING
    return text + ("\\:" if may_break else "") + "\\c\n"


def with_breaks(lines):
    in_name = False
    for line, following in zip(lines, lines[1:] + [None]):
        heading = SECTION.match(line)
        if heading:
            in_name = heading.group(1).strip().upper() == "NAME"
            yield line
        elif in_name or line.startswith(('.\\"', ".TH", ".SS")):
            yield line
        elif not is_text(line):  # a request, its arguments broken like text
            yield BREAK_BETWEEN.sub(r"\\:", line)
        else:
            yield joined_to(BREAK_BETWEEN.sub(r"\\:", line), following)


def main(source, target):
    with open(source, encoding="utf-8") as given:
        lines = given.readlines()
    with open(target, "w", encoding="utf-8") as made:
        made.writelines(with_breaks(lines))


if __name__ == "__main__":
    main(*sys.argv[1:])
