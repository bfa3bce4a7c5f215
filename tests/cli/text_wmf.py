#!/usr/bin/env python3
"""Writes a small placeable WMF (200 x 100 pixels at 96 dpi) whose only ink is the text "HHHH" in
a 20-pixel font, for the tests of the command-line tool's metafiles. With --blank the text record
is left out: the same picture, all white. Text is drawn only when Qt's application object exists,
so the two files draw the same picture exactly when the text went missing.
usage: text_wmf.py OUT.wmf [--blank]"""
import struct
import sys


def record(function, params=b""):
    if len(params) % 2:
        params += b"\0"
    return struct.pack("<IH", 3 + len(params) // 2, function) + params


def main():
    out, blank = sys.argv[1], "--blank" in sys.argv[2:]
    font = struct.pack("<5h", -20, 0, 0, 0, 700) + bytes([0, 0, 0, 0, 0, 0, 0, 0x22])
    font += b"Arial".ljust(32, b"\0")
    body = record(0x0102, struct.pack("<h", 1))  # transparent background
    body += record(0x02FB, font)  # CreateFontIndirect
    body += record(0x012D, struct.pack("<h", 0))  # SelectObject
    if not blank:
        body += record(0x0521, struct.pack("<h", 4) + b"HHHH" + struct.pack("<hh", 30, 10))
    body += record(0)
    header = struct.pack("<HHHIHIH", 1, 9, 0x300, 0, 16, 0, 0)
    words = (len(header) + len(body)) // 2
    header = struct.pack("<HHHIHIH", 1, 9, 0x300, words, 16, 0, 0)
    placeable = struct.pack("<IH4hHIH", 0x9AC6CDD7, 0, 0, 0, 200, 100, 96, 0, 0)
    with open(out, "wb") as f:
        f.write(placeable + header + body)


main()
