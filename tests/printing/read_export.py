"""Reads the sample workbook of the print-data export with xlrd and checks every cell."""
import sys

import xlrd

book = xlrd.open_workbook(sys.argv[1])
assert book.sheet_names() == ["xls"], book.sheet_names()
sheet = book.sheet_by_index(0)
expected = [
    ["Code", "Unit Price", "City"],
    ["00123", "it's", "Z\u00fcrich"],
    ["", "x" * 10000, "NULL is empty"],
    ["4", "5", "\u6578" * 4100 + "end"],
]
rows = [[sheet.cell_value(r, c) for c in range(sheet.ncols)] for r in range(sheet.nrows)]
assert rows == expected, rows
assert all(sheet.cell_type(r, c) in (xlrd.XL_CELL_TEXT, xlrd.XL_CELL_EMPTY)
           for r in range(sheet.nrows) for c in range(sheet.ncols))
assert sheet.cell_type(2, 0) == xlrd.XL_CELL_EMPTY
print("read back", sheet.nrows, "rows")
