"""Reads an exported journal workbook with xlrd and prints its sheets and cells as JSON.

Each non-empty cell is [row, column, type, value], counted from 0, with xlrd's cell types
(1 text, 2 number). Anything xlrd writes to its log is reported, so a test can demand none.
"""
import io
import json
import sys

import xlrd


def main():
    log = io.StringIO()
    book = xlrd.open_workbook(sys.argv[1], logfile=log, verbosity=0)
    out = {"sheet_names": book.sheet_names(), "sheets": []}
    for sheet in book.sheets():
        cells = []
        for r in range(sheet.nrows):
            for c in range(sheet.ncols):
                cell = sheet.cell(r, c)
                if cell.ctype != xlrd.XL_CELL_EMPTY:
                    cells.append([r, c, cell.ctype, cell.value])
        out["sheets"].append({"name": sheet.name, "nrows": sheet.nrows, "ncols": sheet.ncols, "cells": cells})
    out["warnings"] = log.getvalue()
    json.dump(out, sys.stdout)


if __name__ == "__main__":
    main()
