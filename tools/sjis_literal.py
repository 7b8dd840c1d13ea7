#!/usr/bin/env python3
"""Prints a C++ string literal holding the Shift-JIS (cp932) bytes of a text.

Usage: sjis_literal.py TEXT...   e.g.  sjis_literal.py 構文エラー
The player keeps its own messages as Shift-JIS bytes; sources are UTF-8, so
each Japanese literal is written as escapes with the text in a comment.
"""
import sys


def literal(text: str) -> str:
    out = []
    prev_escape = False
    for b in text.encode("cp932"):
        ch = chr(b)
        if b >= 0x80 or b < 0x20 or ch in '"\\':
            out.append("\\x%02x" % b)
            prev_escape = True
        else:
            if prev_escape and ch in "0123456789abcdefABCDEF":
                out.append('" "')  # end the literal so the escape stops here
            out.append(ch)
            prev_escape = False
    return '"' + "".join(out) + '"'


if __name__ == "__main__":
    for arg in sys.argv[1:]:
        print(f"{literal(arg)}  // {arg}")
