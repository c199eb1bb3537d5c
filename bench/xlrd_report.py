#!/usr/bin/python3
"""Times xlrd reading the day workbooks that bench_report made, taking the same
cells (first sheet A..F, second sheet B of rows 1..100) and the same capability
figures, so that the two timings compare like with like.

    /usr/bin/python3 bench/xlrd_report.py <build>/bench-report/ベンチ_製品
"""
import math
import os
import resource
import sys
import time

import xlrd


def number(text):
    try:
        return float(text)
    except (TypeError, ValueError):
        return None


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    data = os.path.join(sys.argv[1], "data")
    files = sorted(f for f in os.listdir(data) if f.endswith(".xls"))
    start = time.perf_counter()
    cpu_start = time.process_time()
    values = [[] for _ in range(101)]
    limits = [None] * 101
    for name in files:
        book = xlrd.open_workbook(os.path.join(data, name))
        first = book.sheet_by_index(0)
        second = book.sheet_by_index(1) if book.nsheets > 1 else None
        for r in range(min(first.nrows, 100)):
            row = first.row_values(r)
            row += [""] * (6 - len(row))
            if second is not None and r < second.nrows and second.ncols > 1:
                second.cell_value(r, 1)
            limits[r + 1] = (row[0], row[1], row[2])
            v = number(row[4])
            if v is not None:
                values[r + 1].append(v)
    table = []
    for p in range(1, 101):
        v = values[p]
        if len(v) < 2 or limits[p] is None:
            continue
        mean = sum(v) / len(v)
        sd = math.sqrt(sum((x - mean) ** 2 for x in v) / (len(v) - 1))
        nominal, upper, lower = (number(x) for x in limits[p])
        usl, lsl = nominal + upper, nominal + lower
        cpk = min(usl - mean, mean - lsl) / (3 * sd) if sd > 0 else None
        table.append((p, len(v), mean, sd, cpk))
    elapsed = time.perf_counter() - start
    cpu = time.process_time() - cpu_start
    peak = resource.getrusage(resource.RUSAGE_SELF).ru_maxrss / 1024
    print(f"xlrd: {len(files)} books, {len(table)} points in {elapsed:.2f} s "
          f"(CPU {cpu:.2f} s), peak RSS {peak:.1f} MB")


if __name__ == "__main__":
    main()
