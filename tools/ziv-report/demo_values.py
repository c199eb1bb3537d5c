#!/usr/bin/python3
"""Writes day workbooks of made-up values into a prepared demonstration product,
so that ziv-report has a few weeks to show: values around each point's nominal
size, a slow drift on one machine and a few failures and OK/NG entries.

    /usr/bin/python3 tools/ziv-report/demo_values.py BUILD_DIR PRODUCT_DIR [DAYS]

The books are written by ziv-workbook (the station's own engine) with the names
and cell layout of the station; the master data.xls gives the nominal sizes.
"""
import datetime
import os
import random
import subprocess
import sys


def cells(tool, path):
    out = subprocess.run([tool, "dump", path], check=True, capture_output=True, text=True).stdout
    table = {}
    for line in out.splitlines():
        sheet, row, col, text = line.split("\t", 3)
        table[(int(sheet), int(row), int(col))] = text
    return table


def number(text):
    try:
        return float(text)
    except ValueError:
        return 0.0


def fmt(value):
    text = f"{value:.4f}".rstrip("0").rstrip(".")
    return "0" if text in ("-0", "") else text


def main():
    if len(sys.argv) < 3:
        sys.exit(__doc__)
    tool = os.path.join(sys.argv[1], "tools", "ziv-workbook", "ziv-workbook")
    product = sys.argv[2].rstrip("/")
    days = int(sys.argv[3]) if len(sys.argv) > 3 else 20
    name = os.path.basename(product)
    master = cells(tool, os.path.join(product, "data.xls"))
    rows = sorted({r for (s, r, c) in master if s == 1 and c == 1 and master[(s, r, c)]})
    os.makedirs(os.path.join(product, "data"), exist_ok=True)
    rng = random.Random(7)
    start = datetime.date(2026, 3, 2)
    written = 0
    for d in range(days):
        day = start + datetime.timedelta(days=d)
        for machine, operator in ((0, "検査員1"), (1, "検査員2")):
            lines = []
            for r in rows:
                nominal, upper, lower, target = (master.get((1, r, c), "") for c in (1, 2, 3, 4))
                lines += [f"1\t{r}\t1\t{nominal}", f"1\t{r}\t2\t{upper}", f"1\t{r}\t3\t{lower}",
                          f"2\t{r}\t1\t{target}"]
                if upper == "" or lower == "":
                    lines += [f"1\t{r}\t5\t{'NG' if rng.random() < 0.05 else 'OK'}"]
                    continue
                width = number(upper) - number(lower)
                drift = width * 0.02 * d if machine == 1 else 0.0
                value = number(nominal) + (number(upper) + number(lower)) / 2 + drift + rng.gauss(0, width / 11)
                usl, lsl = number(nominal) + number(upper), number(nominal) + number(lower)
                judgement = "合" if lsl <= value < usl else "不"
                correction = fmt(number(target) - value) if target else ""
                lines += [f"1\t{r}\t4\tF1 マイクロ", f"1\t{r}\t5\t{fmt(value)}", f"1\t{r}\t6\t{judgement}",
                          f"2\t{r}\t2\t{correction}"]
            book = f"{operator}_{name}_{machine}号機_{day.year}年{day.month}月{day.day}日.xls"
            subprocess.run([tool, "make", os.path.join(product, "data", book)], input="\n".join(lines) + "\n",
                           check=True, text=True)
            written += 1
    print(f"{written} day workbooks in {os.path.join(product, 'data')}")


if __name__ == "__main__":
    main()
