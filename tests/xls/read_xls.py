"""Reads an .xls file with xlrd and prints what the tests check, as JSON.

The container is read a second time with xlrd's own compound-file reader, and the raw
records are walked for what xlrd does not expose (HEADER, FOOTER, CONTINUE counts).
Any warning xlrd writes to its log is reported, so a test can demand none.
"""
import io
import json
import struct
import sys

import xlrd
from xlrd import compdoc


def raw_records(path, log):
    with open(path, "rb") as f:
        data = f.read()
    doc = compdoc.CompDoc(data, logfile=log)
    mem, base, size = doc.locate_named_stream("Workbook")
    pos, end = base, base + size
    substreams = []  # per substream: list of (id, payload)
    current = None
    while pos + 4 <= end:
        rid, length = struct.unpack("<HH", mem[pos:pos + 4])
        payload = mem[pos + 4:pos + 4 + length]
        pos += 4 + length
        if rid == 0x0809:
            current = []
            substreams.append(current)
        if current is not None:
            current.append((rid, payload))
        if rid == 0x000A:
            current = None
            if len(substreams) >= 1 and pos < end and mem[pos:pos + 2] == b"\x00\x00":
                break  # padding after the last substream
    return substreams


def xl_string(payload):
    if not payload:
        return ""
    count, flags = struct.unpack("<HB", payload[:3])
    body = payload[3:]
    return body[:2 * count].decode("utf-16-le") if flags & 1 else body[:count].decode("latin-1")


def main():
    path = sys.argv[1]
    log = io.StringIO()
    book = xlrd.open_workbook(path, logfile=log, verbosity=0, formatting_info=True)
    out = {
        "biff_version": book.biff_version,
        "codepage": book.codepage,
        "datemode": book.datemode,
        "fonts": [{"name": f.name, "height": f.height} for f in book.font_list],
        "xf_count": len(book.xf_list),
        "sheet_names": book.sheet_names(),
        "sheets": [],
    }
    for sheet in book.sheets():
        cells = []
        for r in range(sheet.nrows):
            for c in range(sheet.ncols):
                cell = sheet.cell(r, c)
                if cell.ctype != xlrd.XL_CELL_EMPTY:
                    cells.append([r, c, cell.ctype, cell.value])
        out["sheets"].append({"name": sheet.name, "nrows": sheet.nrows, "ncols": sheet.ncols,
                              "cells": cells})
    substreams = raw_records(path, log)
    out["globals_continue_records"] = sum(1 for rid, _ in substreams[0] if rid == 0x003C)
    for i, records in enumerate(substreams[1:]):
        if i < len(out["sheets"]):
            for rid, payload in records:
                if rid == 0x0014:
                    out["sheets"][i]["header"] = xl_string(payload)
                elif rid == 0x0015:
                    out["sheets"][i]["footer"] = xl_string(payload)
    out["warnings"] = log.getvalue()
    json.dump(out, sys.stdout)


if __name__ == "__main__":
    main()
