#!/usr/bin/python3
"""Runs qrx-report on the month in tests/report/month and reads what it wrote with openpyxl, a
reader that shares nothing with the writer: the sheets and their header texts, employee numbers
as text with their zeros, times and durations as spreadsheet values with their formats, a
night shift's leaving on the next day, and the CSV file's byte-order mark and line ends.

    check_workbook.py --program "PROGRAM [ARGS]" --out DIR [--dos] [--same-as OTHER.xlsx]

--dos hands the program Wine's names for the folders (Z:\\...); --same-as also compares every
cell, value and format, with a workbook written elsewhere (the Linux build's, for the Windows
build's under Wine)."""
import argparse
import datetime
import os
import shlex
import subprocess
import sys

import openpyxl

MONTH = os.path.join(os.path.dirname(os.path.abspath(__file__)), "month")
DAY_COLUMNS = ["날짜", "사원번호", "이름", "부서", "출근", "퇴근", "외출", "근무", "지각", "조퇴", "연장", "비고"]
MONTH_COLUMNS = ["사원번호", "이름", "부서", "근무일수", "지각", "지각시간", "조퇴", "조퇴시간", "누락", "외출", "근무", "연장"]
PUNCH_COLUMNS = ["날짜", "시각", "사원번호", "이름", "모드", "리더", "순번"]
failures = []


def check(condition, what):
    if not condition:
        failures.append(what)


def dos(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def cells(sheet):
    return [[(c.value, c.number_format) for c in row] for row in sheet.iter_rows()]


def row_of(sheet, first, second):
    for row in sheet.iter_rows(min_row=2):
        if row[0].value == first and row[1].value == second:
            return row
    failures.append(f"{sheet.title}: no row {first} {second}")
    return None


def minutes(delta):
    return delta.total_seconds() / 60


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--program", required=True)
    parser.add_argument("--out", required=True)
    parser.add_argument("--dos", action="store_true")
    parser.add_argument("--same-as")
    args = parser.parse_args()
    os.makedirs(args.out, exist_ok=True)
    xlsx = os.path.join(args.out, "month.xlsx")
    csv = os.path.join(args.out, "month.csv")
    name = dos if args.dos else os.path.abspath
    command = shlex.split(args.program) + ["--workdir", name(MONTH), "--month", "2024-03",
                                           "--xlsx", name(xlsx), "--csv", name(csv)]
    run = subprocess.run(command, capture_output=True, text=True)
    check(run.returncode == 0, f"exit code {run.returncode}: {run.stderr}")
    check("B20240305.TXT: 3 line(s) that are not punch records, the first at line 5" in run.stderr,
          f"the bad lines are not reported: {run.stderr}")
    check("line 7 skipped" in run.stderr, f"the bad row is not reported: {run.stderr}")
    if failures:
        return

    book = openpyxl.load_workbook(xlsx)
    check(book.sheetnames == ["일별", "월별", "기록"], f"sheets {book.sheetnames}")
    days, month, punches = book["일별"], book["월별"], book["기록"]
    for sheet, columns in ((days, DAY_COLUMNS), (month, MONTH_COLUMNS), (punches, PUNCH_COLUMNS)):
        check([c.value for c in sheet[1]] == columns, f"{sheet.title} headers {[c.value for c in sheet[1]]}")

    check(days.max_row == 1 + 8, f"일별 rows {days.max_row - 1}")
    check(punches.max_row == 1 + 18, f"기록 rows {punches.max_row - 1}: each punch once")
    row = row_of(days, datetime.datetime(2024, 3, 4), "0000001234")
    if row:
        check(row[1].data_type == "s" and row[1].number_format == "@", "the employee number is not a text cell")
        check(row[4].value == datetime.time(8, 51) and row[4].number_format == "hh:mm", f"출근 {row[4].value}")
        check(row[6].value == datetime.timedelta(minutes=56) and row[6].number_format == "[h]:mm",
              f"외출 {row[6].value}")
        check(row[7].value == datetime.timedelta(hours=8, minutes=45), f"근무 {row[7].value}")
        check(row[0].number_format == "yyyy-mm-dd", f"날짜 format {row[0].number_format}")
    row = row_of(days, datetime.datetime(2024, 3, 4), "0000005678")
    if row:
        # 06:10 on the next day: the value is one day and a bit, shown as a time of day.
        check(row[5].value == datetime.datetime(1900, 1, 1, 6, 10) and "hh:mm" in row[5].number_format,
              f"the night shift's 퇴근 {row[5].value} {row[5].number_format}")
    row = row_of(days, datetime.datetime(2024, 3, 5), "0000001234")
    if row:
        check(row[11].value == "퇴근 누락", f"비고 {row[11].value}")
    row = row_of(month, "0000001234", "홍길동")
    if row:
        check(row[3].value == 3, f"근무일수 {row[3].value}")
        check(minutes(row[10].value) == 17 * 60 + 20 and row[10].number_format == "[h]:mm", f"근무 {row[10].value}")
        check(row[8].value == 2, f"누락 {row[8].value}")
    row = row_of(month, "0000009999", None)
    check(row is not None, "a number not on the list has no month row")

    with open(csv, "rb") as f:
        data = f.read()
    check(data.startswith(b"\xef\xbb\xbf"), "the CSV file has no byte-order mark")
    lines = data[3:].decode("utf-8").split("\r\n")
    check(lines[0] == ",".join(DAY_COLUMNS), f"CSV header {lines[0]}")
    check(lines[-1] == "" and len(lines) == 1 + 8 + 1, "CSV lines are not 9 lines ended by CR LF")
    check('"관리부, 총무"' in data.decode("utf-8-sig"), "a department with a comma is not quoted")

    if args.same_as:
        other = openpyxl.load_workbook(args.same_as)
        for sheet in book.sheetnames:
            check(cells(book[sheet]) == cells(other[sheet]), f"{sheet} differs from {args.same_as}")


main()
for failure in failures:
    print("check_workbook: " + failure, file=sys.stderr)
sys.exit(1 if failures else 0)
