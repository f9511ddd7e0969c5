"""Reads a workbook with xlrd and prints the first sheet's cells as JSON.

Each non-empty cell is [row, column, type, value], counted from 0, with xlrd's cell types
(1 text, 2 number, 3 date); a date's value is "YYYY-MM-DD" by xlrd's own date conversion.
Anything xlrd writes to its log is reported, so a test can demand none.
"""
import io
import json
import sys

import xlrd


def main():
    log = io.StringIO()
    book = xlrd.open_workbook(sys.argv[1], logfile=log, verbosity=0, formatting_info=True)
    sheet = book.sheet_by_index(0)
    cells = []
    for r in range(sheet.nrows):
        for c in range(sheet.ncols):
            cell = sheet.cell(r, c)
            if cell.ctype == xlrd.XL_CELL_EMPTY:
                continue
            value = cell.value
            if cell.ctype == xlrd.XL_CELL_DATE:
                y, m, d, _, _, _ = xlrd.xldate_as_tuple(value, book.datemode)
                value = "%04d-%02d-%02d" % (y, m, d)
            cells.append([r, c, cell.ctype, value])
    json.dump({"nrows": sheet.nrows, "cells": cells, "warnings": log.getvalue()}, sys.stdout)


if __name__ == "__main__":
    main()
