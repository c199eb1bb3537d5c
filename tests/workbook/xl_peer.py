"""Other programs' side of the workbook tests.

  xl_peer.py dump FILE      cells as xlrd reads them: sheet, row, column, text
                            (tab separated, from 1; texts as the engine gives them)
  xl_peer.py xlwt FILE      writes a BIFF8 workbook with python xlwt
  xl_peer.py openpyxl FILE  writes an Office Open XML workbook with openpyxl
  xl_peer.py xlsxdump FILE  cells of an Office Open XML workbook as openpyxl reads them

Exit code 3 when the python module needed is missing.
"""
import sys

ERRORS = {0x00: '#NULL!', 0x07: '#DIV/0!', 0x0F: '#VALUE!', 0x17: '#REF!',
          0x1D: '#NAME?', 0x24: '#NUM!', 0x2A: '#N/A'}


def need(name):
    try:
        return __import__(name)
    except ImportError:
        sys.stderr.write('python module %s is missing\n' % name)
        sys.exit(3)


def general(value):
    """Number text with 15 significant digits, as the engine writes it."""
    text = '{:.15g}'.format(value)
    if 'e' in text:
        mantissa, exponent = text.split('e')
        text = mantissa + 'E' + exponent[0] + exponent[1:].rjust(2, '0')
    return text


def escape(text):
    return (text.replace('\\', '\\\\').replace('\t', '\\t')
            .replace('\n', '\\n').replace('\r', '\\r'))


def dump(path):
    xlrd = need('xlrd')
    book = xlrd.open_workbook(path)
    lines = []
    for s, sheet in enumerate(book.sheets()):
        for r in range(sheet.nrows):
            for c in range(sheet.ncols):
                cell = sheet.cell(r, c)
                kind, value = cell.ctype, cell.value
                if kind in (xlrd.XL_CELL_EMPTY, xlrd.XL_CELL_BLANK):
                    continue
                if kind in (xlrd.XL_CELL_NUMBER, xlrd.XL_CELL_DATE):
                    value = general(value)
                elif kind == xlrd.XL_CELL_BOOLEAN:
                    value = 'TRUE' if value else 'FALSE'
                elif kind == xlrd.XL_CELL_ERROR:
                    value = ERRORS.get(value, '#N/A')
                if value == '':
                    continue
                lines.append('%d\t%d\t%d\t%s' % (s + 1, r + 1, c + 1, escape(value)))
    names = '\t'.join(sheet.name for sheet in book.sheets())
    sys.stdout.write('sheets\t%s\n' % names)
    sys.stdout.write(''.join(line + '\n' for line in lines))


def write_xlwt(path):
    xlwt = need('xlwt')
    book = xlwt.Workbook(encoding='utf-8')
    first = book.add_sheet('測定値')
    first.write(0, 0, '寸法')
    first.write(0, 1, 12.5)
    first.write(1, 0, '合')
    first.write(1, 1, -0.01)
    first.write(2, 0, 'ｶﾅ 漢字 ひらがな')
    first.write(2, 1, 1234567)
    first.write(3, 0, True)
    first.write(3, 1, False)
    first.row(4).set_cell_error(0, '#DIV/0!')
    first.row(4).set_cell_error(1, 0x2A)  # #N/A
    first.write(5, 0, xlwt.Formula('B1*2'))
    first.write(5, 1, xlwt.Formula('"ab"&"cd"'))
    first.write(6, 0, 0.1 + 0.2)
    first.write(6, 1, 1e-7)
    first.write(7, 2, 'tab\there')
    second = book.add_sheet('メモ')
    second.write(9, 3, '二枚目')
    second.write(0, 0, 100.125)
    book.save(path)


def write_openpyxl(path):
    openpyxl = need('openpyxl')
    book = openpyxl.Workbook()
    first = book.active
    first.title = '寸法表'
    first['A1'] = 12.55
    first['B1'] = 0.005
    first['C1'] = -0.01
    first['D1'] = '狙い'
    first['A2'] = True
    first['B2'] = 'line\nbreak'
    first['C3'] = 7
    first['E5'] = '=A1*2'
    second = book.create_sheet('メモ')
    second['B2'] = '二枚目'
    book.save(path)


def xlsx_dump(path):
    openpyxl = need('openpyxl')
    # A file object: openpyxl refuses names that do not end in .xlsx.
    with open(path, 'rb') as stream:
        book = openpyxl.load_workbook(stream, data_only=True)
    lines = []
    for s, sheet in enumerate(book.worksheets):
        for row in sheet.iter_rows():
            for cell in row:
                value = cell.value
                if value is None or value == '':
                    continue
                if isinstance(value, bool):
                    value = 'TRUE' if value else 'FALSE'
                elif isinstance(value, (int, float)):
                    value = general(value)
                lines.append('%d\t%d\t%d\t%s' % (s + 1, cell.row, cell.column, escape(str(value))))
    names = '\t'.join(sheet.title for sheet in book.worksheets)
    sys.stdout.write('sheets\t%s\n' % names)
    sys.stdout.write(''.join(line + '\n' for line in lines))


if __name__ == '__main__':
    if len(sys.argv) != 3:
        sys.stderr.write(__doc__)
        sys.exit(2)
    {'dump': dump, 'xlwt': write_xlwt, 'openpyxl': write_openpyxl,
     'xlsxdump': xlsx_dump}[sys.argv[1]](sys.argv[2])
